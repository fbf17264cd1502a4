// Test-only: ZIP archives written record by record, field by field, and
// self-extractor files made from them in memory.
//
// Every field is what the test says it is, so an archive can hold whatever a
// damaged or hostile file may hold: sizes that point past the end, names of
// any length, flags without the data they promise, stray bytes between
// records. Bytes are kept in std::string (binary-safe, easy to write as
// literals). Plain C++: these helpers build for both targets.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/settings.h"

// CRC-32 (reflected polynomial 0xEDB88320), written here apart from the
// stub's own so that the two check each other.
uint32_t Crc32Of(const std::string& bytes);

// The fixed fields of a local header (and of its central directory record).
struct ZipFields {
  uint16_t versionNeeded = 20;
  uint16_t flags = 0;          // bit 0 encrypted, bit 3 data descriptor follows
  uint16_t method = 0;         // 0 stored, 8 deflated
  uint16_t time = 0x6A0F;      // 13:16:30 (DOS format)
  uint16_t date = 0x56CF;      // 2023-06-15
  uint32_t crc32 = 0;
  uint32_t compressedSize = 0;
  uint32_t uncompressedSize = 0;
  std::string name;
  int32_t nameLength = -1;     // -1: the name's own length; otherwise this value
  std::string extra;
  int32_t extraLength = -1;    // -1: the extra field's own length
};

// Fields of a file stored as it is: method 0, real sizes and CRC.
ZipFields StoredFile(const std::string& name, const std::string& content);

// Fields of a file whose data is `packed`, the raw DEFLATE stream of `content`.
ZipFields DeflatedFile(const std::string& name, const std::string& content, const std::string& packed);

// Fields of a folder entry (name ending in '/'), no data.
ZipFields FolderEntry(const std::string& name);

// Text with some randomness, so that deflate makes literals, matches and
// dynamic blocks of it.
std::string Content(size_t size, uint32_t seed);

// The traditional encryption of the published ZIP format: 12-byte header
// (its last byte is `checkByte`) then `plain`, all enciphered with the keys
// made from `password`. Fields for such an entry: flags |= 1 and
// compressedSize = 12 + the size of the data before encryption.
std::string EncryptTraditional(const std::string& password, uint8_t checkByte, const std::string& plain);

class ZipWriter {
 public:
  // A local header: signature, the 26 fixed bytes, name, extra field.
  ZipWriter& Local(const ZipFields& fields);
  // Raw bytes: entry data, or anything else at this place.
  ZipWriter& Raw(const std::string& bytes);
  // A data descriptor with its signature: CRC and both sizes (16 bytes).
  ZipWriter& Descriptor(const ZipFields& fields);
  // A central directory record for `fields` whose local header is at `localOffset`.
  ZipWriter& Central(const ZipFields& fields, uint32_t localOffset, const std::string& comment = "");
  // An end record; the entry count, directory size and offset as given.
  ZipWriter& End(uint16_t entries, uint32_t directorySize, uint32_t directoryOffset,
                 const std::string& comment = "");

  // A whole entry: local header, `data`, and a descriptor when bit 3 is set;
  // remembered so that Finish() lists it in the central directory.
  ZipWriter& Entry(const ZipFields& fields, const std::string& data);
  // Entry() of a file stored as it is.
  ZipWriter& File(const std::string& name, const std::string& content);
  // The central directory of every Entry(), then the end record.
  ZipWriter& Finish(const std::string& comment = "");

  const std::string& Bytes() const { return bytes_; }
  uint32_t Size() const { return static_cast<uint32_t>(bytes_.size()); }
  // Where the end record written by Finish() or End() begins.
  uint32_t EndRecordOffset() const { return endRecord_; }
  // The uncompressed sizes of every Entry(), added up.
  uint32_t TotalSize() const { return totalSize_; }

 private:
  struct Listed {
    ZipFields fields;
    uint32_t offset;
  };
  std::string bytes_;
  std::vector<Listed> entries_;
  uint32_t endRecord_ = 0;
  uint32_t totalSize_ = 0;
};

// --- self-extractors ------------------------------------------------------

// The settings block's marker, as the builder finds it.
inline std::string SettingsMarkerText() {
  return std::string(reinterpret_cast<const char*>(kSettingsMarker), kSettingsMarkerLength);
}

// A stand-in for the stub for host tests: DOS header (e_lfanew 0x80), DOS
// stub, PE headers with AddressOfEntryPoint `entryPoint`, a section table,
// and an empty settings block at 0x200; 0x400 bytes in all.
std::string FakeStub(uint32_t entryPoint = 0x1234);

// The same for a 64-bit image: its optional header is 16 bytes longer, so
// its section table begins at kFakeLfanew + 264.
std::string FakeStub64(uint32_t entryPoint = 0x1234);

// Where FakeStub keeps its parts.
const uint32_t kFakeLfanew = 0x80;
const uint32_t kFakeSettingsAt = 0x200;

// The five texts of a config block, each with its terminator.
std::string ConfigBlock(const std::string& folder, const std::string& textLine, const std::string& prompt,
                        const std::string& title, const std::string& info);

struct SfxOptions {
  uint32_t flags = 0;
  bool selfCheck = true;          // false: image CRC 0
  uint16_t completeness = 0xFFFF;
  uint32_t totalSize = 0;
  bool hasConfig = true;          // false: config offset 0, no block
  std::string config = std::string(5, '\0');  // the block as it is written
  int64_t endRecordOffset = -1;   // -1: the last end record signature of the archive (0 if none)
};

struct SelfExtractor {
  std::string bytes;
  uint32_t settingsAt = 0;
  uint32_t configOffset = 0;
  uint32_t archiveOffset = 0;
  uint32_t endRecordOffset = 0;
};

// The stub with its settings block filled, the config block behind it, then
// the archive, then zero bytes up to a multiple of 0x200. The expected entry
// point comes from the stub's own header; the image CRC is computed last.
SelfExtractor MakeSelfExtractor(const std::string& stub, const std::string& archive, const SfxOptions& options);

// Recomputes the image CRC field after the settings or the checked range
// were changed (0 stays 0).
void RefreshImageCrc(SelfExtractor* sfx);

void PutLe16(std::string* bytes, size_t at, uint16_t value);
void PutLe32(std::string* bytes, size_t at, uint32_t value);
uint32_t GetLe32(const std::string& bytes, size_t at);

// Whole files, read and written as bytes.
std::string ReadBinaryFile(const std::string& path);
void WriteBinaryFile(const std::string& path, const std::string& bytes);
