// The calls of a dialog that runs from a template in memory and of its
// procedure: reading a field, ending, fonts, placing it on the screen.
#pragma once

#include "platform/types.h"

typedef void* FontHandle;

// The platform's window messages and the command ids of the two standard
// buttons, as a dialog procedure receives them.
const uint32_t kWmSetFont = 0x0030;     // WM_SETFONT
const uint32_t kWmInitDialog = 0x0110;  // WM_INITDIALOG
const uint32_t kWmCommand = 0x0111;     // WM_COMMAND
const int kIdOk = 1;                    // IDOK: the default button, or Return
const int kIdCancel = 2;                // IDCANCEL: Cancel, Escape or the close box

// A dialog procedure is called by the platform, so on the 32-bit target it
// uses the platform's calling convention.
#if defined(_WIN32)
#define DIALOG_CALLBACK __attribute__((stdcall))
#else
#define DIALOG_CALLBACK
#endif
typedef intptr_t(DIALOG_CALLBACK* DialogProcedure)(WindowHandle dialog, uint32_t message,
                                                    uintptr_t wParam, intptr_t lParam);

// The command id of a WM_COMMAND's wParam.
inline int CommandId(uintptr_t wParam) { return static_cast<int>(wParam & 0xFFFF); }

// Runs a modal dialog of this program from a template in memory (4-byte
// aligned), owned by `owner`, with parameter 0 (DialogBoxIndirectParamA).
// The result given to SysEndDialog, or -1 when the dialog could not be made.
intptr_t SysRunDialog(const void* dialogTemplate, WindowHandle owner, DialogProcedure procedure);

// GetDlgItemTextA: at most size - 1 bytes of the control's text and a
// terminator; the length copied.
uint32_t SysGetDlgItemText(WindowHandle dialog, int control, char* buffer, uint32_t size);

// Ends the modal dialog; SysRunDialog returns `result`.
void SysEndDialog(WindowHandle dialog, intptr_t result);

// Gives a window (a dialog or, when `control` is not 0, that control of it)
// another font and redraws it; nothing when the control does not exist.
void SysSetFont(WindowHandle dialog, int control, FontHandle font);

// Centres a window on the screen: x = (screen width + left - right) / 2,
// y likewise, size and z-order kept, not activated.
void SysCentreWindow(WindowHandle window);
