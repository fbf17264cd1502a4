// Encrypts the files of an archive zipped here from a folder: AES-256 in
// the AES format of ZIP files (method 99, extra field 0x9901), or the
// traditional ZIP encryption for readers that know nothing else.
//
// AES entries of more than 20 bytes are AE-2 (no CRC stored, so that a short
// file's content cannot be guessed from its CRC); shorter ones AE-1, as the
// format's documentation advises. Salts and the traditional 12-byte headers
// come from the system's random source; for a reproducible build they are
// derived from SOURCE_DATE_EPOCH, the entry's name and its content instead,
// so that one tree gives the same bytes (and identical builds share them).
#pragma once

#include <cstdint>
#include <string>

#include "tools/mksfx/byte_order.h"

enum class EncryptionKind { kAes256, kZipCrypto };

struct EncryptionSetup {
  std::string password;
  EncryptionKind kind = EncryptionKind::kAes256;
  bool derived = false;  // SOURCE_DATE_EPOCH is set: salts and headers derived from `epoch`
  int64_t epoch = 0;
};

// An AES entry's uncompressed size up to which AE-1 is written.
const uint32_t kLargestAe1Entry = 20;

// Rewrites the archive in `plain` into `encrypted`, every file entry
// encrypted, its data otherwise as it was. False with `*error` set when the
// archive cannot be read or no random bytes can be had.
bool EncryptArchive(const Bytes& plain, const EncryptionSetup& setup, Bytes* encrypted, std::string* error);
