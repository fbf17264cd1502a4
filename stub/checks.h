// The start-of-run checks: before any window exists, the stub makes sure it
// is complete, intact and unchanged, and reads what the builder appended.
#pragma once

#include "platform/types.h"

const uint32_t kPeHeadersSize = 248;  // PE signature, file header, optional header

void FormSignatures();

// Runs every check in order; returns only when all passed (every failure is
// fatal and jumps to the abort point).
void StartOfRunChecks();

// Opens the executable as the archive handle; returns 0.
void OpenArchive();

// The self-check over the first `length` bytes of the file; returns 0.
void CheckImage(uint32_t length, uint32_t expectedCrc, const uint8_t* marker);

// Reads the config block into its five destinations.
void ReadConfigBlock();

// True when the executable's headers carry the expected entry point, false otherwise
// (including every failure to read them).
bool CheckEntryPoint();
