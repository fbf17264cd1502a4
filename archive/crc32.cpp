// CRC-32, two ways. Where the processor multiplies without carries
// (PCLMULQDQ, with SSE2), UpdateCrc folds 16 bytes at a time: the running
// value stays a 128-bit number congruent to the data so far, and each step
// multiplies it by x^128 modulo the polynomial with two carry-less
// multiplications. That costs a small fraction of a table lookup per byte.
// Elsewhere, and for the last bytes of a range, it takes tables: besides the
// standard one (one entry per byte value, which the decryption keys read),
// seven derived tables take eight bytes per step. The tables are computed at
// start-up, so the stub stores no constants for them (they are 8 KiB of
// zeroed data).
#include "archive/crc32.h"

#include "platform/bytes.h"
#include "platform/carryless.h"

uint32_t g_crcTable[256];
uint32_t g_runningCrc;
bool g_crcFolds;

namespace {

const uint32_t kCrcPolynomial = 0xEDB88320;  // reflected
const int kSliceCount = 8;

// g_crcSlices[k][i]: the CRC remainder of byte i followed by k zero bytes;
// g_crcSlices[0] is g_crcTable.
uint32_t g_crcSlices[kSliceCount - 1][256];

inline uint32_t Slice(int k, uint32_t index) {
  return k == 0 ? g_crcTable[index] : g_crcSlices[k - 1][index];
}

inline uint32_t LoadLe32(const uint8_t* bytes) {
  uint32_t value;
  CopyBytes(&value, bytes, 4);  // x86 on both targets: little-endian, unaligned loads are fine
  return value;
}

// The folding step's multipliers, as the low and high 64-bit lanes of an
// SSE register: x^191 and x^127 modulo the polynomial, bit-reflected. A
// 128-bit value in the register stands for the polynomial whose x^127 term
// is bit 0; its first (low) lane is the higher part, times x^64. A carry-
// less product of two reflected 64-bit lanes comes out times x, hence 191 =
// 128 + 64 - 1 and 127 = 128 - 1.
uint64_t g_foldMultipliers[2];

// x^n modulo the polynomial, bit-reflected as the tables hold it (x^0 is bit 31).
uint32_t PowerOfXModulo(uint32_t n) {
  uint32_t value = 0x80000000;
  while (n-- > 0) value = (value & 1) != 0 ? (value >> 1) ^ kCrcPolynomial : value >> 1;
  return value;
}

// A 32-bit reflected remainder as a reflected 64-bit lane: x^j moves from
// bit 31 - j to bit 63 - j.
inline uint64_t AsLane(uint32_t remainder) { return static_cast<uint64_t>(remainder) << 32; }

// The table step over `count` bytes.
uint32_t UpdateByTables(uint32_t value, const uint8_t* bytes, uint32_t count) {
  while (count >= 8) {
    uint32_t low = LoadLe32(bytes) ^ value;
    uint32_t high = LoadLe32(bytes + 4);
    value = g_crcSlices[6][low & 0xFF] ^ g_crcSlices[5][(low >> 8) & 0xFF] ^
            g_crcSlices[4][(low >> 16) & 0xFF] ^ g_crcSlices[3][low >> 24] ^
            g_crcSlices[2][high & 0xFF] ^ g_crcSlices[1][(high >> 8) & 0xFF] ^
            g_crcSlices[0][(high >> 16) & 0xFF] ^ g_crcTable[high >> 24];
    bytes += 8;
    count -= 8;
  }
  while (count-- > 0) value = CrcStep(value, *bytes++);
  return value;
}

// The value after `blocks` 16-byte blocks. The running value goes into the
// first four bytes (the table step works the same way); the 128 bits left
// after the last fold stand for the data, and the table step over them from
// zero gives the value.
uint32_t UpdateByFolding(uint32_t value, const uint8_t* bytes, uint32_t blocks) {
  uint8_t folded[16];
  SysFoldBlocks(bytes, blocks, value, g_foldMultipliers, folded);
  return UpdateByTables(0, folded, 16);
}

// Below this, folding does not pay for its setting up.
const uint32_t kFoldingMinimum = 64;

}  // namespace

uint32_t CrcTableEntry(uint32_t byteValue) {
  uint32_t value = 0;
  uint32_t bits = byteValue;
  for (int round = 0; round < 8; ++round) {
    value = ((value ^ bits) & 1) != 0 ? (value >> 1) ^ kCrcPolynomial : value >> 1;
    bits >>= 1;
  }
  return value;
}

void BuildCrcTable() {
  for (uint32_t i = 0; i < 256; ++i) g_crcTable[i] = CrcTableEntry(i);
  for (int k = 1; k < kSliceCount; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t previous = Slice(k - 1, i);
      g_crcSlices[k - 1][i] = (previous >> 8) ^ g_crcTable[previous & 0xFF];
    }
  }
  g_foldMultipliers[0] = AsLane(PowerOfXModulo(191));
  g_foldMultipliers[1] = AsLane(PowerOfXModulo(127));
  g_crcFolds = SysCanMultiplyWithoutCarry();
}

void UpdateCrc(const uint8_t* bytes, uint32_t count) {
  uint32_t value = g_runningCrc;
  if (g_crcFolds && count >= kFoldingMinimum) {
    uint32_t blocks = count / 16;
    value = UpdateByFolding(value, bytes, blocks);
    bytes += blocks * 16;
    count -= blocks * 16;
  }
  g_runningCrc = UpdateByTables(value, bytes, count);
}
