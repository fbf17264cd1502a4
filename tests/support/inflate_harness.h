// Runs the decoder over a block in memory, the way the stub unpacks its
// embedded resources, and reports what it produced and how much of the
// block it pulled.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct MemoryDecode {
  int result = -1;
  std::vector<uint8_t> output;  // what reached the destination
  uint32_t pulled = 0;          // bytes of the block taken from the byte source
  int32_t inputLeft = 0;        // the byte source's count when the decoder returned
  bool canaryIntact = true;     // nothing was written behind the destination's capacity
};

// Decodes `block` (the stream, possibly followed by bytes that are not part
// of it) into a destination of `capacity` bytes with guard bytes behind it.
MemoryDecode DecodeInMemory(const std::vector<uint8_t>& block, uint32_t capacity);
