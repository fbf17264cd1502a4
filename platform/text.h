// Texts from outside the stub's own UTF-8 world: names and config texts
// written in the ANSI or the OEM code page of the machine that runs the stub.
#pragma once

#include "platform/types.h"

// Converts the NUL-terminated `ansi` text from the system's ANSI code page to
// UTF-8 in `utf8`, a buffer of `size` bytes; a text that does not fit is cut
// at a character boundary. Returns the length written.
uint32_t SysAnsiToUtf8(const char* ansi, char* utf8, uint32_t size);

// The same from the system's OEM code page, the one DOS and Windows zip
// tools write unflagged names in (437 on US machines).
uint32_t SysOemToUtf8(const char* oem, char* utf8, uint32_t size);

// The other way: the UTF-8 `utf8` in the ANSI code page, in `ansi` of `size`
// bytes (a character the code page lacks becomes its default character).
uint32_t SysUtf8ToAnsi(const char* utf8, char* ansi, uint32_t size);
