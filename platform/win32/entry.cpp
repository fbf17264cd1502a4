// The stub's entry point: there is no C runtime to call a main routine, so
// this takes the command line, finds its tail and ends the process with the
// main routine's result.
#include "platform/win32/win32.h"
#include "platform/program.h"

extern "C" void __stdcall Entry() {
  char* tail = CommandLineTail(GetCommandLineA());
  int result = StubMain(GetModuleHandleA(nullptr), nullptr, tail, 0);
  ExitProcess(static_cast<UINT>(result));
}
