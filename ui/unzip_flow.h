// The window-free decisions of the main dialog's Unzip: what the folder field
// starts with, whether its text can be used, and the counters of a pass.
#pragma once

#include "platform/types.h"

// The folder the dialog first shows: the target folder as start-up left it,
// with the %NAME% parts of a configured folder expanded (ExpandConfiguredFolder),
// the default folder when that is empty, the current directory for ".".
void CompleteTargetFolder();

// False when the target folder can be unzipped to; otherwise shows why
// (kMessageNoFolder for an empty folder, kMessageFolderFailed naming the
// configured folder while it is still unexpanded) and returns true. Folders are UTF-8,
// so no character can hide a separator byte as a double-byte one could.
bool RefuseTargetFolder();

// Before a pass over an encrypted archive: true when the stored password is
// missing or known not to open the archive, after the error box that says so
// (kMessageNoPassword, kMessageWrongPassword). Nothing has been made then.
// False when it opens it, when the archive is not encrypted, or when it
// cannot be told before the pass, which then checks every entry.
bool RefusePasswordBeforePass(WindowHandle owner);

// Says how a pass ended: the count of files unzipped in a box when someone
// waits to read it (owned by the main dialog, when there is one), and in the
// log; "Unzip Aborted" in the log when the pass failed, so that a failed
// run's log ends with its outcome rather than with the question or error
// that stopped it. The line stays in g_formatBuffer.
void ReportPassOutcome(bool completed);

// Zeroes bytes done, the last meter mark and the file counter, and forgets
// the meter's last step.
void ResetPassCounters();
