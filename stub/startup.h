// The program's main routine and the decisions of its entry point.
#pragma once

#include "platform/program.h"
#include "platform/types.h"

// What start-up decided before the dialog.
enum StartupOutcome {
  kStartupShowDialog = 0,  // everything checked: run the main dialog
  kStartupDeclined = 1,    // ended as the user wished (-info, a declined start-up prompt)
  kStartupFailed = 2,      // stopped on an error (already reported in a message box)
};

// Start-up from the abort point to the command-line options: the
// start-of-run checks, the entry-point check, -info, the Windows version,
// the completeness word, the settings start-up owns, the start-up prompt and
// the options. Windows-free, so that the headless runner shares it.
int PrepareRun(InstanceHandle instance, char* tail);

// Reads the options of the command-line tail (upper-casing the option word
// in place): /AUTO [folder] or /NOAUTO behind the first '-' or '/'. 0, or 1
// when the folder given with /AUTO does not fit the target folder.
int ParseOptions(char* tail);

// Takes the switches a script gives out of the tail, each a word of its own
// behind '/' or '-', in any case:
//   /silent [folder]  as /auto, with no window and no box at all (it becomes
//                     /auto in the tail, for the options that follow);
//   /overwrite        existing files are overwritten;
//   /password PASS    the password of an encrypted archive;
//   /log FILE         every message that would have been shown goes to FILE.
// A value may be quoted. The words taken become blanks.
void TakeScriptSwitches(char* tail);

// A silent run: the pass without the dialog, into the folder start-up chose.
// The process exit code.
int RunSilently();

// When the log (base/run_log.h) was refused or lost a line, says so in a box
// and returns true: the run has then failed, whatever else it did. A silent
// run's box shows nothing, and then only the exit code tells.
bool ReportLogFailure();

// True when "-info" stands in the tail as a word of its own: at the start
// or behind a blank, and at the end or before one (case-sensitive).
bool HasInfoOption(const char* tail);

// Frees the work memory and closes the archive and the output file (each
// when there is one).
void Shutdown();

// Process exit codes: scripts and deployment tools that run a
// self-extractor unattended must be able to tell a failure from success.
const int kExitSuccess = 0;  // a completed pass, or the user closed or declined
const int kExitFailure = 1;  // a pass was aborted, start-up stopped on an error, or no dialog came up
