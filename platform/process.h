// Starting another program, the keyboard's state, and ending this process.
#pragma once

#include "platform/types.h"

// Results of SysStartProgram above this mean that the program was started
// (failures are reported as 0..31, as the platform's old WinExec did).
const uint32_t kStartFailedLimit = 31;

// Starts a command line (UTF-8), shown normally. Above kStartFailedLimit when
// the program runs.
uint32_t SysStartProgram(const char* commandLine);

// 1 while a Shift key is held down (the high bit of GetKeyState(VK_SHIFT)).
int SysShiftKeyDown();

// Ends the process at once with `code`: for the one failure that has no live
// abort point to jump to.
[[noreturn]] void SysExitProcess(uint32_t code);
