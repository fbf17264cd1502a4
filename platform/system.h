// What the process learns from the system around it: environment variables
// and its own file name, in UTF-8.
#pragma once

#include "platform/types.h"

// GetEnvironmentVariableA: the length written without the terminator; the
// size needed, terminator included, when `size` is too small (the buffer then
// holds nothing useful); 0 when the variable is not set or is empty.
uint32_t SysGetEnvironmentVariable(const char* name, char* buffer, uint32_t size);

// The running program's full file name: the length written without the
// terminator; 0 on failure, and 0 when it does not fit `size`, since a path
// cut short names another file or folder.
uint32_t SysGetModuleFileName(char* buffer, uint32_t size);

// GetTickCount: milliseconds since the system started, wrapping every 49.7
// days (compare differences, never values).
uint32_t SysTickCount();
