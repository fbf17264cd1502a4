#include "platform/window.h"
#include "platform/win32/wide.h"

void SysSetDlgItemText(WindowHandle dialog, int control, const char* text) {
  wchar_t wide[kWideTextUnits];
  SetDlgItemTextW(static_cast<HWND>(dialog), control, ToWide(text, wide));
}

int32_t SysSendDlgItemMessage(WindowHandle dialog, int control, uint32_t message, uint32_t wParam,
                              int32_t lParam) {
  return static_cast<int32_t>(
      SendDlgItemMessageW(static_cast<HWND>(dialog), control, message, wParam, lParam));
}

void SysInvalidateControl(WindowHandle dialog, int control) {
  InvalidateRect(GetDlgItem(static_cast<HWND>(dialog), control), nullptr, FALSE);
}

void SysUpdateWindow(WindowHandle window) { UpdateWindow(static_cast<HWND>(window)); }

void SysShowBusyCursor(int busy) {
  SetCursor(LoadCursorA(nullptr, busy != 0 ? IDC_WAIT : IDC_ARROW));
}
