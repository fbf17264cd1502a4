#include "platform/process.h"
#include "platform/win32/wide.h"

uint32_t SysStartProgram(const char* commandLine) {
  wchar_t wide[kWideTextUnits];  // CreateProcessW may write into the command line
  STARTUPINFOW startup;
  __builtin_memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION started;
  if (!CreateProcessW(nullptr, ToWide(commandLine, wide), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &started)) {
    return 0;
  }
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return kStartFailedLimit + 1;
}

int SysShiftKeyDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0 ? 1 : 0; }

void SysExitProcess(uint32_t code) {
  ExitProcess(code);
}
