// A ZIP archive as the builder holds it between reading and rewriting: the
// central directory's view of every entry, plus where its data lies in the
// input. Nothing is copied out of the input until the archive is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/entry.h"  // kMaxNameLength, the stub's limit on a name
#include "tools/mksfx/byte_order.h"

// General purpose flag bits that matter here.
const uint16_t kZipFlagEncrypted = 0x0001;
const uint16_t kZipFlagDescriptor = 0x0008;       // sizes and CRC follow the data
const uint16_t kZipFlagStrongEncryption = 0x0040;
const uint16_t kZipFlagUtf8Name = 0x0800;         // the name (and comment) is UTF-8
const uint16_t kZipFlagMaskedHeaders = 0x2000;    // central directory encryption

const uint16_t kZipMethodStored = 0;
const uint16_t kZipMethodDeflated = 8;

// Sizes of the fixed parts of the records.
const size_t kLocalHeaderSize = 30;
const size_t kCentralHeaderSize = 46;
const size_t kEndRecordSize = 22;
const size_t kDescriptorSize = 16;  // with its signature
const size_t kEncryptionHeaderSize = 12;

const uint32_t kLocalHeaderSignature = 0x04034B50;
const uint32_t kCentralHeaderSignature = 0x02014B50;
const uint32_t kEndRecordSignature = 0x06054B50;
const uint32_t kZip64LocatorSignature = 0x07064B50;
const uint32_t kDescriptorSignature = 0x08074B50;

struct ZipEntry {
  std::string name;  // bytes as stored; no code page conversion
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0;
  uint16_t date = 0;
  uint32_t crc = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  uint16_t internalAttributes = 0;
  uint32_t externalAttributes = 0;
  Bytes localExtra;    // empty when the input's was malformed
  Bytes centralExtra;  // likewise
  Bytes comment;
  size_t localHeaderOffset = 0;  // where its local header begins in the input
  size_t dataOffset = 0;         // where the compressed data begins in the input

  bool IsFolder() const { return !name.empty() && (name.back() == '/' || name.back() == '\\'); }
  bool IsEncrypted() const { return (flags & kZipFlagEncrypted) != 0; }
};

struct ZipArchive {
  std::vector<ZipEntry> entries;  // in central directory order
  Bytes comment;
};
