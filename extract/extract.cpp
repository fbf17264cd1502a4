#include "extract/extract.h"

#include "archive/aes.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/crc32.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "platform/bytes.h"
#include "base/work_memory.h"
#include "platform/files.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/progress.h"

namespace {

const uint16_t kMethodStored = 0;
const uint16_t kMethodDeflated = 8;

// A stored entry's bytes go to the file as each refill brings them.
void CopyStored() {
  int32_t got;
  while ((got = RefillInput()) > 0) WriteOutput(g_inputBuffer, static_cast<uint32_t>(got));
}

int32_t RefillFromArchive(InflateIo* io) {
  io->input = g_inputBuffer;
  return RefillInput();
}

// The window goes to the file as it fills; a stream that ends on a full
// window has nothing left for the end.
void WriteWindow(InflateIo*, const uint8_t* bytes, uint32_t count) {
  if (count != 0) WriteOutput(bytes, count);
}

}  // namespace

uint16_t ClampDosTime(uint16_t dosTime) {
  uint32_t halfSeconds = dosTime & 0x1F;
  uint32_t minutes = (dosTime >> 5) & 0x3F;
  uint32_t hours = dosTime >> 11;
  if (halfSeconds > 29) halfSeconds = 29;
  if (minutes > 59) minutes = 59;
  if (hours > 23) hours = 23;
  return static_cast<uint16_t>(halfSeconds | (minutes << 5) | (hours << 11));
}

uint16_t ClampDosDate(uint16_t dosDate) {
  uint32_t day = dosDate & 0x1F;
  uint32_t month = (dosDate >> 5) & 0xF;
  uint32_t year = dosDate >> 9;
  if (day == 0) day = 1;
  if (month == 0) month = 1;
  if (month > 12) month = 12;
  return static_cast<uint16_t>(day | (month << 5) | (year << 9));
}

void SetOutputFileTime() {
  SysSetFileDosTime(g_outputSink.file, ClampDosDate(g_entry.localHeader.modDate),
                    ClampDosTime(g_entry.localHeader.modTime));
}

InflateIo EntryInflateIo() { return InflateIo{nullptr, 0, RefillFromArchive, WriteWindow, nullptr}; }

void ExtractEntry(const char* path) {
  BeginFileOutput(g_entry.localHeader.uncompressedSize);
  CreateOutputFile(path);

  uint16_t method = g_aesEntry.active ? g_aesEntry.field.method : g_entry.localHeader.method;
  int result = kInflateOk;
  if (g_archiveInput.remainingCompressed > 0) {
    if (method == kMethodStored) {
      ShowUnzipping(path);
      CopyStored();
    } else if (method == kMethodDeflated) {
      ShowUnzipping(path);
      InflateIo io = EntryInflateIo();
      result = Inflate(&io);
    } else {
      FatalError(MessageText(kMessageUnsupportedMethod));
    }
  }

  // An AES entry's file stays only when its code vouches for every byte: a
  // changed byte or a forged code stops the pass while the file is still
  // open, and the pass removes it (see RunPass).
  if (g_aesEntry.active && !(AesEntryAuthentic() && result == kInflateOk && FileHasDeclaredSize())) {
    FatalError(MessageText(kMessageDamaged));
  }

  ++g_outputSink.fileCounter;  // counted before the check: a damaged file was still written
  SetOutputFileTime();
  SysClose(g_outputSink.file);
  uint32_t crc = 0xFFFFFFFF - g_crc.running;
  g_crc.running = crc;
  g_outputSink.file = 0;
  // What was written stays, as with every failure of a pass.
  if (result != kInflateOk || !FileHasDeclaredSize()) FatalError(MessageText(kMessageDamaged));
  // AE-2 stores no CRC: the code has vouched for the data.
  bool crcStored = !g_aesEntry.active || g_aesEntry.field.version == 1;
  if (crcStored && crc != g_entry.localHeader.crc32) {
    SysFormat(g_formatBuffer, MessageText(kMessageBadCrc), path, crc, g_entry.localHeader.crc32);
    FatalError(g_formatBuffer);
  }
}
