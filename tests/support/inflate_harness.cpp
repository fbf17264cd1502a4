#include "tests/support/inflate_harness.h"

#include "archive/input.h"
#include "inflate/inflate.h"
#include "extract/output.h"

namespace {

const uint32_t kCanarySize = 64;
const uint8_t kCanary = 0xC5;

}  // namespace

// InflateToMemory, opened up: it resets the byte source when it returns, and
// the tests want to see where the decoder left it.
MemoryDecode DecodeInMemory(const std::vector<uint8_t>& block, uint32_t capacity) {
  std::vector<uint8_t> destination(capacity + kCanarySize, kCanary);
  BeginMemoryInput(block.data(), static_cast<uint32_t>(block.size()));
  BeginMemoryOutput(destination.data(), capacity);

  MemoryDecode decoded;
  decoded.result = Inflate();
  decoded.pulled = static_cast<uint32_t>(g_inputCursor - block.data());
  decoded.inputLeft = g_inputCount;
  decoded.output.assign(destination.data(), destination.data() + EndMemoryOutput());
  EndMemoryInput();
  for (uint32_t i = capacity; i < destination.size(); ++i) {
    if (destination[i] != kCanary) decoded.canaryIntact = false;
  }
  return decoded;
}
