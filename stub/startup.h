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

// The main routine; its result is the process exit code.
int StubMain(InstanceHandle instance, InstanceHandle previous, char* tail, int show);
