// Unpacking the stub's messages and dialog templates. The streams were made
// at build time and the image's CRC check covers them, but that check can be
// switched off: a damaged stream must still never write past its block, nor
// leave a half-unpacked table behind whose template the dialog manager would
// then read. So every unpacking is bounded by its block and must produce
// exactly the length the generator recorded.
#include "ui/resources.h"

#include "inflate/inflate.h"
#include "platform/memory.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/resource_data.h"

namespace {

// The last two bytes of the string table block. The decoder's output stops
// short of them; they stay as a check that nothing else reached that far.
const uint32_t kGuardOffset = kStringTableBlockSize - kGuardByteCount;
const uint8_t kGuardFirst = 0xDE;
const uint8_t kGuardSecond = 0xAD;

// The string table block while it is being unpacked. Not a local: the decoder
// ends in FatalError when a decode table finds no memory, the abort path
// frees nothing, and the block must still be found afterwards.
uint8_t* g_unpackingBlock;

// 1 when `packed` unpacked into `block` (at most `capacity` bytes) to
// exactly `expected` bytes.
int UnpackExactly(const uint8_t* packed, uint32_t packedLength, uint8_t* block, uint32_t capacity,
                  uint32_t expected) {
  uint32_t produced = 0;
  int result = InflateToMemory(packed, packedLength, block, capacity, &produced);
  return result == kInflateOk && produced == expected ? 1 : 0;
}

// Frees the block first: the abort path frees nothing, and there is no reason
// to keep a damaged table.
[[noreturn]] void FailUnpacking(uint8_t* block) {
  SysFree(block);
  FatalHeaderCorrupt();
}

}  // namespace

void LoadResources() { LoadStringTable(kPackedStringTable, kPackedStringTableLength); }

void LoadStringTable(const uint8_t* packed, uint32_t packedLength) {
  uint8_t* block = static_cast<uint8_t*>(SysAlloc(kStringTableBlockSize));
  if (block == nullptr) FatalHeaderCorrupt();
  g_unpackingBlock = block;
  block[kGuardOffset] = kGuardFirst;
  block[kGuardOffset + 1] = kGuardSecond;
  int exact = UnpackExactly(packed, packedLength, block, kGuardOffset, kStringTableLength);
  g_unpackingBlock = nullptr;
  if (exact == 0 || block[kGuardOffset] != kGuardFirst || block[kGuardOffset + 1] != kGuardSecond) {
    FailUnpacking(block);
  }
  FreeResources();
  g_stringTableBlock = reinterpret_cast<char*>(block);
}

void ResetResources() {
  SysFree(g_unpackingBlock);
  g_unpackingBlock = nullptr;
}

uint8_t* UnpackPasswordTemplate() {
  uint8_t* block = static_cast<uint8_t*>(SysAlloc(kPasswordTemplateBlockSize));
  if (block == nullptr) return nullptr;
  if (UnpackExactly(kPackedPasswordTemplate, kPackedPasswordTemplateLength, block,
                    kPasswordTemplateBlockSize, kPasswordTemplateLength) == 0) {
    FailUnpacking(block);
  }
  return block;
}
