// The folder the main dialog offers when neither the config block nor the
// command line names one: the user's temporary folder, else "TEMP" under the
// Windows directory.
#pragma once

#include "platform/types.h"

// Writes the first acceptable candidate, without a trailing separator (a root
// such as C:\ keeps its own), into `destination` (kTargetFolderSize bytes) and returns true:
// TMP, then TEMP, then the Windows directory's TEMP. Returns false and leaves the
// destination untouched when none is acceptable.
bool DefaultFolder(char* destination);

// True when the variable is set, not empty, and fits `buffer` (kTargetFolderSize bytes); its
// value is then in the buffer.
bool FolderFromEnvironment(const char* name, char* buffer);

// True when the Windows directory fits in 250 bytes, a folder "TEMP" exists under
// it (made here when nothing is there); `buffer` (at least kPathBufferSize bytes) then holds it.
bool WindowsTempFolder(char* buffer);

// Appends a separator when needed and "TEMP" to the folder in `buffer` (at
// least kPathBufferSize bytes); true when a folder of that name now exists (made here when
// nothing was there), false when it could not be made or something else is in the
// way.
bool EnsureTempSubfolder(char* buffer);
