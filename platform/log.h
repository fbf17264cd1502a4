// The log a script asks for: lines appended to a file, each stamped with the
// local date and time.
#pragma once

#include "platform/types.h"

// Appends "YYYY-MM-DD HH:MM:SS text" and a line end to the file at `path`
// (UTF-8), creating it when missing. Failures are not reported: a log that
// cannot be written must not change what the run does.
void SysAppendLogLine(const char* path, const char* text);
