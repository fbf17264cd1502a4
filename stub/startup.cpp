#include "stub/startup.h"

char g_executablePath[kExecutablePathSize];

char* CommandLineTail(char* commandLine) {
  if (commandLine[0] == 0) return commandLine;
  char end = commandLine[0] == '"' ? '"' : ' ';
  char* cursor = commandLine + 1;
  while (*cursor != 0 && *cursor != end) ++cursor;
  if (*cursor == 0) return cursor;  // no end character: empty tail
  return cursor + 1;
}

int StubMain(InstanceHandle instance, InstanceHandle previous, char* tail, int show) {
  (void)instance;
  (void)previous;
  (void)tail;
  (void)show;
  return 0;
}
