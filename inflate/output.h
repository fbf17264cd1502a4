// The output sink: the 2048-byte output buffer and its flush, through which
// every extracted byte passes (progress, CRC, write, message pump), and memory
// mode, in which the decoder's output lands in a caller's block instead.
#pragma once

#include "platform/types.h"

const uint32_t kOutputBufferSize = 2048;
const uint32_t kOutputBufferAllocation = 2068;
const uint32_t kPathBufferSize = 264;
const uint32_t kMeterStep = 65536;
const int kMeterControl = 201;
const uint32_t kMeterSetPosition = 0x402;

extern uint8_t* g_outputBuffer;       // kOutputBufferAllocation bytes, from start-up
extern uint8_t* g_outputCursor;       // next free byte
extern int32_t g_outputCount;         // bytes not yet flushed (0..2048)
extern FileHandle g_output;           // file being written; 0 between entries
extern char g_outputPath[kPathBufferSize];
extern int g_outputMemoryMode;
extern uint32_t g_outputMemoryRoom;   // memory mode: bytes the destination can still take
extern uint32_t g_bytesDone;          // flushed to files in this pass
extern uint32_t g_lastMeterMark;
extern uint32_t g_fileCounter;
extern int g_meterShown;

// Appends the first `count` bytes of the decoder's window to the output.
void EmitWindow(uint16_t count);

// Empties the output buffer: progress, CRC, write. Returns 0.
int FlushOutput();

// Validates a write of g_outputCount bytes (message 35) and pumps messages.
void CheckWrite(int32_t written);

// Writes what is left in the output buffer at the end of an entry.
void FlushLastOutput();

// (bytesDone * 100) / totalSize in 64 bits, cut to 16 bits; 0 when the total is 0.
uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize);

// Decodes the raw DEFLATE block `source` into `destination` in memory mode,
// never writing more than `capacity` bytes. Returns the decoder's result and
// the number of bytes produced.
int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced);
