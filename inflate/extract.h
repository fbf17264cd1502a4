// Turning one file entry into a file on disk.
#pragma once

#include "platform/types.h"

// Extracts the current entry: the archive is at the first byte of its data
// (behind the encryption header of an encrypted entry), and the name buffer
// holds its output path.
void ExtractEntry();

// Copies the name buffer into the output path and creates the file there.
int CreateOutputFile();

// Sets the output file's times from the local header's DOS date and time.
void SetOutputFileTime();

// The DOS date and time with out-of-range fields pulled into range (seconds
// 30/31 -> 29, minutes -> 59, hours -> 23, day 0 -> 1, month 0 -> 1, 13..15 -> 12).
uint16_t ClampDosTime(uint16_t dosTime);
uint16_t ClampDosDate(uint16_t dosDate);
