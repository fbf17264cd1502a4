// Formatting of messages with arguments (the platform's wsprintfA: %s, %d,
// %u, %x, %c with flags and widths; 'l' means 32 bits). At most 1024 bytes
// are written, terminator included. Returns the length written.
#pragma once

#include "platform/types.h"

// The most SysFormat writes, terminator included: every destination has room
// for it.
const uint32_t kFormatLimit = 1024;

int SysFormat(char* destination, const char* format, ...);
