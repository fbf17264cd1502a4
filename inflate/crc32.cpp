// CRC-32, table driven. Besides the standard table (one entry per byte value,
// which the decryption keys read), seven derived tables let UpdateCrc take
// eight bytes per step: a byte-at-a-time CRC alone would cost about as much
// as the whole inflate it checks. The tables are computed at start-up, so the
// stub stores no constants for them (they are 8 KiB of zeroed data).
#include "inflate/crc32.h"

#include "platform/bytes.h"

uint32_t g_crcTable[256];
uint32_t g_runningCrc;

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
}

void UpdateCrc(const uint8_t* bytes, uint32_t count) {
  uint32_t value = g_runningCrc;
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
  g_runningCrc = value;
}
