#include "tests/support/inflate_harness.h"

#include "inflate/inflate.h"

namespace {

const uint32_t kCanarySize = 64;
const uint8_t kCanary = 0xC5;

}  // namespace

// InflateToMemory, opened up: the tests want to see where the decoder left
// the input.
MemoryDecode DecodeInMemory(const std::vector<uint8_t>& block, uint32_t capacity) {
  std::vector<uint8_t> destination(capacity + kCanarySize, kCanary);
  MemoryDestination memory = {destination.data(), capacity};
  InflateIo io = MemoryInflateIo(block.data(), static_cast<uint32_t>(block.size()), &memory);

  MemoryDecode decoded;
  decoded.result = Inflate(&io);
  decoded.pulled = static_cast<uint32_t>(io.input - block.data());
  decoded.inputLeft = io.inputCount;
  decoded.output.assign(destination.data(), memory.cursor);
  for (uint32_t i = capacity; i < destination.size(); ++i) {
    if (destination[i] != kCanary) decoded.canaryIntact = false;
  }
  return decoded;
}
