// The program as the entry point sees it. The platform's entry point takes
// the command line and calls these two; the start-up sequence above the
// platform defines them (stub/startup.cpp), so the entry point needs none of
// its headers.
#pragma once

#include "platform/types.h"

// The command line without the program name: a quoted name ends at the next
// double quote, an unquoted one at the first blank (the search starts at the
// second character); that one character is stepped over. Empty when there is
// no end character.
char* CommandLineTail(char* commandLine);

// The main routine: sets the process up, runs start-up and the main dialog,
// and cleans up. Its result is the process exit code.
int StubMain(InstanceHandle instance, InstanceHandle previous, char* tail, int show);
