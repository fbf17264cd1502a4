// The folder the main dialog offers when neither the config block nor the
// command line names one: the user's temporary folder, else "TEMP" under the
// Windows directory. Also the test that refuses folder names whose
// double-byte characters hold a separator byte.
#pragma once

#include "platform/types.h"

// Writes the first acceptable candidate, without a trailing separator (a root
// such as C:\ keeps its own), into `destination` (261 bytes) and returns 1:
// TMP, then TEMP, then the Windows directory's TEMP. Returns 0 and leaves the
// destination untouched when none is acceptable.
int DefaultFolder(char* destination);

// 1 when the variable is set, not empty, fits `buffer` (261 bytes) and passes
// HasUnsupportedChars; its value is then in the buffer.
int FolderFromEnvironment(const char* name, char* buffer);

// 1 when the Windows directory fits in 250 bytes, a folder "TEMP" exists under
// it (made here when nothing is there) and the result passes
// HasUnsupportedChars; `buffer` (at least 264 bytes) then holds it.
int WindowsTempFolder(char* buffer);

// Appends a separator when needed and "TEMP" to the folder in `buffer` (at
// least 264 bytes); 1 when a folder of that name now exists (made here when
// nothing was there), 0 when it could not be made or something else is in the
// way.
int EnsureTempSubfolder(char* buffer);

// 1 when the text holds a double-byte character (in the ANSI code page) one of
// whose bytes is '/' or '\'; 0 otherwise, also for a null or empty text.
int HasUnsupportedChars(const char* text);
