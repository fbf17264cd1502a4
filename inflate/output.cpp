// The output sink. Every byte of a pass goes through the 2048-byte output
// buffer; each flush counts the bytes, moves the meter every 64 KiB, advances
// the CRC, writes the buffer and lets the message pump run, which is where
// the user can cancel. In memory mode the decoder's output lands in a
// caller's block instead: nothing is counted, checked, written or pumped.
#include "inflate/output.h"

#include "inflate/crc32.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/format.h"
#include "stub/abort.h"
#include "stub/messages.h"
#include "stub/progress.h"
#include "stub/work_memory.h"

uint8_t* g_outputCursor;
int32_t g_outputCount;
FileHandle g_output;
char g_outputPath[kPathBufferSize];
bool g_outputMemoryMode;
uint32_t g_outputMemoryRoom;
uint8_t* g_outputMemoryStart;
uint32_t g_bytesDone;
uint32_t g_lastMeterMark;
uint32_t g_fileCounter;
uint32_t g_fileRoom;
bool g_fileRoomBounded;

namespace {

// Memory mode: the bytes go straight to the destination, as far as it reaches.
void EmitToMemory(const uint8_t* source, uint32_t count) {
  if (count > g_outputMemoryRoom) count = g_outputMemoryRoom;
  CopyBytes(g_outputCursor, source, count);
  g_outputCursor += count;
  g_outputMemoryRoom -= count;
}

// Writes the buffer's bytes to the output file, as far as the file's room
// goes, then lets the user interface run.
void WriteBuffer() {
  uint32_t count = static_cast<uint32_t>(g_outputCount);
  bool overrun = g_fileRoomBounded && count > g_fileRoom;
  if (overrun) count = g_fileRoom + 1;  // one byte past the declared size, no more
  UpdateCrc(g_outputBuffer, count);
  int32_t written = SysWrite(g_output, g_outputBuffer, count);
  if (written != static_cast<int32_t>(count)) {
    SysFormat(g_formatBuffer, MessageText(kMessageWriteError), g_outputPath);
    FatalError(g_formatBuffer);
  }
  if (overrun) FatalError(MessageText(kMessageDamaged));
  g_fileRoom -= count;
  if (PassCancelRequested()) AbortPass();
}

}  // namespace

void BeginFileOutput(uint32_t declaredSize) {
  g_runningCrc = 0xFFFFFFFF;
  g_outputCursor = g_outputBuffer;
  g_outputCount = 0;
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

void EmitWindow(uint16_t count) {
  const uint8_t* source = g_window;
  if (g_outputMemoryMode) {
    EmitToMemory(source, count);
    return;
  }
  uint32_t left = count;
  while (left != 0) {
    uint32_t chunk = kOutputBufferSize - static_cast<uint32_t>(g_outputCount);
    if (chunk > left) chunk = left;
    CopyBytes(g_outputCursor, source, chunk);
    g_outputCursor += chunk;
    g_outputCount += static_cast<int32_t>(chunk);
    if (g_outputCount == static_cast<int32_t>(kOutputBufferSize)) FlushOutput();
    left -= chunk;
    source += chunk;
  }
}

void FlushOutput() {
  if (g_outputMemoryMode) {
    g_outputCount = 0;
    return;
  }
  g_bytesDone += static_cast<uint32_t>(g_outputCount);
  if (g_bytesDone >= g_lastMeterMark + kMeterStep) {
    g_lastMeterMark = g_bytesDone;
    ShowMeterStep(g_bytesDone);
  }
  WriteBuffer();
  g_outputCursor = g_outputBuffer;
  g_outputCount = 0;
}

void FlushLastOutput() {
  if (g_outputCount <= 0) return;
  WriteBuffer();
}

void BeginMemoryOutput(void* destination, uint32_t capacity) {
  g_outputMemoryStart = static_cast<uint8_t*>(destination);
  g_outputCursor = g_outputMemoryStart;
  g_outputCount = 0;
  g_outputMemoryRoom = capacity;
  g_outputMemoryMode = true;
}

uint32_t EndMemoryOutput() {
  uint32_t produced = static_cast<uint32_t>(g_outputCursor - g_outputMemoryStart);
  g_outputMemoryMode = false;
  g_outputCursor = nullptr;
  g_outputMemoryStart = nullptr;
  g_outputMemoryRoom = 0;
  return produced;
}

void ResetOutputSink() {
  if (g_output > 0) SysClose(g_output);
  g_output = 0;
  g_outputCursor = nullptr;
  g_outputCount = 0;
  FillBytes(g_outputPath, 0, sizeof(g_outputPath));
  g_outputMemoryMode = false;
  g_outputMemoryStart = nullptr;
  g_outputMemoryRoom = 0;
  g_bytesDone = 0;
  g_lastMeterMark = 0;
  g_fileCounter = 0;
  g_fileRoom = 0;
  g_fileRoomBounded = false;
}
