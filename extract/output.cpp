// The output sink. Every byte of a pass is written as it leaves the
// decoder's window, 32 KiB at a time (a stored entry's bytes as they arrive
// in the input buffer): each block is counted, moves the meter at the 64 KiB
// marks it passes, advances the CRC and is written; the message pump, which
// is where the user can cancel, runs when enough output or time has passed.
#include "extract/output.h"

#include "archive/crc32.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/system.h"
#include "base/abort.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "base/progress.h"

OutputSinkState g_outputSink;

void ResetOutputSink() {
  if (g_outputSink.file > 0) SysClose(g_outputSink.file);
  g_outputSink.file = 0;
  FillBytes(g_outputSink.path, 0, sizeof(g_outputSink.path));
  g_outputSink.bytesDone = 0;
  g_outputSink.lastMeterMark = 0;
  g_outputSink.pumpCountdown = 0;
  g_outputSink.lastPumpTick = 0;
  g_outputSink.fileCounter = 0;
  g_outputSink.fileRoom = 0;
  g_outputSink.fileRoomBounded = false;
}

namespace {

// Lets the user interface run once enough output or time has passed since
// it last did.
void PumpWhenDue(uint32_t written) {
  g_outputSink.pumpCountdown -= static_cast<int32_t>(written);
  uint32_t now = SysTickCount();
  if (g_outputSink.pumpCountdown > 0 && now - g_outputSink.lastPumpTick < kPumpInterval) return;
  g_outputSink.pumpCountdown = kPumpVolume;
  g_outputSink.lastPumpTick = now;
  if (PassCancelRequested()) AbortPass();
}

}  // namespace

void WriteOutput(const uint8_t* bytes, uint32_t count) {
  g_outputSink.bytesDone += count;
  while (g_outputSink.bytesDone - g_outputSink.lastMeterMark >= kMeterStep) {
    g_outputSink.lastMeterMark += kMeterStep;
    ShowMeterStep(g_outputSink.lastMeterMark);
  }
  bool overrun = g_outputSink.fileRoomBounded && count > g_outputSink.fileRoom;
  if (overrun) count = g_outputSink.fileRoom + 1;  // one byte past the declared size, no more
  UpdateCrc(bytes, count);
  int32_t written = SysWrite(g_outputSink.file, bytes, count);
  if (written != static_cast<int32_t>(count)) {
    SysFormat(g_formatBuffer, MessageText(kMessageWriteError), g_outputSink.path);
    FatalErrorWithExitCode(kExitReadWrite, g_formatBuffer);
  }
  if (overrun) FatalError(MessageText(kMessageDamaged));
  g_outputSink.fileRoom -= count;
  PumpWhenDue(count);
}

void CreateOutputFile(const char* path) {
  g_outputSink.file = CreateOutputFileBelowTarget(path);
  CopyText(g_outputSink.path, path, kPathBufferSize);
}

void DiscardOutputFile() {
  if (g_outputSink.file > 0) SysClose(g_outputSink.file);
  g_outputSink.file = 0;
  DeleteOutputFileBelowTarget(g_outputSink.path);
}

void BeginFileOutput(uint32_t declaredSize) {
  g_crc.running = 0xFFFFFFFF;
  g_outputSink.fileRoom = declaredSize;
  g_outputSink.fileRoomBounded = true;
}

void BeginUnboundedFileOutput() {
  BeginFileOutput(0);
  g_outputSink.fileRoomBounded = false;
}

bool FileHasDeclaredSize() { return !g_outputSink.fileRoomBounded || g_outputSink.fileRoom == 0; }

uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize) {
  if (totalSize == 0) return 0;  // no total to measure against
  uint64_t percent = static_cast<uint64_t>(bytesDone) * 100 / totalSize;
  return static_cast<uint32_t>(percent & 0xFFFF);
}
