#include "platform/dialogs.h"
#include "platform/win32/win32.h"

int SysMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  return MessageBoxA(static_cast<HWND>(owner), text, caption, style);
}
