// The entry being read: the fixed fields of its local header, its name, and
// the two flags its general purpose bits give.
#pragma once

#include "platform/types.h"

// The 26 fixed bytes behind a local header's signature, little-endian, read
// straight from the archive into this record (both targets are little-endian).
struct __attribute__((packed)) LocalHeader {
  uint16_t versionNeeded;     //  0: not used
  uint16_t flags;             //  2: kEntryFlag* bits
  uint16_t method;            //  4: 0 stored, 8 deflated
  uint16_t modTime;           //  6: DOS time; high byte = check byte with kEntryFlagDataDescriptor
  uint16_t modDate;           //  8: DOS date
  uint32_t crc32;             // 10: high byte = check byte otherwise
  uint32_t compressedSize;    // 14: becomes the remaining compressed count
  uint32_t uncompressedSize;  // 18
  uint16_t nameLength;        // 22: at most kMaxNameLength
  uint16_t extraLength;       // 24
};

static_assert(sizeof(LocalHeader) == 26, "the fixed part of a local header is 26 bytes");
static_assert(offsetof(LocalHeader, flags) == 2, "field offset");
static_assert(offsetof(LocalHeader, method) == 4, "field offset");
static_assert(offsetof(LocalHeader, modTime) == 6, "field offset");
static_assert(offsetof(LocalHeader, modDate) == 8, "field offset");
static_assert(offsetof(LocalHeader, crc32) == 10, "field offset");
static_assert(offsetof(LocalHeader, compressedSize) == 14, "field offset");
static_assert(offsetof(LocalHeader, uncompressedSize) == 18, "field offset");
static_assert(offsetof(LocalHeader, nameLength) == 22, "field offset");
static_assert(offsetof(LocalHeader, extraLength) == 24, "field offset");

const uint16_t kEntryFlagEncrypted = 0x1;
const uint16_t kEntryFlagDataDescriptor = 0x8;
const uint16_t kEntryFlagUtf8 = 0x800;  // the name is UTF-8; otherwise it is in the ANSI code page

const uint32_t kMaxNameLength = 200;
// A name as read, then in UTF-8: an ANSI byte takes up to 3 bytes.
const uint32_t kNameBufferSize = 3 * kMaxNameLength + 1;

// --- Process-wide state of the current entry (ResetEntry puts it back) ---
struct EntryState {
  LocalHeader localHeader;

  // The entry name as read.
  char nameBuffer[kNameBufferSize];

  // True while the current entry is encrypted: start-up sets it from the
  // settings block (the archive holds encrypted entries, so the password is
  // asked for), then every local header replaces it with its bit 0. The
  // archive input decrypts while it is set.
  bool encryptionFlag;

  // True when a data descriptor follows the current entry's data (bit 3).
  bool dataDescriptorFlag;
};
extern EntryState g_entry;

// Clears the header, the name and both flags.
void ResetEntry();

// Sets both flags from the flags of g_entry.localHeader.
void TakeEntryFlags();

// The byte the twelfth byte of an encrypted entry's encryption header must
// decrypt to. An entry whose CRC is only known after it was written (a data
// descriptor follows it) was checked against the high byte of its
// modification time instead.
uint8_t CheckByteOf(const LocalHeader& header);
