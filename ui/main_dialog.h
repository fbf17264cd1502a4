// The main dialog: what the file is, the folder to unzip to, the overwrite
// option, Unzip, and progress while a pass runs inside the Unzip command.
#pragma once

#include "platform/password_ui.h"
#include "platform/types.h"
#include "ui/controls.h"

// --- Process-wide state of the main dialog (ResetMainDialog puts it back) ---

// Set by start-up: true when the shell's folder browser can be offered (all
// three functions found and a shell of version 4 or later).
extern bool g_folderBrowserAvailable;

// True once a pass was aborted: the dialog has ended and the process reports
// the failure in its exit code.
extern bool g_passAborted;

// The exit code the run ends with as the dialog leaves it: kExitCancelled
// while no pass has completed (the person closed the dialog without
// unzipping), kExitSuccess once one has or the archiver was opened, the
// abort's exit code once a pass was aborted.
extern int g_dialogExitCode;

void ResetMainDialog();

// Runs the dialog modally from the template behind kMessageMainDialog, with no
// owner. Returns g_dialogExitCode; kExitFailure when it could not be shown (no
// memory for the template's block, or the system could not make the dialog),
// which leaves the files unzipped by nobody.
int RunMainDialog();

// The dialog's procedure, called by the platform.
intptr_t DIALOG_CALLBACK MainDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam);
