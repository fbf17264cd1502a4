// Host side of the window calls: there are no windows; nothing to do.
#include "platform/window.h"

void SysSetDlgItemText(WindowHandle, int, const char*) {}

int32_t SysSendDlgItemMessage(WindowHandle, int, uint32_t, uint32_t, int32_t) { return 0; }

void SysInvalidateControl(WindowHandle, int) {}

void SysUpdateWindow(WindowHandle) {}

void SysShowBusyCursor(int) {}
