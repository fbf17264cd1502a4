// The log a script asks for with /log FILE. It is opened once, before
// anything is logged, and held until the run ends: nothing can swap the file
// between two lines, and nothing else can write into it meanwhile (an entry of
// the archive named like it fails to be created). A log that cannot be opened
// or written is a failed run, reported by ReportLogFailure (stub/startup.h): the script asked
// for a record, and a run that left none must not pass for a good one.
#pragma once

#include "platform/types.h"

// The log's first line names the run: the file, its command line (the
// password hidden) and the target folder. It is written in front of the first
// line logged, so that it names the folder the files went to, once the run
// knows it. The last line is the exit code and what it means.
const uint32_t kLoggedSwitchesSize = 512;

struct RunLogState {
  bool open;             // the file g_logPath names is held open
  int failure;           // 0, or the message that says what went wrong with it
  bool namedRun;         // the first line is written
  const char* target;    // the target folder the first line names (the output paths'); null: none yet
  char switches[kLoggedSwitchesSize];  // the command line as the first line names it
};
extern RunLogState g_runLog;

// Closes the log and forgets any failure.
void ResetRunLog();

// Opens the log the command line named, if it named one. A link, a hard-linked
// file or a folder is refused (kMessageLogRefused); a log that cannot be
// opened fails (kMessageLogFailed). Either is kept in g_runLog.failure; false
// then.
bool OpenRunLog();

// What the log's first line will name besides the file: the command line as
// it should be shown, and the target folder, read when the line is written.
void DescribeRunForLog(const char* switches, const char* target);

// The log's last line: the exit code and its meaning ("Exit code 5: an
// existing file stopped the run").
void LogExitCode(int exitCode);

// Appends a message to the log, one line, with any line breaks in it turned
// into blanks; nothing when there is no log. A line that cannot be written is
// remembered as a failure; the run goes on as it would without a log.
void LogMessage(const char* text);
