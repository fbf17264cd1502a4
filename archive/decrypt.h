// The traditional ZIP encryption (the three-key stream cipher of the published
// ZIP format): the keys and the in-place decryption of entry data as the
// archive input reads it. The check of the password against an entry's
// 12-byte encryption header is the archive input's (CheckPassword).
//
// For every encrypted entry that is extracted: CheckPassword reads the header
// and leaves the keys ready; then every data byte c is decrypted as
//   p = c ^ DecryptByte(); UpdateKeys(p);
// in order, across refills, until the entry's data ends.
#pragma once

#include "platform/types.h"

const uint32_t kEncryptionHeaderSize = 12;

// --- Process-wide state of the cipher (ResetCipher puts it back) ---
struct CipherState {
  uint32_t keys[3];  // key 0, key 1, key 2
};
extern CipherState g_cipher;

// Forgets the keys.
void ResetCipher();

// Sets the keys to their initial values and feeds the password into them.
void InitKeys(const char* password);

// Advances the keys by one plaintext byte.
void UpdateKeys(uint8_t plain);

// The next key-stream byte; changes no key.
uint8_t DecryptByte();

// Decrypts `count` bytes in place, advancing the keys byte by byte.
void DecryptBuffer(uint8_t* bytes, uint32_t count);
