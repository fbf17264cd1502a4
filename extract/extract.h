// Turning one file entry into a file on disk.
#pragma once

#include "inflate/inflate.h"
#include "platform/types.h"

// Extracts the current entry into the file at `path`: the archive is at the
// first byte of its data (behind the encryption header of an encrypted entry).
void ExtractEntry(const char* path);

// The decoder's input and output for the current entry's deflated data: the
// data through the archive input's refills, the window to the output file.
InflateIo EntryInflateIo();

// Sets the output file's times from the local header's DOS date and time.
void SetOutputFileTime();

// The DOS date and time with out-of-range fields pulled into range (seconds
// 30/31 -> 29, minutes -> 59, hours -> 23, day 0 -> 1, month 0 -> 1, 13..15 -> 12).
uint16_t ClampDosTime(uint16_t dosTime);
uint16_t ClampDosDate(uint16_t dosDate);
