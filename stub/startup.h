// The program's main routine and the decisions of its entry point.
#pragma once

#include "platform/types.h"

const uint32_t kExecutablePathSize = 261;

// The running self-extractor's full path (long name), set at start-up; the
// archive is read from it and read errors quote it.
extern char g_executablePath[kExecutablePathSize];

// The command line without the program name: a quoted name ends at the next
// double quote, an unquoted one at the first blank (the search starts at the
// second character); that one character is stepped over. Empty when there is
// no end character.
char* CommandLineTail(char* commandLine);

// What start-up decided before the dialog.
enum StartupOutcome {
  kStartupShowDialog = 0,  // everything checked: run the main dialog
  kStartupDeclined = 1,    // ended as the user wished (-info, a declined start-up prompt)
  kStartupFailed = 2,      // stopped on an error (already reported in a message box)
};

// 1 while passes run without the user (settings flag 0x200, /AUTO, /NOAUTO).
extern int g_unattendedMode;

// Start-up from the abort point to the command-line options: the
// start-of-run checks, the entry-point check, -info, the Windows version,
// the completeness word, the settings start-up owns, the start-up prompt and
// the options. Windows-free, so that the headless runner shares it.
int PrepareRun(InstanceHandle instance, char* tail);

// Reads the options of the command-line tail (upper-casing the option word
// in place): /AUTO [folder] or /NOAUTO behind the first '-' or '/'. 0, or 1
// when the folder given with /AUTO does not fit the target folder.
int ParseOptions(char* tail);

// 1 when "-info" occurs anywhere in the tail (case-sensitive).
int HasInfoOption(const char* tail);

// Frees the work memory and closes the archive and the output file (each
// when there is one).
void Shutdown();

// Process exit codes: scripts and deployment tools that run a
// self-extractor unattended must be able to tell a failure from success.
const int kExitSuccess = 0;  // a completed pass, or the user closed or declined
const int kExitFailure = 1;  // a pass was aborted, start-up stopped on an error, or no dialog came up

// The main routine: sets the process up, runs start-up and the main dialog,
// and cleans up. Its result is the process exit code.
int StubMain(InstanceHandle instance, InstanceHandle previous, char* tail, int show);
