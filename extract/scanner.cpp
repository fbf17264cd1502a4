// The record scanner. Its loop, in short:
//
//   RunPass: arm the abort point -> position at the archive -> ScanArchive
//   ScanArchive: read 4 bytes, dispatch on them, repeat:
//     local header     -> ReadLocalEntry  (folder, or file: paths, overwrite
//                                          decision, password, ExtractEntry)
//     central header   -> SkipCentralEntry (spanned set: the scan ends here)
//     end record       -> ReadEndRecord, the scan ends
//     "PK00"           -> passed over
//     descriptor / any other value -> kMessageInvalidHeader (spanned set: passed over)
//
// Between records the archive is positioned at the next signature. An abort
// anywhere below comes back to RunPass, which closes the open output file
// (what was written of it stays) and returns the jump code.
#include "extract/scanner.h"

#include "archive/aes.h"
#include "archive/password.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/volumes.h"
#include "extract/extract.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/text.h"
#include "platform/window.h"
#include "base/abort.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/run_facts.h"
#include "base/settings.h"

ScannerState g_scanner;

void ResetScanner() { g_scanner.passRunning = false; }

namespace {

const uint32_t kCentralHeaderSize = 42;
const uint32_t kEndRecordSize = 18;
const uint32_t kDescriptorSize = 16;  // signature, CRC-32, both sizes

int IsSignature(const uint8_t* bytes, SignatureIndex which) {
  return CompareBytes(bytes, g_signatures[which], 4) == 0 ? 1 : 0;
}

void ReadEntryName(uint32_t length) {
  if (length > kMaxNameLength) FatalError(MessageText(kMessageNameTooLong));
  ReadExact(length, g_entry.nameBuffer);
}

// The name in UTF-8, as everything after the scanner takes it: a flagged one
// stays as stored, and the name check refuses it when it is not valid UTF-8.
// An unflagged one is converted from the code page it was written in: the
// OEM code page, where DOS and Windows zip tools write names, when our
// builder says so; otherwise the ANSI code page, so that a file from another
// builder that extracted before keeps its names.
void TakeNameAsUtf8() {
  if ((g_entry.localHeader.flags & kEntryFlagUtf8) != 0) return;
  char stored[kMaxNameLength + 1];
  CopyText(stored, g_entry.nameBuffer, sizeof stored);
  if ((g_settings.flags & kFlagOemNames) != 0) {
    SysOemToUtf8(stored, g_entry.nameBuffer, kNameBufferSize);
  } else {
    SysAnsiToUtf8(stored, g_entry.nameBuffer, kNameBufferSize);
  }
}

void HandleFolderEntry(const char* outputPath) {
  CreateFolders(outputPath);
  // A folder entry's data is skipped only when it claims no content: one that
  // claims some keeps its data, and the next signature is read there.
  if (g_entry.localHeader.uncompressedSize == 0 && g_entry.localHeader.compressedSize > 0) {
    SkipArchiveBytes(g_entry.localHeader.compressedSize);
  }
}

void HandleFileEntry(const char* outputPath) {
  CreateFolders(outputPath);
  if (!ConfirmOverwrite(outputPath)) {
    SkipArchiveBytes(g_archiveInput.remainingCompressed);
    return;
  }
  if (g_entry.encryptionFlag && !CheckPassword()) {
    FatalErrorWithExitCode(kExitPassword,
                           MessageText(StoredPassword() != nullptr ? kMessageWrongPassword : kMessageNoPassword));
  }
  ExtractEntry(outputPath);
}

}  // namespace

void ReadLocalEntry() {
  ReadArchivePart(&g_entry.localHeader, sizeof(g_entry.localHeader), kReadErrorLocalHeader,
                  kReadErrorLocalHeaderSpanned);
  TakeEntryFlags();
  g_archiveInput.remainingCompressed = g_entry.localHeader.compressedSize;
  ReadEntryName(g_entry.localHeader.nameLength);
  TakeNameAsUtf8();
  ReadEntryExtraField(g_entry.localHeader.extraLength);
  // The one place an entry's output path is made, before anything of the
  // entry is created; what creates or names the entry gets it from here.
  char outputPath[kPathBufferSize];
  bool isFolder = ResolveOutputPath(g_entry.nameBuffer, outputPath);
  ShowCurrentEntry(outputPath);
  if (isFolder) {
    HandleFolderEntry(outputPath);
  } else {
    HandleFileEntry(outputPath);
  }
  if (g_entry.dataDescriptorFlag) SkipArchiveBytes(kDescriptorSize);
}

void SkipCentralEntry() {
  uint8_t record[kCentralHeaderSize];
  if (SysRead(g_archiveInput.handle, record, kCentralHeaderSize) != static_cast<int32_t>(kCentralHeaderSize)) {
    ReadError(kReadErrorCentralHeader);
  }
  ReadEntryName(ReadLe16(record + 24));
  SkipArchiveBytes(ReadLe16(record + 26));  // extra field
  SkipArchiveBytes(ReadLe16(record + 28));  // file comment
}

void ReadEndRecord() {
  uint8_t record[kEndRecordSize];
  if (SysRead(g_archiveInput.handle, record, kEndRecordSize) != static_cast<int32_t>(kEndRecordSize)) {
    ReadError(kReadErrorEndRecord);
  }
  SkipArchiveBytes(ReadLe16(record + 16));  // comment
}

void ScanArchive() {
  for (;;) {
    uint8_t signature[4];
    ReadArchivePart(signature, 4, kReadErrorSignature, kReadErrorSignatureSpanned);
    if (IsSignature(signature, kSignatureLocal)) {
      ReadLocalEntry();
    } else if (IsSignature(signature, kSignatureSpan)) {
      if (!g_spannedFlag) FatalError(MessageText(kMessageInvalidHeader));
    } else if (IsSignature(signature, kSignatureCentral)) {
      if (g_spannedFlag) return;  // a spanned set's directory is on the last disk
      SkipCentralEntry();
    } else if (IsSignature(signature, kSignatureEnd)) {
      ReadEndRecord();
      return;
    } else if (IsSignature(signature, kSignatureSingleSpan)) {
      // a marker some writers put in front of a single-volume archive
    } else if (!g_spannedFlag) {
      FatalError(MessageText(kMessageInvalidHeader));
    }
  }
}

int RunPass() {
  g_scanner.passRunning = true;
  BeginPassFolders();
  int code = ARM_ABORT_POINT();
  SysShowBusyCursor(1);
  if (code == kJumpCompleted) {
    int startsAtArchiveOffset = 1;
    if (g_spannedFlag) {
      SwitchVolume(1, g_exeVolumesFlag);
      startsAtArchiveOffset = g_exeVolumesFlag;  // ".ZIP" volumes hold the archive from offset 0
    }
    if (startsAtArchiveOffset != 0) {
      uint32_t offset = g_settings.archiveOffset;
      if (offset > 0x7FFFFFFF ||
          SysSeek(g_archiveInput.handle, static_cast<int32_t>(offset), kSeekBegin) != static_cast<int32_t>(offset)) {
        FatalErrorWithExitCode(kExitReadWrite, MessageText(kMessageIoError));
      }
    }
    ScanArchive();
  } else if (g_outputSink.file != 0 && g_aesEntry.active) {
    // An AES entry's file still open was never vouched for by its code (cut
    // short, or refused by it): nothing of it stays.
    DiscardOutputFile();
  } else if (g_outputSink.file != 0) {
    SysClose(g_outputSink.file);
    g_outputSink.file = 0;
  }
  EndPassFolders();
  SysShowBusyCursor(0);
  g_scanner.passRunning = false;
  return code;
}
