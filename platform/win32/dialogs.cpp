#include "platform/dialogs.h"
#include "platform/win32/wide.h"

int SysMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  wchar_t wideText[kWideTextUnits];
  wchar_t wideCaption[kWideTextUnits];
  return MessageBoxW(static_cast<HWND>(owner), ToWide(text, wideText), ToWide(caption, wideCaption), style);
}
