// The stub's entry point: there is no C runtime to call a main routine, so
// this takes the command line, finds its tail and ends the process with the
// main routine's result.
#include "platform/win32/wide.h"
#include "platform/program.h"

namespace {

// The command line in UTF-8: the system's longest (32,767 units) at three
// bytes a unit. Zeroed data, so it costs nothing in the file.
char g_commandLine[32768 * 3];

}  // namespace

extern "C" void __stdcall Entry() {
  ToUtf8(GetCommandLineW(), g_commandLine, sizeof g_commandLine);
  char* tail = CommandLineTail(g_commandLine);
  int result = StubMain(GetModuleHandleA(nullptr), nullptr, tail, 0);
  ExitProcess(static_cast<UINT>(result));
}
