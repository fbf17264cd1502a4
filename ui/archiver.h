// Run Arcula: hands this self-extractor to the archiver registered on the
// machine, or says that there is none.
#pragma once

#include "platform/types.h"

// Where the archiver registers the command that opens a file.
extern const char kArchiverCommandKey[];  // "arcula\shell\open\command"

// The registered command is read with a limit of 260 UTF-16 units (a longer
// one counts as missing), and the command line is built in the same buffer,
// up to 263 units. The buffer holds that many units in UTF-8.
const uint32_t kRegisteredCommandUnits = 260;
const uint32_t kCommandLineUnits = 263;
const uint32_t kCommandBufferSize = 3 * kCommandLineUnits + 1;

// Turns the registered command held in `command` (at most 260 units, as
// read) into the command line that
// opens `executablePath`: the registered program (up to its first blank, or a
// whole quoted program path) with one blank, then the path in double quotes.
// For a spanned set with ".ZIP" volumes (`spanned` set, `exeVolumes` clear)
// the three characters before the closing quote become "zip", so that the
// ZIP file of the same name beside the executable is opened. True when built;
// false when the command line would have more than kCommandLineUnits units
// (the buffer is then left undefined, and nothing is written past it).
bool BuildArchiverCommand(char* command, const char* executablePath, bool spanned, bool exeVolumes);

// What the Run Arcula button does. True when the archiver was started (the
// dialog then ends); false otherwise: with Shift held or nothing registered the
// user is told with kMessageNoArchiver, a command line too long for this
// file's path with kMessageArchiverTooLong; a program that would not start is
// not reported.
bool OpenInArchiver();
