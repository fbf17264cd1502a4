// One extraction pass: the appended archive read strictly from the front,
// record by record, without the central directory.
#pragma once

#include "platform/types.h"

// --- Process-wide state of the scanner (ResetScanner puts it back) ---
struct ScannerState {
  bool passRunning;  // true while RunPass runs
};
extern ScannerState g_scanner;

void ResetScanner();

// Runs one pass and returns its jump code: 0 when the archive was read to its
// end, 1 (Cancel in the overwrite prompt) or 2 (any other stop) when aborted.
int RunPass();

// The signature loop; returns at the end record (or, in a spanned set, at the
// first central directory header).
void ScanArchive();

// Handles one local header and its entry; the archive is just behind the signature.
void ReadLocalEntry();

// Reads and passes over one central directory header.
void SkipCentralEntry();

// Reads the end record and passes over its comment.
void ReadEndRecord();
