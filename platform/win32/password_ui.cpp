#include "platform/password_ui.h"
#include "platform/win32/wide.h"

intptr_t SysRunDialog(const void* dialogTemplate, WindowHandle owner, DialogProcedure procedure) {
  // The wide form, so that the dialog's fields hold any character.
  return DialogBoxIndirectParamW(GetModuleHandleA(nullptr),
                                 static_cast<LPCDLGTEMPLATEW>(dialogTemplate),
                                 static_cast<HWND>(owner), reinterpret_cast<DLGPROC>(procedure), 0);
}

uint32_t SysGetDlgItemText(WindowHandle dialog, int control, char* buffer, uint32_t size) {
  if (size == 0) return 0;
  wchar_t wide[kWideTextUnits];
  wide[0] = 0;
  GetDlgItemTextW(static_cast<HWND>(dialog), control, wide, kWideTextUnits);
  return ToUtf8(wide, buffer, size);
}

void SysEndDialog(WindowHandle dialog, intptr_t result) { EndDialog(static_cast<HWND>(dialog), result); }

void SysSetFont(WindowHandle dialog, int control, FontHandle font) {
  HWND window = static_cast<HWND>(dialog);
  if (control != 0) window = GetDlgItem(window, control);
  if (window != nullptr) SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void SysCentreWindow(WindowHandle window) {
  HWND handle = static_cast<HWND>(window);
  RECT frame;
  GetWindowRect(handle, &frame);
  int x = (GetSystemMetrics(SM_CXSCREEN) + frame.left - frame.right) / 2;
  int y = (GetSystemMetrics(SM_CYSCREEN) + frame.top - frame.bottom) / 2;
  SetWindowPos(handle, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
