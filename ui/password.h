// The password dialog: before a pass over an archive with encrypted entries,
// the user types the password that decrypts them (archive/password.h).
#pragma once

#include "platform/password_ui.h"
#include "archive/password.h"
#include "platform/types.h"
#include "ui/controls.h"

// The field gives at most kPasswordUnits units, in UTF-8, and the terminator.
const uint32_t kPasswordFieldSize = kPasswordCapacity;


// Asks for the password when the encryption flag is set; otherwise returns true
// at once. True: go on with the pass (OK, with the typed text now the stored
// password; or a dialog the system could not make, leaving the stored
// password as it was); false: cancelled (Cancel, Escape or the close box), the
// stored password unchanged. With no memory for the dialog's template the
// program shows "no memory for resources" and ends with kExitFailure, as a
// failed start-up does.
bool AskPassword(WindowHandle owner);

// The dialog's procedure, called by the platform while AskPassword runs.
intptr_t DIALOG_CALLBACK PasswordDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam,
                                            intptr_t lParam);
