// The cryptographic primitives behind AES-encrypted ZIP entries: the key
// derivation (PBKDF2 with HMAC-SHA1), AES on single blocks (the counter mode
// is built on it above), and HMAC-SHA1 over a stream of bytes. One key and
// one authentication code are in use at a time: those of the entry being read.
#pragma once

#include "platform/types.h"

const uint32_t kAesBlockBytes = 16;
const uint32_t kSha1Bytes = 20;

// Fills `derived` with `length` bytes of PBKDF2-HMAC-SHA1 of the password
// (its bytes up to the NUL) and the salt, with `iterations` rounds. False
// when the system cannot provide the derivation.
bool SysDeriveKey(const char* password, const uint8_t* salt, uint32_t saltLength, uint32_t iterations,
                  uint8_t* derived, uint32_t length);

// Sets the AES key (16, 24 or 32 bytes) for SysAesEncryptBlocks; false when
// the system cannot provide the cipher.
bool SysAesSetKey(const uint8_t* key, uint32_t keyBytes);

// Encrypts `count` 16-byte blocks in place, each on its own (ECB), with the
// key last set.
void SysAesEncryptBlocks(uint8_t* blocks, uint32_t count);

// HMAC-SHA1: Start with a key, Add bytes as they come, Finish gives the code.
void SysHmacStart(const uint8_t* key, uint32_t keyBytes);
void SysHmacAdd(const uint8_t* bytes, uint32_t count);
void SysHmacFinish(uint8_t code[kSha1Bytes]);

// Forgets the key and the code in progress.
void SysResetCrypto();
