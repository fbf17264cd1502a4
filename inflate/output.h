// The output sink: the 2048-byte output buffer and its flush, through which
// every extracted byte passes (progress, CRC, write, message pump), and memory
// mode, in which the decoder's output lands in a caller's block instead.
#pragma once

#include "paths/path_routines.h"
#include "platform/types.h"

const uint32_t kMeterStep = 65536;

// --- Process-wide state of the output sink (ResetOutputSink puts it back) ---
extern uint8_t* g_outputCursor;       // next free byte
extern int32_t g_outputCount;         // bytes not yet flushed (0..2048)
extern FileHandle g_output;           // file being written; 0 between entries
extern char g_outputPath[kPathBufferSize];
extern bool g_outputMemoryMode;
extern uint32_t g_outputMemoryRoom;   // memory mode: bytes the destination can still take
extern uint8_t* g_outputMemoryStart;  // memory mode: where the destination begins
extern uint32_t g_bytesDone;          // flushed to files in this pass
extern uint32_t g_lastMeterMark;
extern uint32_t g_fileCounter;

// Closes an open output file and clears the sink and the pass counters.
void ResetOutputSink();

// Memory mode on, for the decoder's next stream: its output lands in
// `destination`, as far as `capacity` reaches. EndMemoryOutput turns it off
// and returns the number of bytes produced.
void BeginMemoryOutput(void* destination, uint32_t capacity);
uint32_t EndMemoryOutput();

// Appends the first `count` bytes of the decoder's window to the output.
void EmitWindow(uint16_t count);

// Empties the output buffer: progress, CRC, write. Returns 0.
void FlushOutput();

// Validates a write of g_outputCount bytes (kMessageWriteError) and pumps messages.
void CheckWrite(int32_t written);

// Writes what is left in the output buffer at the end of an entry.
void FlushLastOutput();

// (bytesDone * 100) / totalSize in 64 bits, cut to 16 bits; 0 when the total is 0.
uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize);
