// The DEFLATE decoder (RFC 1951). It knows neither the archive nor the
// output file: the caller hands it an InflateIo, whose input it reads and
// whose output call takes its 32 KiB circular window each time the window
// is full and once more at the end of the stream.
#pragma once

#include "platform/types.h"

// Results of Inflate and its block routines.
const int kInflateOk = 0;
const int kInflateBadData = 1;     // invalid code, bad stored length, incomplete code, truncated stream
const int kInflateBadBlock = 2;    // block type 3, over-subscribed code

// Where a stream comes from and where its output goes, filled in by the
// caller. The decoder reads input[0..inputCount) and advances the two as it
// takes bytes, so that when it returns they stand just behind the last byte
// of the stream it took (the rest of the input is not the stream's). The two
// calls get the InflateIo they were given with, and through it `owner`.
struct InflateIo {
  const uint8_t* input;  // the next input byte
  int32_t inputCount;    // input bytes at it
  // More input, once the bytes at `input` are used up: points `input` at the
  // next bytes and returns their count; 0 at the end of the input.
  int32_t (*refillInput)(InflateIo* io);
  // Takes bytes[0..count) of the window (count is 0 for a stream that ends
  // on a full window). The bytes are overwritten once the call returns.
  void (*takeOutput)(InflateIo* io, const uint8_t* bytes, uint32_t count);
  void* owner;  // the caller's own, for the two calls
};

// Decodes one whole stream from io's input into io's output, through the
// window of the work memory (base/work_memory.h). What the window held
// before stays there as the history that distances before the stream's start
// read. An abort (a fatal error of a call, no memory for a decode table) may
// leave the decoder anywhere: the next stream, or ResetInflate, cleans up.
int Inflate(InflateIo* io);

// A block of memory that takes a stream's output: where the next byte goes
// and how many more fit. What does not fit is dropped.
struct MemoryDestination {
  uint8_t* cursor;
  uint32_t room;
};

// The InflateIo of a stream held whole in source[0..sourceLength), whose
// output goes to *destination.
InflateIo MemoryInflateIo(const void* source, uint32_t sourceLength, MemoryDestination* destination);

// Decodes the raw DEFLATE block `source` into `destination`, never writing
// more than `capacity` bytes. Returns the decoder's result and the number of
// bytes produced.
int InflateToMemory(const void* source, uint32_t sourceLength, void* destination, uint32_t capacity,
                    uint32_t* produced);

// Frees the decode tables of a block that an abort left half decoded and
// clears the decoder's state (the next stream and shutdown call it).
void ResetInflate();
