// CRC-32 of the ZIP format (reflected polynomial 0xEDB88320, preset to all
// ones, result complemented). Users do their own preset and final complement:
//   g_crc.running = 0xFFFFFFFF; UpdateCrc(...) per range; crc = 0xFFFFFFFF - g_crc.running.
#pragma once

#include "platform/types.h"

// The table step takes this many bytes at a time, one table per byte.
const int kCrcSliceCount = 8;

// --- Process-wide state of the CRC (ResetCrc puts it back) ---
struct CrcState {
  // The standard 256-entry table, built at start-up. The decryption key
  // schedule reads it directly, so it stays the plain byte-at-a-time table.
  uint32_t table[256];

  // slices[k - 1][i]: the CRC remainder of byte i followed by k zero bytes
  // (k = 0 is the table above).
  uint32_t slices[kCrcSliceCount - 1][256];

  // The folding step's multipliers, as the low and high 64-bit lanes of an
  // SSE register: x^191 and x^127 modulo the polynomial, bit-reflected. A
  // 128-bit value in the register stands for the polynomial whose x^127 term
  // is bit 0; its first (low) lane is the higher part, times x^64. A carry-
  // less product of two reflected 64-bit lanes comes out times x, hence 191 =
  // 128 + 64 - 1 and 127 = 128 - 1.
  uint64_t foldMultipliers[2];

  // The value UpdateCrc advances; one check at a time.
  uint32_t running;

  // True when UpdateCrc folds with carry-less multiplication (BuildCrcTable
  // asks the processor); false, it takes the tables only.
  bool folds;
};
extern CrcState g_crc;

// Clears the running value. The tables stay: they are built once, at start-up.
void ResetCrc();

uint32_t CrcTableEntry(uint32_t byteValue);

// Fills the table, the derived tables and the multipliers UpdateCrc uses for
// speed, and sets g_crc.folds.
void BuildCrcTable();

// Advances g_crc.running over `count` bytes in address order.
void UpdateCrc(const uint8_t* bytes, uint32_t count);

// One byte step of the table: what the decryption keys use.
inline uint32_t CrcStep(uint32_t value, uint8_t byte) {
  return (value >> 8) ^ g_crc.table[(value ^ byte) & 0xFF];
}
