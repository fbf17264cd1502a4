// What the process learns from the system around it: environment variables
// and its own file name, in UTF-8.
#pragma once

#include "platform/types.h"

// GetEnvironmentVariableA: the length written without the terminator; the
// size needed, terminator included, when `size` is too small (the buffer then
// holds nothing useful); 0 when the variable is not set or is empty.
uint32_t SysGetEnvironmentVariable(const char* name, char* buffer, uint32_t size);

// GetModuleFileNameA of the running program: the length written without the
// terminator, cut to fit `size`; 0 on failure.
uint32_t SysGetModuleFileName(char* buffer, uint32_t size);

// GetTickCount: milliseconds since the system started, wrapping every 49.7
// days (compare differences, never values).
uint32_t SysTickCount();
