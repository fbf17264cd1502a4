// The program's main routine and the decisions of its entry point.
#pragma once

#include "base/exit_codes.h"
#include "platform/program.h"
#include "platform/types.h"

// What PrepareRun returns when everything was checked and the run goes on
// (to the main dialog, or silently to the pass); otherwise it returns the
// exit code the run ends with (base/exit_codes.h), its reason told already.
const int kStartupShowDialog = -1;

// Start-up from the abort point to the command-line options: the
// start-of-run checks, the entry-point check, -info, the Windows version,
// the completeness word, the settings start-up owns, the start-up prompt and
// the options. The tail is read once, first (see stub/command_line.h), and
// left as it is. Windows-free, so that the headless runner shares it.
// kStartupShowDialog, or the exit code: kExitSuccess after -info,
// kExitCancelled for a declined start-up prompt, kExitBadUsage for a command
// line that cannot be followed, the abort's exit code for a check that
// aborted, kExitFailure (kExitReadWrite for a log that could not be written)
// otherwise.
int PrepareRun(InstanceHandle instance, const char* tail);

// A silent run: the pass without the dialog, into the folder start-up chose.
// The process exit code: kExitSuccess, kExitPassword when the password is
// missing or does not open the archive (nothing is made then), or the pass's
// abort's exit code.
int RunSilently();

// The program's folder becomes the current directory, so that a folder
// given as "." means the folder the self-extractor lies in.
void MakeOwnFolderCurrent();

// When the log (base/run_log.h) was refused or lost a line, says so in a box
// and returns the exit code that says so: the run has then failed, whatever
// else it did. 0 when the log is fine. A silent run's box shows nothing; its
// starter hears of it on its console, if it has one, and from the exit code.
int ReportLogFailure();

// The exit code a run that got this far ends with, once the log's state had
// its say; the log's closing line names it. Returns it.
int EndRun(int exitCode);

// Frees the work memory and closes the archive and the output file (each
// when there is one).
void Shutdown();
