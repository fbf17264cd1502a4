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
// What the file being written may still take: the size its header declares,
// less what was written. Unbounded for a stream of unknown size.
extern uint32_t g_fileRoom;
extern bool g_fileRoomBounded;

// Closes an open output file and clears the sink and the pass counters.
void ResetOutputSink();

// Memory mode on, for the decoder's next stream: its output lands in
// `destination`, as far as `capacity` reaches. EndMemoryOutput turns it off
// and returns the number of bytes produced.
void BeginMemoryOutput(void* destination, uint32_t capacity);
uint32_t EndMemoryOutput();

// Starts a file's output (the output file itself is opened by the caller):
// an empty buffer, the running CRC at its start, and the room the file has.
// A file that would grow past its declared size gets one byte more, so that
// the damage shows, and the pass stops with kMessageDamaged.
void BeginFileOutput(uint32_t declaredSize);
void BeginUnboundedFileOutput();

// True when the file written so far has exactly its declared size.
bool FileHasDeclaredSize();

// Appends the first `count` bytes of the decoder's window to the output.
void EmitWindow(uint16_t count);

// Empties the output buffer: progress, CRC, write, and a look at the queue
// of window messages (kMessageWriteError when the write fails).
void FlushOutput();

// Writes what is left in the output buffer at the end of an entry.
void FlushLastOutput();

// (bytesDone * 100) / totalSize in 64 bits, cut to 16 bits; 0 when the total is 0.
uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize);
