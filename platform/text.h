// Code page conversion of the stub's own texts.
#pragma once

#include "platform/types.h"

// Converts `length` bytes of `text` in place from the OEM to the ANSI code
// page (the platform's OemToCharBuffA). 7-bit ASCII is left as it is.
void SysOemToAnsi(char* text, uint32_t length);
