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

CrcState g_crc;

namespace {

const uint32_t kCrcPolynomial = 0xEDB88320;  // reflected

inline uint32_t Slice(int k, uint32_t index) {
  return k == 0 ? g_crc.table[index] : g_crc.slices[k - 1][index];
}

inline uint32_t LoadLe32(const uint8_t* bytes) {
  uint32_t value;
  CopyBytes(&value, bytes, 4);  // x86 on both targets: little-endian, unaligned loads are fine
  return value;
}

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
    value = g_crc.slices[6][low & 0xFF] ^ g_crc.slices[5][(low >> 8) & 0xFF] ^
            g_crc.slices[4][(low >> 16) & 0xFF] ^ g_crc.slices[3][low >> 24] ^
            g_crc.slices[2][high & 0xFF] ^ g_crc.slices[1][(high >> 8) & 0xFF] ^
            g_crc.slices[0][(high >> 16) & 0xFF] ^ g_crc.table[high >> 24];
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
  SysFoldBlocks(bytes, blocks, value, g_crc.foldMultipliers, folded);
  return UpdateByTables(0, folded, 16);
}

// Below this, folding does not pay for its setting up.
const uint32_t kFoldingMinimum = 64;

}  // namespace

void ResetCrc() { g_crc.running = 0; }

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
  for (uint32_t i = 0; i < 256; ++i) g_crc.table[i] = CrcTableEntry(i);
  for (int k = 1; k < kCrcSliceCount; ++k) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t previous = Slice(k - 1, i);
      g_crc.slices[k - 1][i] = (previous >> 8) ^ g_crc.table[previous & 0xFF];
    }
  }
  g_crc.foldMultipliers[0] = AsLane(PowerOfXModulo(191));
  g_crc.foldMultipliers[1] = AsLane(PowerOfXModulo(127));
  g_crc.folds = SysCanMultiplyWithoutCarry();
}

void UpdateCrc(const uint8_t* bytes, uint32_t count) {
  uint32_t value = g_crc.running;
  if (g_crc.folds && count >= kFoldingMinimum) {
    uint32_t blocks = count / 16;
    value = UpdateByFolding(value, bytes, blocks);
    bytes += blocks * 16;
    count -= blocks * 16;
  }
  g_crc.running = UpdateByTables(value, bytes, count);
}
