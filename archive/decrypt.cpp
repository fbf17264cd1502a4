#include "archive/decrypt.h"

#include "archive/crc32.h"

CipherState g_cipher;

namespace {

const uint32_t kKeyMultiplier = 134775813;

}  // namespace

void InitKeys(const char* password) {
  g_cipher.keys[0] = 0x12345678;
  g_cipher.keys[1] = 0x23456789;
  g_cipher.keys[2] = 0x34567890;
  for (const char* p = password; *p != 0; ++p) UpdateKeys(static_cast<uint8_t>(*p));
}

void UpdateKeys(uint8_t plain) {
  g_cipher.keys[0] = CrcStep(g_cipher.keys[0], plain);
  g_cipher.keys[1] = (g_cipher.keys[1] + (g_cipher.keys[0] & 0xFF)) * kKeyMultiplier + 1;
  g_cipher.keys[2] = CrcStep(g_cipher.keys[2], static_cast<uint8_t>(g_cipher.keys[1] >> 24));
}

uint8_t DecryptByte() {
  uint32_t t = (g_cipher.keys[2] | 2) & 0xFFFF;  // only the low 16 bits of the product matter
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

void DecryptBuffer(uint8_t* bytes, uint32_t count) {
  // The keys stay in registers for the whole chunk.
  uint32_t key0 = g_cipher.keys[0];
  uint32_t key1 = g_cipher.keys[1];
  uint32_t key2 = g_cipher.keys[2];
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t t = (key2 | 2) & 0xFFFF;
    uint8_t plain = static_cast<uint8_t>(bytes[i] ^ ((t * (t ^ 1)) >> 8));
    bytes[i] = plain;
    key0 = CrcStep(key0, plain);
    key1 = (key1 + (key0 & 0xFF)) * kKeyMultiplier + 1;
    key2 = CrcStep(key2, static_cast<uint8_t>(key1 >> 24));
  }
  g_cipher.keys[0] = key0;
  g_cipher.keys[1] = key1;
  g_cipher.keys[2] = key2;
}

void ResetCipher() {
  g_cipher.keys[0] = g_cipher.keys[1] = g_cipher.keys[2] = 0;
}
