#include "tests/support/zip_writer.h"

#include <fstream>
#include <iterator>

namespace {

const char kLocalSignature[] = "PK\x03\x04";
const char kCentralSignature[] = "PK\x01\x02";
const char kEndSignature[] = "PK\x05\x06";
const char kDescriptorSignature[] = "PK\x07\x08";

const uint32_t kFakeStubSize = 0x400;
const uint32_t kFileAlignment = 0x200;

// Settings block field offsets.
const uint32_t kImageCrcField = 8;
const uint32_t kArchiveOffsetField = 12;
const uint32_t kConfigOffsetField = 16;
const uint32_t kEndRecordField = 20;
const uint32_t kTotalSizeField = 24;
const uint32_t kFlagsField = 28;
const uint32_t kCompletenessField = 42;
const uint32_t kEntryPointField = 54;
const uint32_t kCheckFromSectionTable = 0x800;

uint32_t CrcStepOf(uint32_t crc, uint8_t byte) {
  crc ^= byte;
  for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  return crc;
}

void AppendLe16(std::string* bytes, uint16_t value) {
  bytes->push_back(static_cast<char>(value & 0xFF));
  bytes->push_back(static_cast<char>(value >> 8));
}

void AppendLe32(std::string* bytes, uint32_t value) {
  AppendLe16(bytes, static_cast<uint16_t>(value & 0xFFFF));
  AppendLe16(bytes, static_cast<uint16_t>(value >> 16));
}

uint16_t NameLength(const ZipFields& fields) {
  return static_cast<uint16_t>(fields.nameLength >= 0 ? fields.nameLength : static_cast<int32_t>(fields.name.size()));
}

uint16_t ExtraLength(const ZipFields& fields) {
  return static_cast<uint16_t>(fields.extraLength >= 0 ? fields.extraLength : static_cast<int32_t>(fields.extra.size()));
}

// The traditional cipher's three keys.
struct Keys {
  uint32_t k0 = 0x12345678, k1 = 0x23456789, k2 = 0x34567890;
  void Update(uint8_t plain) {
    k0 = CrcStepOf(k0, plain);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = CrcStepOf(k2, static_cast<uint8_t>(k1 >> 24));
  }
  uint8_t Stream() const {
    uint32_t t = (k2 | 2) & 0xFFFF;
    return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
  }
};

// The last end record signature in `archive`, or -1.
int64_t LastEndRecord(const std::string& archive) {
  size_t at = archive.rfind(kEndSignature, std::string::npos, 4);
  return at == std::string::npos ? -1 : static_cast<int64_t>(at);
}

}  // namespace

uint32_t Crc32Of(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (char c : bytes) crc = CrcStepOf(crc, static_cast<uint8_t>(c));
  return ~crc;
}

ZipFields StoredFile(const std::string& name, const std::string& content) {
  ZipFields fields;
  fields.name = name;
  fields.crc32 = Crc32Of(content);
  fields.compressedSize = static_cast<uint32_t>(content.size());
  fields.uncompressedSize = static_cast<uint32_t>(content.size());
  return fields;
}

ZipFields DeflatedFile(const std::string& name, const std::string& content, const std::string& packed) {
  ZipFields fields = StoredFile(name, content);
  fields.method = 8;
  fields.compressedSize = static_cast<uint32_t>(packed.size());
  return fields;
}

ZipFields FolderEntry(const std::string& name) {
  ZipFields fields;
  fields.name = name;
  return fields;
}

std::string EncryptTraditional(const std::string& password, uint8_t checkByte, const std::string& plain) {
  Keys keys;
  for (char c : password) keys.Update(static_cast<uint8_t>(c));
  std::string header;
  for (int i = 0; i < 11; ++i) header.push_back(static_cast<char>(0x5A + 17 * i));  // any bytes will do
  header.push_back(static_cast<char>(checkByte));
  std::string out;
  for (char c : header + plain) {
    uint8_t p = static_cast<uint8_t>(c);
    out.push_back(static_cast<char>(p ^ keys.Stream()));
    keys.Update(p);
  }
  return out;
}

ZipWriter& ZipWriter::Local(const ZipFields& fields) {
  bytes_ += std::string(kLocalSignature, 4);
  AppendLe16(&bytes_, fields.versionNeeded);
  AppendLe16(&bytes_, fields.flags);
  AppendLe16(&bytes_, fields.method);
  AppendLe16(&bytes_, fields.time);
  AppendLe16(&bytes_, fields.date);
  AppendLe32(&bytes_, fields.crc32);
  AppendLe32(&bytes_, fields.compressedSize);
  AppendLe32(&bytes_, fields.uncompressedSize);
  AppendLe16(&bytes_, NameLength(fields));
  AppendLe16(&bytes_, ExtraLength(fields));
  bytes_ += fields.name + fields.extra;
  return *this;
}

ZipWriter& ZipWriter::Raw(const std::string& bytes) {
  bytes_ += bytes;
  return *this;
}

ZipWriter& ZipWriter::Descriptor(const ZipFields& fields) {
  bytes_ += std::string(kDescriptorSignature, 4);
  AppendLe32(&bytes_, fields.crc32);
  AppendLe32(&bytes_, fields.compressedSize);
  AppendLe32(&bytes_, fields.uncompressedSize);
  return *this;
}

ZipWriter& ZipWriter::Central(const ZipFields& fields, uint32_t localOffset, const std::string& comment) {
  bytes_ += std::string(kCentralSignature, 4);
  AppendLe16(&bytes_, 0x031E);  // made by: Unix, 3.0
  AppendLe16(&bytes_, fields.versionNeeded);
  AppendLe16(&bytes_, fields.flags);
  AppendLe16(&bytes_, fields.method);
  AppendLe16(&bytes_, fields.time);
  AppendLe16(&bytes_, fields.date);
  AppendLe32(&bytes_, fields.crc32);
  AppendLe32(&bytes_, fields.compressedSize);
  AppendLe32(&bytes_, fields.uncompressedSize);
  AppendLe16(&bytes_, NameLength(fields));
  AppendLe16(&bytes_, ExtraLength(fields));
  AppendLe16(&bytes_, static_cast<uint16_t>(comment.size()));
  AppendLe16(&bytes_, 0);  // disk number start
  AppendLe16(&bytes_, 0);  // internal attributes
  AppendLe32(&bytes_, 0);  // external attributes
  AppendLe32(&bytes_, localOffset);
  bytes_ += fields.name + fields.extra + comment;
  return *this;
}

ZipWriter& ZipWriter::End(uint16_t entries, uint32_t directorySize, uint32_t directoryOffset,
                          const std::string& comment) {
  endRecord_ = Size();
  bytes_ += std::string(kEndSignature, 4);
  AppendLe16(&bytes_, 0);
  AppendLe16(&bytes_, 0);
  AppendLe16(&bytes_, entries);
  AppendLe16(&bytes_, entries);
  AppendLe32(&bytes_, directorySize);
  AppendLe32(&bytes_, directoryOffset);
  AppendLe16(&bytes_, static_cast<uint16_t>(comment.size()));
  bytes_ += comment;
  return *this;
}

ZipWriter& ZipWriter::Entry(const ZipFields& fields, const std::string& data) {
  entries_.push_back(Listed{fields, Size()});
  totalSize_ += fields.uncompressedSize;
  Local(fields).Raw(data);
  if ((fields.flags & 0x8) != 0) Descriptor(fields);
  return *this;
}

ZipWriter& ZipWriter::File(const std::string& name, const std::string& content) {
  return Entry(StoredFile(name, content), content);
}

ZipWriter& ZipWriter::Finish(const std::string& comment) {
  uint32_t directory = Size();
  for (const Listed& listed : entries_) Central(listed.fields, listed.offset);
  return End(static_cast<uint16_t>(entries_.size()), Size() - directory, directory, comment);
}

// --- self-extractors ------------------------------------------------------


namespace {

std::string FakeImage(uint32_t entryPoint, uint16_t machine, uint16_t magic, uint16_t optionalHeaderSize) {
  std::string stub(kFakeStubSize, '\0');
  for (uint32_t i = 0; i < kFakeStubSize; ++i) stub[i] = static_cast<char>(0x20 + i % 0x5F);  // no zeros to hide behind
  stub.replace(0, 2, "MZ");
  PutLe32(&stub, 0x3C, kFakeLfanew);
  stub.replace(kFakeLfanew, 4, std::string("PE\0\0", 4));
  PutLe16(&stub, kFakeLfanew + 4, machine);
  PutLe16(&stub, kFakeLfanew + 6, 1);                   // one section
  PutLe16(&stub, kFakeLfanew + 20, optionalHeaderSize);  // the section table follows it
  PutLe16(&stub, kFakeLfanew + 24, magic);
  PutLe32(&stub, kFakeLfanew + 40, entryPoint);
  stub.replace(kFakeLfanew + 24 + optionalHeaderSize, 8, std::string(".data\0\0\0", 8));
  stub.replace(kFakeSettingsAt, 60, std::string(60, '\0'));
  stub.replace(kFakeSettingsAt, 8, SettingsMarkerText());
  return stub;
}

}  // namespace

std::string FakeStub(uint32_t entryPoint) { return FakeImage(entryPoint, 0x14C, 0x10B, 224); }

std::string FakeStub64(uint32_t entryPoint) { return FakeImage(entryPoint, 0x8664, 0x20B, 240); }

std::string ConfigBlock(const std::string& folder, const std::string& textLine, const std::string& prompt,
                        const std::string& title, const std::string& info) {
  std::string block;
  for (const std::string* text : {&folder, &textLine, &prompt, &title, &info}) block += *text + '\0';
  return block;
}

SelfExtractor MakeSelfExtractor(const std::string& stub, const std::string& archive, const SfxOptions& options) {
  SelfExtractor sfx;
  sfx.bytes = stub;
  sfx.settingsAt = static_cast<uint32_t>(stub.find(SettingsMarkerText()));
  uint32_t configLength = options.hasConfig ? static_cast<uint32_t>(options.config.size()) : 0;
  sfx.configOffset = options.hasConfig ? static_cast<uint32_t>(stub.size()) : 0;
  sfx.archiveOffset = static_cast<uint32_t>(stub.size()) + configLength;
  int64_t end = options.endRecordOffset;
  if (end < 0) {
    int64_t found = LastEndRecord(archive);
    end = found < 0 ? 0 : sfx.archiveOffset + found;
  }
  sfx.endRecordOffset = static_cast<uint32_t>(end);

  size_t at = sfx.settingsAt;
  PutLe32(&sfx.bytes, at + kArchiveOffsetField, sfx.archiveOffset);
  PutLe32(&sfx.bytes, at + kConfigOffsetField, sfx.configOffset);
  PutLe32(&sfx.bytes, at + kEndRecordField, sfx.endRecordOffset);
  PutLe32(&sfx.bytes, at + kTotalSizeField, options.totalSize);
  PutLe32(&sfx.bytes, at + kFlagsField, options.flags);
  PutLe16(&sfx.bytes, at + kCompletenessField, options.completeness);
  PutLe32(&sfx.bytes, at + kEntryPointField, GetLe32(stub, GetLe32(stub, 0x3C) + 40));
  PutLe32(&sfx.bytes, at + kImageCrcField, options.selfCheck ? 1 : 0);  // RefreshImageCrc computes it

  if (options.hasConfig) sfx.bytes += options.config;
  sfx.bytes += archive;
  sfx.bytes.append((kFileAlignment - sfx.bytes.size() % kFileAlignment) % kFileAlignment, '\0');
  RefreshImageCrc(&sfx);
  return sfx;
}

void RefreshImageCrc(SelfExtractor* sfx) {
  size_t field = sfx->settingsAt + kImageCrcField;
  if (GetLe32(sfx->bytes, field) == 0) return;
  uint32_t length = GetLe32(sfx->bytes, sfx->settingsAt + kArchiveOffsetField);
  uint32_t flags = GetLe32(sfx->bytes, sfx->settingsAt + kFlagsField);
  uint32_t lfanew = GetLe32(sfx->bytes, 0x3C);
  uint32_t sectionTable = lfanew + 24 + (GetLe32(sfx->bytes, lfanew + 20) & 0xFFFF);
  uint32_t start = (flags & kCheckFromSectionTable) != 0 ? sectionTable : 0;
  std::string checked = sfx->bytes.substr(0, length);
  checked.replace(field, 4, std::string(4, '\0'));
  PutLe32(&sfx->bytes, field, Crc32Of(checked.substr(start)));
}

void PutLe16(std::string* bytes, size_t at, uint16_t value) {
  (*bytes)[at] = static_cast<char>(value & 0xFF);
  (*bytes)[at + 1] = static_cast<char>(value >> 8);
}

void PutLe32(std::string* bytes, size_t at, uint32_t value) {
  PutLe16(bytes, at, static_cast<uint16_t>(value & 0xFFFF));
  PutLe16(bytes, at + 2, static_cast<uint16_t>(value >> 16));
}

uint32_t GetLe32(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

std::string ReadBinaryFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBinaryFile(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Content(size_t size, uint32_t seed) {
  std::string text;
  uint32_t state = seed * 2654435761u + 1;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    if ((state >> 28) < 5) {
      text += "line " + std::to_string(state >> 20) + " of the content\n";
    } else {
      text += static_cast<char>(state >> 16);
    }
  }
  text.resize(size);
  return text;
}
