// The log a script asks for with /log FILE. It is opened once, before
// anything is logged, and held until the run ends: nothing can swap the file
// between two lines, and nothing else can write into it meanwhile (an entry of
// the archive named like it fails to be created). A log that cannot be opened
// or written is a failed run, reported by ReportLogFailure (stub/startup.h): the script asked
// for a record, and a run that left none must not pass for a good one.
#pragma once

#include "platform/types.h"

struct RunLogState {
  bool open;    // the file g_logPath names is held open
  int failure;  // 0, or the message that says what went wrong with it
};
extern RunLogState g_runLog;

// Closes the log and forgets any failure.
void ResetRunLog();

// Opens the log the command line named, if it named one. A link, a hard-linked
// file or a folder is refused (kMessageLogRefused); a log that cannot be
// opened fails (kMessageLogFailed). Either is kept in g_runLog.failure; false
// then.
bool OpenRunLog();

// Appends a message to the log, one line, with any line breaks in it turned
// into blanks; nothing when there is no log. A line that cannot be written is
// remembered as a failure; the run goes on as it would without a log.
void LogMessage(const char* text);
