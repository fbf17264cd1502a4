// The output sink. Every byte of a pass goes through the 2048-byte output
// buffer; each flush counts the bytes, moves the meter every 64 KiB, advances
// the CRC, writes the buffer and lets the message pump run, which is where
// the user can cancel. In memory mode the decoder's output lands in a
// caller's block instead: nothing is counted, checked, written or pumped.
#include "inflate/output.h"

#include "archive/input.h"
#include "inflate/crc32.h"
#include "inflate/inflate.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "platform/format.h"
#include "platform/window.h"
#include "stub/abort.h"
#include "stub/message_numbers.h"
#include "stub/resources.h"
#include "stub/settings.h"
#include "ui/pump.h"

uint8_t* g_outputBuffer;
uint8_t* g_outputCursor;
int32_t g_outputCount;
FileHandle g_output;
char g_outputPath[kPathBufferSize];
int g_outputMemoryMode;
uint32_t g_outputMemoryRoom;
uint32_t g_bytesDone;
uint32_t g_lastMeterMark;
uint32_t g_fileCounter;
int g_meterShown;

namespace {

void UpdateMeter() {
  g_lastMeterMark = g_bytesDone;
  if (g_meterShown != 0) {
    SysSendDlgItemMessage(g_mainDialog, kMeterControl, kMeterSetPosition,
                          MeterPercent(g_bytesDone, g_settings.totalSize), 0);
  }
  SysInvalidateControl(g_mainDialog, kMeterControl);
  SysUpdateWindow(g_mainDialog);
}

// Memory mode: the bytes go straight to the destination, as far as it reaches.
void EmitToMemory(const uint8_t* source, uint32_t count) {
  if (count > g_outputMemoryRoom) count = g_outputMemoryRoom;
  CopyBytes(g_outputCursor, source, count);
  g_outputCursor += count;
  g_outputMemoryRoom -= count;
}

}  // namespace

uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize) {
  if (totalSize == 0) return 0;  // no total to measure against
  uint64_t percent = static_cast<uint64_t>(bytesDone) * 100 / totalSize;
  return static_cast<uint32_t>(percent & 0xFFFF);
}

void EmitWindow(uint16_t count) {
  const uint8_t* source = g_window;
  if (g_outputMemoryMode != 0) {
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

int FlushOutput() {
  if (g_outputMemoryMode != 0) {
    g_outputCount = 0;
    return 0;
  }
  g_bytesDone += static_cast<uint32_t>(g_outputCount);
  if (g_bytesDone >= g_lastMeterMark + kMeterStep) UpdateMeter();
  UpdateCrc(g_outputBuffer, static_cast<uint32_t>(g_outputCount));
  CheckWrite(SysWrite(g_output, g_outputBuffer, static_cast<uint32_t>(g_outputCount)));
  g_outputCursor = g_outputBuffer;
  g_outputCount = 0;
  return 0;
}

void CheckWrite(int32_t written) {
  if (written == -1 || written != g_outputCount) {
    SysFormat(g_formatBuffer, MessageText(kMessageWriteError), g_outputPath);
    FatalError(g_formatBuffer);
  }
  if (PumpMessages() != 0) AbortPass();
}

void FlushLastOutput() {
  if (g_outputCount <= 0) return;
  UpdateCrc(g_outputBuffer, static_cast<uint32_t>(g_outputCount));
  CheckWrite(SysWrite(g_output, g_outputBuffer, static_cast<uint32_t>(g_outputCount)));
}

int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced) {
  BeginMemoryInput(source, sourceLength);
  uint8_t* start = static_cast<uint8_t*>(destination);
  g_outputCursor = start;
  g_outputCount = 0;
  g_outputMemoryRoom = capacity;
  g_outputMemoryMode = 1;
  int result = Inflate();
  g_outputMemoryMode = 0;
  *produced = static_cast<uint32_t>(g_outputCursor - start);
  g_outputCursor = nullptr;
  g_outputMemoryRoom = 0;
  EndMemoryInput();
  return result;
}
