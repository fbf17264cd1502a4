// Test helper run under Wine beside the program under test: reads and drives
// the controls of a top-level window. Under Wine the controls of a dialog are
// not X windows, so xdotool cannot see their texts; asking the window manager
// of the same Wine session can.
//
// WINDOW is the exact title of a visible top-level window, or x:N for the
// top-level window whose X window has the id N (what xdotool reports), which
// tells a new message box from an old one with the same caption.
//
//   window_probe list WINDOW            one line per control (see PrintControl)
//   window_probe state WINDOW           whether it takes input (see PrintState)
//   window_probe command WINDOW ID      posts WM_COMMAND/BN_CLICKED for control ID
//   window_probe settext WINDOW ID TEXT replaces the text of control ID
//   window_probe idle WINDOW MS         waits until its program waits for input
//
// Finding the window and `command` send the program nothing (they only ask
// the Wine server), so they work while the program is stopped (SIGSTOP).
//
// Exit status: 0 done, 1 no such window or control (idle: still busy after
// MS), 2 bad arguments. Texts are printed in UTF-8 with backslash, tab and
// line breaks escaped.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct WindowSearch {
  const wchar_t* title;  // null: search by X window instead
  HANDLE xWindow;
  HWND found;
};

// GetWindowText does not ask a window of another process for its text (it
// returns the caption the system keeps), which is stale for edit controls;
// WM_GETTEXT asks the control itself.
std::wstring TextOf(HWND window) {
  const UINT kTimeoutMs = 2000;
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kTimeoutMs, &length)) {
    return L"";
  }
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(&text[0]),
                      SMTO_ABORTIFHUNG, kTimeoutMs, &copied);
  text.resize(copied <= length ? static_cast<size_t>(copied) : 0);
  return text;
}

std::string Utf8Escaped(const std::wstring& text) {
  std::string escaped;
  for (wchar_t unit : text) {
    switch (unit) {
      case L'\\': escaped += "\\\\"; continue;
      case L'\t': escaped += "\\t"; continue;
      case L'\r': escaped += "\\r"; continue;
      case L'\n': escaped += "\\n"; continue;
      default: break;
    }
    char bytes[8];
    int count = WideCharToMultiByte(CP_UTF8, 0, &unit, 1, bytes, sizeof(bytes), nullptr, nullptr);
    escaped.append(bytes, count > 0 ? static_cast<size_t>(count) : 0);
  }
  return escaped;
}

// The caption the Wine server keeps: for a window of another process
// GetWindowText sends no message, so a stopped program cannot hold us up.
std::wstring CaptionOf(HWND window) {
  wchar_t caption[512];
  int length = GetWindowTextW(window, caption, 512);
  return std::wstring(caption, length > 0 ? static_cast<size_t>(length) : 0);
}

// Wine's X11 driver notes each top-level window's X window in this property.
HANDLE XWindowOf(HWND window) { return GetPropW(window, L"__wine_x11_whole_window"); }

BOOL CALLBACK MatchWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  bool matches = search->title != nullptr
                     ? IsWindowVisible(window) && CaptionOf(window) == search->title
                     : XWindowOf(window) == search->xWindow;
  if (matches) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const wchar_t* argument) {
  WindowSearch search = {argument, nullptr, nullptr};
  if (std::wcsncmp(argument, L"x:", 2) == 0) {
    ULONG_PTR xId = std::wcstoul(argument + 2, nullptr, 10);
    search.title = nullptr;
    search.xWindow = reinterpret_cast<HANDLE>(xId);
  }
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// "-" when the control has no check state, else 0, 1 or 2 (BM_GETCHECK).
const char* CheckState(HWND control) {
  wchar_t className[64];
  GetClassNameW(control, className, 64);
  if (_wcsicmp(className, L"Button") != 0) return "-";
  LONG type = GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK;
  bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE;
  if (!checkable) return "-";
  switch (SendMessageW(control, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED: return "1";
    case BST_INDETERMINATE: return "2";
    default: return "0";
  }
}

// id <TAB> class <TAB> visible <TAB> enabled <TAB> check <TAB> text
BOOL CALLBACK PrintControl(HWND control, LPARAM) {
  wchar_t className[64];
  GetClassNameW(control, className, 64);
  std::string text = Utf8Escaped(TextOf(control));
  bool visible = IsWindowVisible(control) != FALSE;
  bool enabled = IsWindowEnabled(control) != FALSE;
  std::printf("%d\t%s\t%d\t%d\t%s\t%s\n", GetDlgCtrlID(control), Utf8Escaped(className).c_str(),
              visible ? 1 : 0, enabled ? 1 : 0, CheckState(control), text.c_str());
  return TRUE;
}

int List(HWND window) {
  // A program takes a message sent from another one only when it looks for
  // its next message: once it has answered, what it was in the middle of (a
  // command that hides one control and shows another) is finished, and the
  // states read below agree with each other.
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored);
  std::printf("window\t%s\n", Utf8Escaped(TextOf(window)).c_str());
  EnumChildWindows(window, PrintControl, 0);
  std::fflush(stdout);
  return 0;
}

bool IsSelfOrChild(HWND window, HWND other) {
  return other != nullptr && (other == window || IsChild(window, other));
}

// visible <TAB> enabled <TAB> active <TAB> focus: 1 or 0 each. Active: the
// active window of its thread and the foreground window; focus: the keyboard
// focus of its thread is the window or one of its controls. Keys typed into
// a window that is not yet both go elsewhere or nowhere.
int PrintState(HWND window) {
  GUITHREADINFO info;
  info.cbSize = sizeof(info);
  DWORD thread = GetWindowThreadProcessId(window, nullptr);
  if (!GetGUIThreadInfo(thread, &info)) return 1;
  bool active = info.hwndActive == window && GetForegroundWindow() == window;
  std::printf("%d\t%d\t%d\t%d\n", IsWindowVisible(window) ? 1 : 0, IsWindowEnabled(window) ? 1 : 0,
              active ? 1 : 0, IsSelfOrChild(window, info.hwndFocus) ? 1 : 0);
  std::fflush(stdout);
  return 0;
}

// Returns once the window's program is idle: waiting for input with its
// message queue empty. A timer tick that was due has been taken by then (the
// Wine server hands out due ticks before it lets a program wait).
int WaitIdle(HWND window, DWORD milliseconds) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId);
  if (process == nullptr) return 1;
  DWORD result = WaitForInputIdle(process, milliseconds);
  CloseHandle(process);
  return result == 0 ? 0 : 1;
}

int Command(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  if (control == nullptr) return 1;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
  return 0;
}

int SetText(HWND window, int id, const wchar_t* text) {
  HWND control = GetDlgItem(window, id);
  if (control == nullptr) return 1;
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: window_probe list|state|command|settext|idle WINDOW [ID [TEXT]|MS]\n");
    return 2;
  }
  HWND window = FindTopLevel(argv[2]);
  if (window == nullptr) {
    std::fprintf(stderr, "window_probe: no window \"%s\"\n",
                 Utf8Escaped(argv[2]).c_str());
    return 1;
  }
  std::wstring action = argv[1];
  if (action == L"list" && argc == 3) return List(window);
  if (action == L"state" && argc == 3) return PrintState(window);
  if (action == L"idle" && argc == 4) return WaitIdle(window, static_cast<DWORD>(_wtoi(argv[3])));
  if (action == L"command" && argc == 4) return Command(window, _wtoi(argv[3]));
  if (action == L"settext" && argc == 5) return SetText(window, _wtoi(argv[3]), argv[4]);
  std::fprintf(stderr, "window_probe: bad arguments\n");
  return 2;
}
