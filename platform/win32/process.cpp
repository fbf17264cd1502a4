#include "platform/process.h"
#include "platform/win32/win32.h"

uint32_t SysStartProgram(const char* commandLine) { return WinExec(commandLine, SW_SHOWNORMAL); }

int SysShiftKeyDown() { return (GetKeyState(VK_SHIFT) & 0x8000) != 0 ? 1 : 0; }

void SysExitProcess(uint32_t code) {
  ExitProcess(code);
}
