// The start-of-run checks: before any window exists, the stub makes sure it
// is complete, intact and unchanged, and reads what the builder appended.
#pragma once

#include "platform/types.h"

const uint32_t kSignatureCount = 5;
const uint32_t kConfigBlockLimit = 1256;
const uint32_t kTextLineSize = 104;
const uint32_t kStartupPromptSize = 514;
const uint32_t kTitleSize = 65;
const uint32_t kInfoTextSize = 512;
const uint32_t kPeHeadersSize = 248;  // PE signature, file header, optional header

// The five ZIP record signatures, formed in memory at start-up: the stub's
// image holds none of them as consecutive bytes, so that no scan of the file
// can mistake the stub for part of the archive.
enum SignatureIndex {
  kSignatureLocal = 0,        // PK 03 04
  kSignatureCentral = 1,      // PK 01 02
  kSignatureEnd = 2,          // PK 05 06
  kSignatureSingleSpan = 3,   // PK 0 0
  kSignatureSpan = 4,         // PK 07 08 (also a data descriptor)
};
extern uint8_t g_signatures[kSignatureCount][4];

// What the config block gave (the target folder lives with the output paths).
extern char g_textLine[kTextLineSize];
extern char* g_startupPrompt;  // kStartupPromptSize bytes, or null when there is none
extern char g_title[kTitleSize];
extern char g_infoText[kInfoTextSize];

// Spanned set flags, from the settings block.
extern int g_spannedFlag;
extern int g_exeVolumesFlag;

void FormSignatures();

// Runs every check in order; returns only when all passed (every failure is
// fatal and jumps to the abort point).
void StartOfRunChecks();

// Opens the executable as the archive handle; returns 0.
int OpenArchive();

// The self-check over the first `length` bytes of the file; returns 0.
int CheckImage(uint32_t length, uint32_t expectedCrc, const uint8_t* marker);

// Reads the config block into its five destinations.
void ReadConfigBlock();

// 1 when the executable's headers carry the expected entry point, 0 otherwise
// (including every failure to read them).
int CheckEntryPoint();
