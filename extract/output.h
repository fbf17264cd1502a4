// The output sink: every extracted byte goes from the decoder's window (or,
// for a stored entry, from the input buffer) straight to the file, a block
// at a time (progress, CRC, write, and now and then the message pump).
#pragma once

#include "paths/path_routines.h"
#include "platform/types.h"

const uint32_t kMeterStep = 65536;

// The message pump, where a click becomes a cancel, runs after a write once
// this much output or this much time (milliseconds) has passed since it last
// ran, whichever comes first. A click waits at most the interval and one
// write: at 10 MB/s the interval comes before the volume (1 MiB is 100 ms
// there), and on a fast disk a MiB goes by in a few milliseconds. Each run is
// a round trip to the window system (to the Wine server under Wine): every
// quarter MiB, it cost a fifteenth of a fast extraction there.
const int32_t kPumpVolume = 1024 * 1024;
const uint32_t kPumpInterval = 50;

// --- Process-wide state of the output sink (ResetOutputSink puts it back) ---
struct OutputSinkState {
  FileHandle file;              // file being written; 0 between entries
  char path[kPathBufferSize];   // the file's path, which a write error names
  uint32_t bytesDone;           // output of this pass so far
  uint32_t lastMeterMark;       // the last multiple of kMeterStep bytesDone passed
  int32_t pumpCountdown;        // output still to come before the pump is due
  uint32_t lastPumpTick;        // SysTickCount when the pump last ran
  uint32_t fileCounter;         // files written in this pass
  // What the file being written may still take: the size its header
  // declares, less what was written. Unbounded for a stream of unknown size.
  uint32_t fileRoom;
  bool fileRoomBounded;
};
extern OutputSinkState g_outputSink;

// Closes an open output file and clears the sink and the pass counters.
void ResetOutputSink();

// Creates the file at `path` as the output file (afresh, never through a
// link below the target folder: see CreateOutputFileBelowTarget) and keeps
// the path for a write error's message.
void CreateOutputFile(const char* path);

// Closes the output file and removes it: for a file whose content could
// not be vouched for.
void DiscardOutputFile();

// Starts a file's output (the output file itself is created apart):
// the running CRC at its start, and the room the file has. A file that would
// grow past its declared size gets one byte more, so that the damage shows,
// and the pass stops with kMessageDamaged.
void BeginFileOutput(uint32_t declaredSize);
void BeginUnboundedFileOutput();

// True when the file written so far has exactly its declared size.
bool FileHasDeclaredSize();

// Writes `count` bytes to the output file: counts them, moves the meter at
// each 64 KiB mark they pass, advances the CRC, writes them as one block
// (kMessageWriteError when the write fails) and runs the message pump when
// it is due.
void WriteOutput(const uint8_t* bytes, uint32_t count);

// (bytesDone * 100) / totalSize in 64 bits, cut to 16 bits; 0 when the total is 0.
uint32_t MeterPercent(uint32_t bytesDone, uint32_t totalSize);
