#include "platform/ui.h"
#include "platform/win32/wide.h"

static_assert(sizeof(QueuedMessage) == sizeof(MSG), "QueuedMessage is laid out as MSG");
static_assert(offsetof(QueuedMessage, x) == offsetof(MSG, pt), "QueuedMessage is laid out as MSG");

namespace {

HWND Window(WindowHandle window) { return static_cast<HWND>(window); }

HWND Control(WindowHandle dialog, int control) { return GetDlgItem(Window(dialog), control); }

}  // namespace

int SysHasControl(WindowHandle dialog, int control) { return Control(dialog, control) != nullptr; }

void SysDestroyControl(WindowHandle dialog, int control) {
  HWND window = Control(dialog, control);
  if (window != nullptr) DestroyWindow(window);
}

void SysShowControl(WindowHandle dialog, int control, int visible) {
  HWND window = Control(dialog, control);
  if (window != nullptr) ShowWindow(window, visible != 0 ? SW_SHOW : SW_HIDE);
}

void SysEnableControl(WindowHandle dialog, int control, int enabled) {
  HWND window = Control(dialog, control);
  if (window != nullptr) EnableWindow(window, enabled);
}

void SysSetWindowText(WindowHandle window, const char* text) {
  wchar_t wide[kWideTextUnits];
  SetWindowTextW(Window(window), ToWide(text, wide));
}

intptr_t SysSendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return SendMessageW(Window(window), message, wParam, lParam);
}

intptr_t SysDefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  return DefWindowProcW(Window(window), message, wParam, lParam);
}

void SysPostCommand(WindowHandle window, int command) {
  PostMessageW(Window(window), WM_COMMAND, static_cast<WPARAM>(command), 0);
}

void SysBringToFront(WindowHandle window) {
  SetForegroundWindow(Window(window));
  SetActiveWindow(Window(window));
}

void SysInvalidateWindow(WindowHandle window) { InvalidateRect(Window(window), nullptr, FALSE); }

WindowHandle SysGetParent(WindowHandle window) { return GetParent(Window(window)); }

WindowHandle SysGetLastActivePopup(WindowHandle window) { return GetLastActivePopup(Window(window)); }

uintptr_t SysSetTimer(WindowHandle window, uintptr_t id, uint32_t milliseconds) {
  return SetTimer(Window(window), id, milliseconds, nullptr);
}

void SysKillTimer(WindowHandle window, uintptr_t id) { KillTimer(Window(window), id); }

int SysPeekMessage(QueuedMessage* message) {
  return PeekMessageW(reinterpret_cast<MSG*>(message), nullptr, 0, 0, PM_REMOVE) ? 1 : 0;
}

void SysDispatchMessage(const QueuedMessage* message) {
  const MSG* queued = reinterpret_cast<const MSG*>(message);
  TranslateMessage(queued);
  DispatchMessageW(queued);
}

void SysRegisterWindowClass(InstanceHandle instance, const char* name, WindowProcedure procedure,
                            int windowBytes) {
  WNDCLASSW windowClass;
  __builtin_memset(&windowClass, 0, sizeof windowClass);
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(procedure);
  windowClass.cbWndExtra = windowBytes;
  windowClass.hInstance = static_cast<HINSTANCE>(instance);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wchar_t wideName[kWideTextUnits];
  windowClass.lpszClassName = ToWide(name, wideName);
  RegisterClassW(&windowClass);
}

uint16_t SysGetWindowWord(WindowHandle window, int offset) { return GetWindowWord(Window(window), offset); }

void SysSetWindowWord(WindowHandle window, int offset, uint16_t value) {
  SetWindowWord(Window(window), offset, value);
}
