// The few window calls the extraction pass itself makes (status line, meter).
// On the host they do nothing unless a test watches them.
#pragma once

#include "platform/types.h"

void SysSetDlgItemText(WindowHandle dialog, int control, const char* text);
int32_t SysSendDlgItemMessage(WindowHandle dialog, int control, uint32_t message, uint32_t wParam,
                              int32_t lParam);
// Invalidates the whole control without erasing its background.
void SysInvalidateControl(WindowHandle dialog, int control);
void SysUpdateWindow(WindowHandle window);

// The wait cursor while a pass runs (busy 1), the arrow again afterwards (0).
void SysShowBusyCursor(int busy);
