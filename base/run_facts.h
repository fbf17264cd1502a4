// The facts of a run that every layer may read: where the self-extractor
// lies, how it runs (unattended, spanned), the ZIP signatures it compares
// against, and the texts its config block gave. Start-up sets them once,
// before the first pass; the layers above only read them.
#pragma once

#include "platform/types.h"

// --- Process-wide state of the run's facts (ResetRunFacts puts it back) ---

const uint32_t kExecutablePathSize = 3 * 1023 + 1;  // 1,023 UTF-16 units in UTF-8

// The running self-extractor's full path (long name), set at start-up; the
// archive is read from it and read errors quote it.
extern char g_executablePath[kExecutablePathSize];

// True while passes run without the user (the settings' unattended flag,
// /AUTO, /NOAUTO).
extern bool g_unattendedMode;

// A set spread over removable disks, and whether its volumes are named
// ".EXE" (otherwise ".ZIP"); from the settings block.
extern bool g_spannedFlag;
extern bool g_exeVolumesFlag;

// The five ZIP record signatures, formed in memory at start-up: the stub's
// image holds none of them as consecutive bytes, so that no scan of the file
// can mistake the stub for part of the archive.
const uint32_t kSignatureCount = 5;
enum SignatureIndex {
  kSignatureLocal = 0,        // PK 03 04
  kSignatureCentral = 1,      // PK 01 02
  kSignatureEnd = 2,          // PK 05 06
  kSignatureSingleSpan = 3,   // PK 0 0
  kSignatureSpan = 4,         // PK 07 08 (also a data descriptor)
};
extern uint8_t g_signatures[kSignatureCount][4];

// The config block: five NUL-terminated texts, at most kConfigBlockLimit
// bytes with their terminators. The target folder, its first text, lives
// with the output paths; the others land here, each cut to its limit in
// UTF-16 units. Their buffers hold that many units in UTF-8 (at most three
// bytes a unit) and the terminator.
const uint32_t kConfigBlockLimit = 1256;
const uint32_t kConfigFieldCount = 5;
const uint32_t kTextLineUnits = 103;
const uint32_t kStartupPromptUnits = 513;
const uint32_t kTitleUnits = 64;
const uint32_t kInfoTextUnits = 511;
const uint32_t kTextLineSize = 3 * kTextLineUnits + 1;
const uint32_t kStartupPromptSize = 3 * kStartupPromptUnits + 1;
const uint32_t kTitleSize = 3 * kTitleUnits + 1;
const uint32_t kInfoTextSize = 3 * kInfoTextUnits + 1;

extern char g_textLine[kTextLineSize];
extern char* g_startupPrompt;  // kStartupPromptSize bytes, or null when there is none
extern char g_title[kTitleSize];
extern char g_infoText[kInfoTextSize];

// True once the config block was read, so that the title is known: from then
// on, with kFlagTitleCaption, every window of the run is captioned with it.
// The boxes of the checks before it keep the stub's own caption.
extern bool g_configRead;

// What a script asked for on the command line (/silent, /overwrite,
// /password, /log; see TakeScriptSwitches): no window or box at all, existing
// files overwritten, the archive's password, the file every message goes to
// (empty: none).
extern bool g_silentMode;
extern bool g_overwriteRequested;
const uint32_t kCommandLinePasswordSize = 3 * 254 + 1;  // 254 units in UTF-8, as the password dialog's field
extern char g_commandLinePassword[kCommandLinePasswordSize];  // empty when none
extern char g_logPath[kExecutablePathSize];

// Frees the start-up prompt and clears every fact.
void ResetRunFacts();
