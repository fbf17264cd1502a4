// Test helper run under Wine beside the program under test: reads and drives
// the controls of a top-level window found by its exact title. Under Wine the
// controls of a dialog are not X windows, so xdotool cannot see their texts;
// asking the window manager of the same Wine session can.
//
//   window_probe list TITLE            one line per control (see PrintControl)
//   window_probe command TITLE ID      WM_COMMAND/BN_CLICKED for control ID
//   window_probe settext TITLE ID TEXT replaces the text of control ID
//
// Exit status: 0 done, 1 no such window or control, 2 bad arguments.
// Texts are printed in UTF-8 with backslash, tab and line breaks escaped.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct WindowSearch {
  const wchar_t* title;
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

BOOL CALLBACK MatchTitle(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  if (IsWindowVisible(window) && TextOf(window) == search->title) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindTopLevel(const wchar_t* title) {
  WindowSearch search = {title, nullptr};
  EnumWindows(MatchTitle, reinterpret_cast<LPARAM>(&search));
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
  std::printf("%d\t%s\t%d\t%d\t%s\t%s\n", GetDlgCtrlID(control),
              Utf8Escaped(className).c_str(), IsWindowVisible(control) ? 1 : 0,
              IsWindowEnabled(control) ? 1 : 0, CheckState(control),
              Utf8Escaped(TextOf(control)).c_str());
  return TRUE;
}

int List(HWND window) {
  std::printf("window\t%s\n", Utf8Escaped(TextOf(window)).c_str());
  EnumChildWindows(window, PrintControl, 0);
  std::fflush(stdout);
  return 0;
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
    std::fprintf(stderr, "usage: window_probe list|command|settext TITLE [ID [TEXT]]\n");
    return 2;
  }
  HWND window = FindTopLevel(argv[2]);
  if (window == nullptr) {
    std::fprintf(stderr, "window_probe: no visible window titled \"%s\"\n",
                 Utf8Escaped(argv[2]).c_str());
    return 1;
  }
  std::wstring action = argv[1];
  if (action == L"list" && argc == 3) return List(window);
  if (action == L"command" && argc == 4) return Command(window, _wtoi(argv[3]));
  if (action == L"settext" && argc == 5) return SetText(window, _wtoi(argv[3]), argv[4]);
  std::fprintf(stderr, "window_probe: bad arguments\n");
  return 2;
}
