// The program's main routine and the decisions of its entry point.
#pragma once

#include "platform/program.h"
#include "platform/types.h"

// What start-up decided before the dialog.
enum StartupOutcome {
  kStartupShowDialog = 0,  // everything checked: run the main dialog
  kStartupDeclined = 1,    // ended as the user wished (-info, a declined start-up prompt)
  kStartupFailed = 2,      // stopped on an error (already reported in a message box)
  kStartupBadCommandLine = 3,  // an unknown switch (already reported to the starter or in a box)
};

// Start-up from the abort point to the command-line options: the
// start-of-run checks, the entry-point check, -info, the Windows version,
// the completeness word, the settings start-up owns, the start-up prompt and
// the options. The tail is read once, first (see stub/command_line.h), and
// left as it is. Windows-free, so that the headless runner shares it.
int PrepareRun(InstanceHandle instance, const char* tail);

// A silent run: the pass without the dialog, into the folder start-up chose.
// The process exit code.
int RunSilently();

// The program's folder becomes the current directory, so that a folder
// given as "." means the folder the self-extractor lies in.
void MakeOwnFolderCurrent();

// When the log (base/run_log.h) was refused or lost a line, says so in a box
// and returns true: the run has then failed, whatever else it did. A silent
// run's box shows nothing, and then only the exit code tells.
bool ReportLogFailure();

// Frees the work memory and closes the archive and the output file (each
// when there is one).
void Shutdown();

// Process exit codes: scripts and deployment tools that run a
// self-extractor unattended must be able to tell a failure from success.
const int kExitSuccess = 0;  // a completed pass, or the user closed or declined
const int kExitFailure = 1;  // a pass was aborted, start-up stopped on an error, or no dialog came up
const int kExitBadCommandLine = 2;  // the command line holds an unknown switch: the script is wrong
