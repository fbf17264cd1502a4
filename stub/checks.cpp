#include "stub/checks.h"

#include "archive/input.h"
#include "archive/volumes.h"
#include "archive/crc32.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/text.h"
#include "paths/path_routines.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "base/work_memory.h"

// The signatures' tails, kept apart from their "P" so that the image never
// holds a whole signature. Writable and with external linkage, so that the
// compiler cannot fold a signature back into one constant.
char g_signatureTails[kSignatureCount * 3] = {'K', 3, 4, 'K', 1, 2, 'K', 5, 6, 'K', '0', '0', 'K', 7, 8};

namespace {

const uint32_t kLfanewOffset = 0x3C;
const uint32_t kEntryPointOffset = 40;  // AddressOfEntryPoint within the PE headers
const uint32_t kOptionalHeaderSizeOffset = 20;  // SizeOfOptionalHeader within the PE headers
const uint32_t kPeFileHeaderEnd = 24;  // PE signature and file header
const uint32_t kConfigWorkSize = 4100;

// The end record's signature where the builder put it; kMessageDamaged otherwise.
void CheckEndRecord() {
  uint8_t signature[4];
  uint32_t offset = g_settings.endRecordOffset;
  if (offset > 0x7FFFFFFF ||
      SysSeek(g_archiveInput.handle, static_cast<int32_t>(offset), kSeekBegin) != static_cast<int32_t>(offset) ||
      SysRead(g_archiveInput.handle, signature, 4) != 4 || CompareBytes(signature, g_signatures[kSignatureEnd], 4) != 0) {
    FatalError(MessageText(kMessageDamaged));
  }
}

// Room for the folder field in UTF-8 before its length is judged: every byte
// of an ANSI text may take three.
const uint32_t kConfigFolderWorkSize = 3 * kConfigBlockLimit + 1;

// A config text into a buffer of `size` bytes in UTF-8: as it stands when
// the builder marked the texts as UTF-8, converted from the ANSI code page
// otherwise (a file from another builder).
void ConvertConfigText(const char* field, char* destination, uint32_t size) {
  if ((g_settings.flags & kFlagUtf8Texts) != 0) {
    CopyText(destination, field, size);
  } else {
    SysAnsiToUtf8(field, destination, size);
  }
}

// The same, cut to its limit of `units` UTF-16 units between two characters.
// The buffer holds that many units in UTF-8, so the byte cut of the copy
// lies behind the part that is kept.
void TakeConfigText(const char* field, char* destination, uint32_t size, uint32_t units) {
  ConvertConfigText(field, destination, size);
  CutToUnits(destination, units);
}

// Where the next field begins: one byte after the terminator of this one.
const char* NextField(const char* field) { return field + TextLength(field) + 1; }

// True when the block holds its five terminators.
bool HasFiveFields(const char* block, uint32_t length) {
  uint32_t terminators = 0;
  for (uint32_t i = 0; i < length && terminators < 5; ++i) {
    if (block[i] == 0) ++terminators;
  }
  return terminators == 5;
}

}  // namespace

void FormSignatures() {
  for (uint32_t i = 0; i < kSignatureCount; ++i) {
    g_signatures[i][0] = 'P';
    CopyBytes(&g_signatures[i][1], &g_signatureTails[i * 3], 3);
  }
}

void OpenArchive() {
  g_archiveInput.handle = SysOpen(g_executablePath, kOpenRead | kOpenShareDenyWrite);
  if (g_archiveInput.handle == kFileError) FatalHeaderCorrupt();
}

namespace {

// The CRC-32 of the checked range of an image read into memory, with the
// settings block's CRC field as zero; true when the image cannot be checked
// (no marker, headers outside it).
int ImageCrc(uint8_t* image, uint32_t length, const uint8_t* marker, uint32_t* crc) {
  // The block is the first occurrence of its marker in the file.
  uint32_t at = 0;
  while (at + kSettingsMarkerLength <= length && CompareBytes(image + at, marker, kSettingsMarkerLength) != 0) ++at;
  if (at + kSettingsMarkerLength + 4 > length) return 1;
  FillBytes(image + at + kSettingsMarkerLength, 0, 4);

  // Code signing may change the PE headers afterwards; with this flag the
  // check starts at the section table.
  uint32_t start = 0;
  if ((g_settings.flags & kFlagCheckFromSectionTable) != 0) {
    if (length < kLfanewOffset + 4) return 1;
    uint32_t lfanew = ReadLe32(image + kLfanewOffset);
    if (lfanew > length || length - lfanew < kPeFileHeaderEnd) return 1;
    // The optional header is longer in a 64-bit image: the table follows it.
    uint32_t tableOffset = kPeFileHeaderEnd + ReadLe16(image + lfanew + kOptionalHeaderSizeOffset);
    if (length - lfanew < tableOffset) return 1;
    start = lfanew + tableOffset;
  }
  g_crc.running = 0xFFFFFFFF;
  UpdateCrc(image + start, length - start);
  *crc = 0xFFFFFFFF - g_crc.running;
  return 0;
}

}  // namespace

void CheckImage(uint32_t length, uint32_t expectedCrc, const uint8_t* marker) {
  if (length == 0 || length > 0x7FFFFFFF) FatalHeaderCorrupt();
  uint8_t* image = static_cast<uint8_t*>(SysAlloc(length));
  if (image == nullptr) FatalHeaderCorrupt();
  uint32_t crc = 0;
  int failed = SysSeek(g_archiveInput.handle, 0, kSeekBegin) != 0 ||
               SysRead(g_archiveInput.handle, image, length) != static_cast<int32_t>(length) ||
               ImageCrc(image, length, marker, &crc) != 0 || crc != expectedCrc;
  SysFree(image);
  if (failed) FatalHeaderCorrupt();
}

void ReadConfigBlock() {
  if (g_settings.configOffset == 0) return;
  // A block longer than its buffer, or one placed behind the archive, is
  // refused rather than read.
  if (g_settings.configOffset > g_settings.archiveOffset) FatalHeaderCorrupt();
  uint32_t length = g_settings.archiveOffset - g_settings.configOffset;
  if (length > kConfigBlockLimit || g_settings.configOffset > 0x7FFFFFFF) FatalHeaderCorrupt();
  if (g_spannedFlag) SwitchVolume(1, true);  // the config block is in the executable itself

  char raw[kConfigBlockLimit];
  char block[kConfigWorkSize];
  int32_t offset = static_cast<int32_t>(g_settings.configOffset);
  if (SysSeek(g_archiveInput.handle, offset, kSeekBegin) != offset) FatalHeaderCorrupt();
  if (SysRead(g_archiveInput.handle, raw, length) < static_cast<int32_t>(length)) FatalHeaderCorrupt();
  FillBytes(block, 0, kConfigWorkSize);
  CopyBytes(block, raw, length);
  if (!HasFiveFields(block, length)) FatalHeaderCorrupt();

  const char* field = block;
  // Refused rather than cut: a cut folder would unzip somewhere else.
  char folder[kConfigFolderWorkSize];
  ConvertConfigText(field, folder, kConfigFolderWorkSize);
  if (Utf16Length(folder) > kTargetFolderUnits) FatalHeaderCorrupt();
  CopyText(g_outputPaths.targetFolder, folder, kTargetFolderSize);
  // Only this builder's files promise %NAME% parts meant for expansion; other
  // builders' folders are taken as written.
  if ((g_settings.flags & kFlagUtf8Texts) != 0) CopyText(g_outputPaths.configuredFolder, folder, kTargetFolderSize);
  field = NextField(field);
  TakeConfigText(field, g_textLine, kTextLineSize, kTextLineUnits);
  field = NextField(field);
  if (field[0] != 0) {
    g_startupPrompt = static_cast<char*>(SysAlloc(kStartupPromptSize));
    if (g_startupPrompt != nullptr) TakeConfigText(field, g_startupPrompt, kStartupPromptSize, kStartupPromptUnits);
  }
  field = NextField(field);
  if ((g_settings.flags & kFlagUseTitle) != 0) TakeConfigText(field, g_title, kTitleSize, kTitleUnits);
  field = NextField(field);
  TakeConfigText(field, g_infoText, kInfoTextSize, kInfoTextUnits);
}

void StartOfRunChecks() {
  FormSignatures();
  BuildCrcTable();
  OpenArchive();
  if (g_settings.imageCrc != 0) CheckImage(g_settings.archiveOffset, g_settings.imageCrc, g_settings.marker);
  g_spannedFlag = (g_settings.flags & kFlagSpanned) != 0;
  g_exeVolumesFlag = (g_settings.flags & kFlagExeVolumes) != 0;
  if (!AllocateWorkMemory()) FatalHeaderCorrupt();
  LoadResources();
  if (g_spannedFlag) SwitchVolume(1, true);  // disk 1, reopening the executable itself
  ReadConfigBlock();
  g_configRead = true;
  if (!g_spannedFlag && g_settings.endRecordOffset != 0) CheckEndRecord();
}

bool CheckEntryPoint() {
  uint8_t headers[kPeHeadersSize];
  FileHandle file = SysOpen(g_executablePath, kOpenRead | kOpenShareDenyNone);
  if (file == kFileError) return false;
  bool matches = false;
  if (SysRead(file, headers, 64) == 64) {
    uint32_t lfanew = ReadLe32(headers + kLfanewOffset);
    if (lfanew <= 0x7FFFFFFF && SysSeek(file, static_cast<int32_t>(lfanew), kSeekBegin) == static_cast<int32_t>(lfanew) &&
        SysRead(file, headers, kPeHeadersSize) == static_cast<int32_t>(kPeHeadersSize)) {
      matches = ReadLe32(headers + kEntryPointOffset) == ExpectedEntryPoint();
    }
  }
  SysClose(file);
  return matches;
}
