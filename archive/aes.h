// AES-encrypted entries (method 99 with an extra field 0x9901, in its two
// versions AE-1 and AE-2). Such an entry's data is:
//   salt (8, 12 or 16 bytes) | password verifier (2) | encrypted data | authentication code (10)
// The salt and the password give, by PBKDF2-HMAC-SHA1 with 1000 rounds, the
// AES key, the key of the authentication code and the verifier. The data is
// AES in counter mode (a 128-bit little-endian counter that starts at 1);
// the code is the first 10 bytes of the HMAC-SHA1 of the encrypted data.
// AE-2 stores no CRC (the code alone vouches for the data); AE-1 stores both.
#pragma once

#include "platform/crypto.h"
#include "platform/types.h"

const uint16_t kMethodAes = 99;
const uint16_t kAesFieldId = 0x9901;
const uint32_t kAesVerifierBytes = 2;
const uint32_t kAesCodeBytes = 10;
const uint32_t kAesRounds = 1000;
const uint32_t kAesMaxKeyBytes = 32;
const uint32_t kAesMaxSaltBytes = kAesMaxKeyBytes / 2;
// AES key, code key, verifier.
const uint32_t kAesMaxDerivedBytes = 2 * kAesMaxKeyBytes + kAesVerifierBytes;
// The part of an entry's extra field searched for the AES field; one whose
// field lies further in is taken for an entry of an unknown method.
const uint32_t kAesExtraSearched = 1024;

// What the 0x9901 field says.
struct AesField {
  uint16_t version;   // 1 (AE-1) or 2 (AE-2)
  uint8_t strength;   // 1, 2 or 3: a 128-, 192- or 256-bit key
  uint16_t method;    // the method of the data before it was encrypted
};

// Key-stream blocks made at a time (4 KiB): the system's cipher is a call
// away, so it is asked for many blocks at once, not one by one.
const uint32_t kAesStreamBlocks = 256;

// --- Process-wide state of the current AES entry (ResetAesEntry puts it back) ---
struct AesEntryState {
  bool active;      // the current entry is an encrypted entry with an AES field
  AesField field;
  uint32_t blocksMade;                                // key-stream blocks made so far
  uint8_t stream[kAesStreamBlocks * kAesBlockBytes];  // key stream not yet used from streamUsed on
  uint32_t streamUsed;
};
extern AesEntryState g_aesEntry;

// Forgets the entry, its keys and its code in progress.
void ResetAesEntry();

// Finds a well-formed AES field among the records of an extra field; false
// when there is none or it is malformed (a size other than 7, an unknown
// version or strength, a record running past the end).
bool FindAesField(const uint8_t* extra, uint32_t length, AesField* field);

// The key's size in bytes for a strength of the field (16, 24 or 32).
uint32_t AesKeyBytes(const AesField& field);
uint32_t AesSaltBytes(const AesField& field);

// What such an entry's data holds besides the encrypted data: salt,
// verifier and code.
uint32_t AesOverheadBytes(const AesField& field);

// Derives the keys of an entry from the password and the salt with verifier
// that begin its data (`derived` holds kAesMaxDerivedBytes); *opens is set
// when the verifier matches. False when the system cannot derive them.
bool DeriveAesKeys(const char* password, const AesField& field, const uint8_t* saltAndVerifier, uint8_t* derived,
                   bool* opens);

// Sets the cipher and the code up for the current entry from its derived keys.
void StartAesDecryption(const uint8_t* derived);

// Decrypts `count` bytes in place, the encrypted bytes going into the code
// first. The counter runs on from one call to the next within the entry.
void AesDecrypt(uint8_t* bytes, uint32_t count);

// True when the 10 stored bytes are the code of all the data decrypted.
bool AesCodeMatches(const uint8_t* stored);
