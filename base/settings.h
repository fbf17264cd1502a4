// The stub settings block and the flags of a run.
//
// The builder finds the block in the stub file by its 8-byte marker and fills
// in the fields; the stub only reads them. The block lives in initialised,
// writable data with external linkage, so the compiler can neither drop it nor
// fold its fields into constants: every field is read at run time.
#pragma once

#include "platform/types.h"

// Little-endian on both targets; offsets are file offsets in the executable.
struct StubSettings {
  uint8_t marker[8];           //  0: "QJV" 01 "sfx" 02, found by byte search
  uint32_t imageCrc;           //  8: CRC-32 of the checked range, this field as 0; 0 = no check
  uint32_t archiveOffset;      // 12: where the ZIP archive begins (end of the checked range)
  uint32_t configOffset;       // 16: where the config block begins; 0 = none
  uint32_t endRecordOffset;    // 20: where the end record lies; 0 = not checked
  uint32_t totalSize;          // 24: sum of the entries' uncompressed sizes
  uint32_t flags;              // 28: kFlag* bits
  uint8_t unused32[10];        // 32
  uint16_t completeness;       // 42: 0 = the builder has not completed the file
  uint8_t unused44[10];        // 44
  uint8_t expectedEntry[4];    // 54: AddressOfEntryPoint the headers must carry (unaligned)
  uint8_t unused58[2];         // 58
};

static_assert(sizeof(StubSettings) == 60, "the settings block is 60 bytes");
static_assert(offsetof(StubSettings, imageCrc) == 8, "field offset");
static_assert(offsetof(StubSettings, archiveOffset) == 12, "field offset");
static_assert(offsetof(StubSettings, configOffset) == 16, "field offset");
static_assert(offsetof(StubSettings, endRecordOffset) == 20, "field offset");
static_assert(offsetof(StubSettings, totalSize) == 24, "field offset");
static_assert(offsetof(StubSettings, flags) == 28, "field offset");
static_assert(offsetof(StubSettings, completeness) == 42, "field offset");
static_assert(offsetof(StubSettings, expectedEntry) == 54, "field offset");

const uint32_t kSettingsMarkerLength = 8;

// The marker's bytes, for the block's initial value and for the builder.
// Nothing in the stub may use this array at run time: a second copy of the
// marker in the image would be taken for the block (the self-check and the
// builder take the first occurrence in the file).
constexpr uint8_t kSettingsMarker[kSettingsMarkerLength] = {'Q', 'J', 'V', 0x01, 's', 'f', 'x', 0x02};

// Flag bits of StubSettings::flags that the stub tests.
const uint32_t kFlagOverwrite = 0x2;
const uint32_t kFlagUseTitle = 0x10;
// The config texts are UTF-8 (this builder's); without it they are in the
// ANSI code page, as other builders write them, and are converted when read.
const uint32_t kFlagUtf8Texts = 0x400;
const uint32_t kFlagEncrypted = 0x100;
const uint32_t kFlagUnattended = 0x200;
const uint32_t kFlagCheckFromSectionTable = 0x800;
const uint32_t kFlagSpanned = 0x1000;
const uint32_t kFlagExeVolumes = 0x8000;
const uint32_t kFlagTitleCaption = 0x40000;
const uint32_t kFlagPromptQuestion = 0x80000;
const uint32_t kFlagPromptOkCancel = 0x100000;
// Silent by default (the builder's --silent): as /silent on the command line;
// /noauto still shows the dialog.
const uint32_t kFlagSilent = 0x200000;
// Names without the UTF-8 flag are in the OEM code page, as every DOS and
// Windows zip tool writes them (this builder's); without it they are read in
// the ANSI code page, as files from other builders always were.
const uint32_t kFlagOemNames = 0x400000;
// The main dialog shows no button that opens the file in an archiver (the
// builder's --no-archiver-button): to someone running a setup it means
// nothing.
const uint32_t kFlagNoArchiverButton = 0x800000;

// The block itself. In the stub it is the one the builder patched; the host
// tools load it from a self-extractor file.
extern StubSettings g_settings;

uint32_t ExpectedEntryPoint();

// Clears every field but the marker (the block is read-only in the stub; the
// host tools and tests load one block after another).
void ResetSettings();
