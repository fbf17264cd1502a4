// The window-free decisions of the main dialog's Unzip: what the folder field
// starts with, whether its text can be used, and the counters of a pass.
#pragma once

#include "platform/types.h"

// The folder the dialog first shows: the target folder as start-up left it,
// the default folder when that is empty, the current directory for ".".
void CompleteTargetFolder();

// False when the target folder can be unzipped to; otherwise shows why
// (kMessageNoFolder for an empty folder) and returns true. Folders are UTF-8,
// so no character can hide a separator byte as a double-byte one could.
bool RefuseTargetFolder();

// Zeroes bytes done, the last meter mark and the file counter, and forgets
// the meter's last step.
void ResetPassCounters();
