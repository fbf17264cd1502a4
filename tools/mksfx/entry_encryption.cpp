#include "tools/mksfx/entry_encryption.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include "tools/mksfx/zip_reader.h"
#include "tools/mksfx/zip_writer.h"

namespace {

const uint16_t kZipMethodAes = 99;
const uint16_t kVersionNeededAes = 51;
const uint16_t kVersionNeededEncrypted = 20;
const int kAes256KeyBytes = 32;
const int kAes256SaltBytes = 16;
const int kAesRounds = 1000;
const size_t kAesCodeBytes = 10;

// Bytes that need no secrecy, only to differ between entries: random, or
// for a reproducible build the HMAC-SHA256 of the entry under a key made
// from the epoch (`purpose` keeps salts and headers apart).
bool MakeUnpredictableBytes(const EncryptionSetup& setup, const ZipEntry& entry, const uint8_t* data, const char* purpose,
                            uint8_t* out, size_t count, std::string* error) {
  if (!setup.derived) {
    if (RAND_bytes(out, static_cast<int>(count)) == 1) return true;
    *error = "no random bytes to be had for the encryption";
    return false;
  }
  std::string key = std::string("arcula-mksfx ") + purpose + " " + std::to_string(setup.epoch);
  Bytes message(entry.name.begin(), entry.name.end());
  message.push_back(0);
  AppendBytes(&message, data, entry.compressedSize);
  uint8_t digest[EVP_MAX_MD_SIZE];
  unsigned int digestBytes = 0;
  HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), message.data(), message.size(), digest, &digestBytes);
  for (size_t i = 0; i < count; ++i) out[i] = digest[i % digestBytes];
  return true;
}

// The traditional cipher's three keys.
struct TraditionalKeys {
  uint32_t keys[3] = {0x12345678, 0x23456789, 0x34567890};

  static uint32_t Crc(uint32_t crc, uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    return crc;
  }
  void Update(uint8_t plain) {
    keys[0] = Crc(keys[0], plain);
    keys[1] = (keys[1] + (keys[0] & 0xFF)) * 134775813 + 1;
    keys[2] = Crc(keys[2], static_cast<uint8_t>(keys[1] >> 24));
  }
  uint8_t Encrypt(uint8_t plain) {
    uint32_t t = (keys[2] | 2) & 0xFFFF;
    uint8_t cipher = static_cast<uint8_t>(plain ^ ((t * (t ^ 1)) >> 8));
    Update(plain);
    return cipher;
  }
};

bool EncryptTraditionally(const EncryptionSetup& setup, const uint8_t* data, ZipEntry* entry, Bytes* out,
                          std::string* error) {
  uint8_t header[kEncryptionHeaderSize];
  if (!MakeUnpredictableBytes(setup, *entry, data, "header", header, sizeof header, error)) return false;
  header[kEncryptionHeaderSize - 1] = static_cast<uint8_t>(entry->crc >> 24);  // the check byte
  TraditionalKeys keys;
  for (char c : setup.password) keys.Update(static_cast<uint8_t>(c));
  for (uint8_t byte : header) out->push_back(keys.Encrypt(byte));
  for (uint32_t i = 0; i < entry->compressedSize; ++i) out->push_back(keys.Encrypt(data[i]));
  entry->versionNeeded = std::max(entry->versionNeeded, kVersionNeededEncrypted);
  entry->compressedSize += kEncryptionHeaderSize;
  return true;
}

// The AES field: AE-1 or AE-2, vendor "AE", strength 3 (256 bits), the method of the data.
Bytes AesField(uint16_t version, uint16_t method) {
  Bytes field;
  AppendLe16(&field, 0x9901);
  AppendLe16(&field, 7);
  AppendLe16(&field, version);
  field.push_back('A');
  field.push_back('E');
  field.push_back(3);
  AppendLe16(&field, method);
  return field;
}

bool EncryptWithAes(const EncryptionSetup& setup, const uint8_t* data, ZipEntry* entry, Bytes* out,
                    std::string* error) {
  uint8_t salt[kAes256SaltBytes];
  if (!MakeUnpredictableBytes(setup, *entry, data, "salt", salt, sizeof salt, error)) return false;
  uint8_t derived[2 * kAes256KeyBytes + 2];
  PKCS5_PBKDF2_HMAC_SHA1(setup.password.data(), static_cast<int>(setup.password.size()), salt, sizeof salt,
                         kAesRounds, sizeof derived, derived);
  size_t start = out->size();
  AppendBytes(out, salt, sizeof salt);
  AppendBytes(out, derived + 2 * kAes256KeyBytes, 2);  // the password verifier
  // Counter mode with the format's little-endian counter, from 1.
  EVP_CIPHER_CTX* cipher = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(cipher, EVP_aes_256_ecb(), nullptr, derived, nullptr);
  EVP_CIPHER_CTX_set_padding(cipher, 0);
  size_t encryptedStart = out->size();
  for (uint64_t block = 0; block * 16 < entry->compressedSize; ++block) {
    uint8_t counter[16] = {};
    for (int i = 0; i < 8; ++i) counter[i] = static_cast<uint8_t>((block + 1) >> (8 * i));
    uint8_t stream[16];
    int written = 0;
    EVP_EncryptUpdate(cipher, stream, &written, counter, 16);
    for (uint64_t i = block * 16; i < entry->compressedSize && i < block * 16 + 16; ++i)
      out->push_back(static_cast<uint8_t>(data[i] ^ stream[i % 16]));
  }
  EVP_CIPHER_CTX_free(cipher);
  uint8_t code[EVP_MAX_MD_SIZE];
  unsigned int codeBytes = 0;
  HMAC(EVP_sha1(), derived + kAes256KeyBytes, kAes256KeyBytes, out->data() + encryptedStart,
       out->size() - encryptedStart, code, &codeBytes);
  AppendBytes(out, code, kAesCodeBytes);
  OPENSSL_cleanse(derived, sizeof derived);

  uint16_t version = entry->uncompressedSize > kLargestAe1Entry ? 2 : 1;
  Bytes field = AesField(version, entry->method);
  entry->localExtra.insert(entry->localExtra.end(), field.begin(), field.end());
  entry->centralExtra.insert(entry->centralExtra.end(), field.begin(), field.end());
  entry->method = kZipMethodAes;
  entry->versionNeeded = std::max(entry->versionNeeded, kVersionNeededAes);
  if (version == 2) entry->crc = 0;
  entry->compressedSize = static_cast<uint32_t>(out->size() - start);
  return true;
}

}  // namespace

bool EncryptArchive(const Bytes& plain, const EncryptionSetup& setup, Bytes* encrypted, std::string* error) {
  ZipArchive archive;
  if (!ReadZipArchive(plain, &archive, error)) return false;
  Bytes data;  // every entry's new data, one behind the other
  for (ZipEntry& entry : archive.entries) {
    const uint8_t* old = plain.data() + entry.dataOffset;
    size_t start = data.size();
    entry.flags = static_cast<uint16_t>(entry.flags & ~kZipFlagDescriptor);
    if (entry.IsFolder()) {
      AppendBytes(&data, old, entry.compressedSize);
    } else {
      entry.flags |= kZipFlagEncrypted;
      bool done = setup.kind == EncryptionKind::kAes256 ? EncryptWithAes(setup, old, &entry, &data, error)
                                                        : EncryptTraditionally(setup, old, &entry, &data, error);
      if (!done) return false;
    }
    entry.dataOffset = start;
  }
  encrypted->clear();
  WriteFrontToBackArchive(data, archive, 0, 0, encrypted);
  return true;
}
