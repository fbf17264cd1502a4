// The Windows boundary for text: the stub works in UTF-8 throughout, Windows
// in UTF-16. Every path and every text crosses here, on the stack, so that the
// calls below are all the wide ones and no text ever passes through the ANSI
// code page.
#pragma once

#include "platform/types.h"
#include "platform/win32/win32.h"

// Room for a path of the longest the stub handles (joined output paths of up
// to 1023 UTF-16 units, with the long-path prefix in front) and for any text
// the stub shows.
const int kWideTextUnits = 1100;

// `text` (UTF-8) as UTF-16 in `wide` (kWideTextUnits units); a text that does
// not fit is cut. Returns `wide`.
wchar_t* ToWide(const char* text, wchar_t* wide);

// The same for a path handed to a file call: a fully qualified path too long
// for the plain calls ("C:\..." or "\\server\share\...") gets the prefix that
// lifts the platform's 260-unit limit.
wchar_t* ToWidePath(const char* path, wchar_t* wide);

// `wide` (NUL-terminated) as UTF-8 in `text`, a buffer of `size` bytes; a text
// that does not fit is cut at a character boundary. Returns the length
// written without the terminator.
uint32_t ToUtf8(const wchar_t* wide, char* text, uint32_t size);

// A text the system gave in UTF-16 (`units` long, or the size it needs when
// that is not less than kWideTextUnits), into a caller's buffer of `size`
// bytes in UTF-8, with the platform's conventions: the length written without
// the terminator; the size needed, terminator included, when it does not fit;
// 0 for nothing.
uint32_t ReturnUtf8(const wchar_t* wide, uint32_t units, char* buffer, uint32_t size);
