// The output sink. Every byte of a pass is written as it leaves the
// decoder's window, 32 KiB at a time (a stored entry's bytes as they arrive
// in the input buffer): each block is counted, moves the meter at the 64 KiB
// marks it passes, advances the CRC and is written; the message pump, which
// is where the user can cancel, runs when enough output or time has passed.
#include "extract/output.h"

#include "archive/crc32.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/system.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/progress.h"

FileHandle g_output;
char g_outputPath[kPathBufferSize];
uint32_t g_bytesDone;
uint32_t g_lastMeterMark;
int32_t g_pumpCountdown;
uint32_t g_lastPumpTick;
uint32_t g_fileCounter;
uint32_t g_fileRoom;
bool g_fileRoomBounded;

namespace {

// Lets the user interface run once enough output or time has passed since
// it last did.
void PumpWhenDue(uint32_t written) {
  g_pumpCountdown -= static_cast<int32_t>(written);
  uint32_t now = SysTickCount();
  if (g_pumpCountdown > 0 && now - g_lastPumpTick < kPumpInterval) return;
  g_pumpCountdown = kPumpVolume;
  g_lastPumpTick = now;
  if (PassCancelRequested()) AbortPass();
}

}  // namespace

void WriteOutput(const uint8_t* bytes, uint32_t count) {
  g_bytesDone += count;
  while (g_bytesDone - g_lastMeterMark >= kMeterStep) {
    g_lastMeterMark += kMeterStep;
    ShowMeterStep(g_lastMeterMark);
  }
  bool overrun = g_fileRoomBounded && count > g_fileRoom;
  if (overrun) count = g_fileRoom + 1;  // one byte past the declared size, no more
  UpdateCrc(bytes, count);
  int32_t written = SysWrite(g_output, bytes, count);
  if (written != static_cast<int32_t>(count)) {
    SysFormat(g_formatBuffer, MessageText(kMessageWriteError), g_outputPath);
    FatalError(g_formatBuffer);
  }
  if (overrun) FatalError(MessageText(kMessageDamaged));
  g_fileRoom -= count;
  PumpWhenDue(count);
}

void CreateOutputFile(const char* path) {
  g_output = SysCreate(path);
  if (g_output == kFileError) {
    g_output = 0;
    SysFormat(g_formatBuffer, MessageText(kMessageCannotCreate), path);
    FatalError(g_formatBuffer);
  }
  CopyText(g_outputPath, path, kPathBufferSize);
}

void BeginFileOutput(uint32_t declaredSize) {
  g_crc.running = 0xFFFFFFFF;
  g_fileRoom = declaredSize;
  g_fileRoomBounded = true;
}

void BeginUnboundedFileOutput() {
  BeginFileOutput(0);
  g_fileRoomBounded = false;
}

bool FileHasDeclaredSize() { return !g_fileRoomBounded || g_fileRoom == 0; }

uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize) {
  if (totalSize == 0) return 0;  // no total to measure against
  uint64_t percent = static_cast<uint64_t>(bytesDone) * 100 / totalSize;
  return static_cast<uint32_t>(percent & 0xFFFF);
}

void ResetOutputSink() {
  if (g_output > 0) SysClose(g_output);
  g_output = 0;
  FillBytes(g_outputPath, 0, sizeof(g_outputPath));
  g_bytesDone = 0;
  g_lastMeterMark = 0;
  g_pumpCountdown = 0;
  g_lastPumpTick = 0;
  g_fileCounter = 0;
  g_fileRoom = 0;
  g_fileRoomBounded = false;
}
