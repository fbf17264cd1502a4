#include "archive/aes.h"

#include "platform/bytes.h"
#include "base/abort.h"
#include "base/messages.h"

AesEntryState g_aesEntry;

namespace {

const uint32_t kAesFieldSize = 7;
const uint32_t kExtraRecordHeader = 4;

// The next key-stream blocks: the counter values that follow, encrypted.
void MakeKeyStream() {
  FillBytes(g_aesEntry.stream, 0, sizeof g_aesEntry.stream);
  for (uint32_t i = 0; i < kAesStreamBlocks; ++i) {
    // Little-endian, as both targets are; an entry below 4 GiB never needs
    // more than the low 4 bytes.
    uint32_t counter = ++g_aesEntry.blocksMade;
    CopyBytes(g_aesEntry.stream + i * kAesBlockBytes, &counter, sizeof counter);
  }
  SysAesEncryptBlocks(g_aesEntry.stream, kAesStreamBlocks);
  g_aesEntry.streamUsed = 0;
}

}  // namespace

void ResetAesEntry() {
  FillBytes(&g_aesEntry, 0, sizeof g_aesEntry);
  SysResetCrypto();
}

bool FindAesField(const uint8_t* extra, uint32_t length, AesField* field) {
  uint32_t at = 0;
  while (length - at >= kExtraRecordHeader) {
    uint32_t id = ReadLe16(extra + at);
    uint32_t size = ReadLe16(extra + at + 2);
    at += kExtraRecordHeader;
    if (size > length - at) return false;
    if (id == kAesFieldId) {
      const uint8_t* data = extra + at;
      field->version = static_cast<uint16_t>(ReadLe16(data));
      field->strength = data[4];
      field->method = static_cast<uint16_t>(ReadLe16(data + 5));
      return size == kAesFieldSize && (field->version == 1 || field->version == 2) && data[2] == 'A' &&
             data[3] == 'E' && field->strength >= 1 && field->strength <= 3;
    }
    at += size;
  }
  return false;
}

uint32_t AesKeyBytes(const AesField& field) { return 8 + 8 * static_cast<uint32_t>(field.strength); }

uint32_t AesSaltBytes(const AesField& field) { return AesKeyBytes(field) / 2; }

uint32_t AesOverheadBytes(const AesField& field) { return AesSaltBytes(field) + kAesVerifierBytes + kAesCodeBytes; }

bool DeriveAesKeys(const char* password, const AesField& field, const uint8_t* saltAndVerifier, uint8_t* derived,
                   bool* opens) {
  uint32_t keyBytes = AesKeyBytes(field);
  uint32_t saltBytes = AesSaltBytes(field);
  if (!SysDeriveKey(password, saltAndVerifier, saltBytes, kAesRounds, derived, 2 * keyBytes + kAesVerifierBytes)) {
    return false;
  }
  *opens = CompareBytes(derived + 2 * keyBytes, saltAndVerifier + saltBytes, kAesVerifierBytes) == 0;
  return true;
}

void StartAesDecryption(const uint8_t* derived) {
  uint32_t keyBytes = AesKeyBytes(g_aesEntry.field);
  if (!SysAesSetKey(derived, keyBytes)) FatalError(MessageText(kMessageUnsupportedMethod));
  SysHmacStart(derived + keyBytes, keyBytes);
  g_aesEntry.blocksMade = 0;
  g_aesEntry.streamUsed = sizeof g_aesEntry.stream;
}

void AesDecrypt(uint8_t* bytes, uint32_t count) {
  SysHmacAdd(bytes, count);
  for (uint32_t i = 0; i < count; ++i) {
    if (g_aesEntry.streamUsed == sizeof g_aesEntry.stream) MakeKeyStream();
    bytes[i] ^= g_aesEntry.stream[g_aesEntry.streamUsed++];
  }
}

bool AesCodeMatches(const uint8_t* stored) {
  uint8_t code[kSha1Bytes];
  SysHmacFinish(code);
  return CompareBytes(code, stored, kAesCodeBytes) == 0;
}
