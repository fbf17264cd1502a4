// Formatting of messages with arguments (the platform's wsprintfA: %s, %d,
// %u, %x, %c with flags and widths; 'l' means 32 bits). At most 1024 bytes
// are written, terminator included. Returns the length written.
#pragma once

#include "platform/types.h"

int SysFormat(char* destination, const char* format, ...);
