// The log a script asks for: one file, opened once at start-up and held for
// the whole run, its lines appended and each stamped with the local date and
// time.
#pragma once

#include "platform/types.h"

// Results of SysOpenLog.
const int kLogOpen = 0;
const int kLogRefused = 1;  // a folder, a link (symbolic or hard), or anything but a plain file
const int kLogFailed = 2;   // it could not be opened or created

// Opens the file at `path` (UTF-8) for appending, creating it when missing.
// A link at the path is not followed: a log often lies in a shared folder,
// where anyone could plant a link that makes the lines land in a file of
// their choosing. A file with more than one name is refused for the same
// reason. The file stays open, shared for reading only, until SysCloseLog,
// so that nothing else (an entry of the archive, say) writes into it meanwhile.
int SysOpenLog(const char* path);

// Appends "YYYY-MM-DD HH:MM:SS text" and a line end to the open log. False
// when the line was not written whole (or no log is open).
bool SysAppendLogLine(const char* text);

// Closes the log, if one is open.
void SysCloseLog();
