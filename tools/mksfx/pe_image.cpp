#include "tools/mksfx/pe_image.h"

#include <algorithm>
#include <cstring>

namespace {

const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
// Each processor's machine type, optional header magic and size.
struct ArchHeaders {
  StubArch arch;
  uint16_t machine;
  uint16_t magic;
  uint16_t optionalHeaderSize;
  size_t dataDirectories;  // offset of the data directories from e_lfanew
};

const ArchHeaders kArchHeaders[] = {
    {StubArch::kX86, 0x014C, 0x010B, 224, 24 + 96},
    {StubArch::kX64, 0x8664, 0x020B, 240, 24 + 112},
};
const uint32_t kMinimumPayloadAlignment = 0x200;
// The payload section's raw data starts on a memory page boundary. A loader
// that maps an image section whose file offset is not page-aligned has to
// read it in whole instead (Wine does so at start-up, for the entire
// archive); from a page boundary it is mapped, and pages are read only when
// touched. This costs at most a page less 512 bytes of padding per file.
const uint32_t kPayloadStartAlignment = 0x1000;

// Optional header fields, as offsets from e_lfanew.
const size_t kSizeOfInitializedData = 24 + 8;
const size_t kAddressOfEntryPoint = 24 + 16;
const size_t kSectionAlignment = 24 + 32;
const size_t kFileAlignment = 24 + 36;
const size_t kSizeOfImage = 24 + 56;
const size_t kSizeOfHeaders = 24 + 60;
const size_t kSecurityDirectoryIndex = 4;

// Section header fields.
const size_t kVirtualSize = 8;
const size_t kVirtualAddress = 12;
const size_t kSizeOfRawData = 16;
const size_t kPointerToRawData = 20;
const size_t kCharacteristics = 36;

uint32_t AlignUp(uint64_t value, uint32_t alignment) {
  return static_cast<uint32_t>((value + alignment - 1) / alignment * alignment);
}

bool IsPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

bool Refuse(std::string* error, const std::string& what) {
  *error = what;
  return false;
}

const ArchHeaders* FindArchHeaders(const Bytes& file, size_t pe) {
  for (const ArchHeaders& headers : kArchHeaders) {
    if (GetLe16(file, pe + 4) == headers.machine && GetLe16(file, pe + 20) == headers.optionalHeaderSize &&
        FitsIn(file.size(), pe, kPeFileHeaderEnd + headers.optionalHeaderSize) &&
        GetLe16(file, pe + 24) == headers.magic)
      return &headers;
  }
  return nullptr;
}

bool HasPeHeaders(const Bytes& file, size_t* pe) {
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z') return false;
  *pe = GetLe32(file, 0x3C);
  return FitsIn(file.size(), *pe, kPeFileHeaderEnd) && GetLe32(file, *pe) == kPeSignature;
}

bool ReadHeaders(const Bytes& stub, PeImage* image, std::string* error) {
  size_t pe = 0;
  if (stub.size() < 64 || stub[0] != 'M' || stub[1] != 'Z') return Refuse(error, "it is not an executable");
  if (!HasPeHeaders(stub, &pe)) return Refuse(error, "it has no PE headers");
  const ArchHeaders* headers = FindArchHeaders(stub, pe);
  if (headers == nullptr) return Refuse(error, "it is not a 32-bit or 64-bit Windows executable");
  image->arch = headers->arch;
  image->headersOffset = static_cast<uint32_t>(pe);
  image->optionalHeaderSize = headers->optionalHeaderSize;
  image->sectionCount = GetLe16(stub, pe + 6);
  image->entryPoint = GetLe32(stub, pe + kAddressOfEntryPoint);
  image->sectionAlignment = GetLe32(stub, pe + kSectionAlignment);
  image->fileAlignment = GetLe32(stub, pe + kFileAlignment);
  if (!IsPowerOfTwo(image->fileAlignment) || !IsPowerOfTwo(image->sectionAlignment) ||
      image->fileAlignment > 0x10000)
    return Refuse(error, "its alignments are odd");
  size_t security = pe + headers->dataDirectories + kSecurityDirectoryIndex * 8;
  if (GetLe32(stub, security) != 0 || GetLe32(stub, security + 4) != 0)
    return Refuse(error, "it is signed; sign the self-extractor instead");
  return true;
}

// The raw and virtual extent of the sections, and the first raw data offset
// (the section table may grow up to it).
bool ReadSections(const Bytes& stub, PeImage* image, uint32_t* firstRaw, std::string* error) {
  size_t table = image->SectionTableOffset();
  if (image->sectionCount == 0 || !FitsIn(stub.size(), table, image->sectionCount * kSectionHeaderSize))
    return Refuse(error, "its section table is damaged");
  *firstRaw = GetLe32(stub, image->headersOffset + kSizeOfHeaders);
  image->virtualEnd = GetLe32(stub, image->headersOffset + kSizeOfImage);
  for (size_t i = 0; i < image->sectionCount; ++i) {
    size_t header = table + i * kSectionHeaderSize;
    if (std::memcmp(&stub[header], kPayloadSectionName, 8) == 0)
      return Refuse(error, "it already holds an archive");
    uint32_t rawSize = GetLe32(stub, header + kSizeOfRawData);
    uint32_t rawStart = GetLe32(stub, header + kPointerToRawData);
    uint64_t virtualSize = std::max(GetLe32(stub, header + kVirtualSize), rawSize);
    uint64_t virtualEnd = GetLe32(stub, header + kVirtualAddress) + virtualSize;
    if (rawSize == 0) continue;
    if (!FitsIn(stub.size(), rawStart, rawSize)) return Refuse(error, "one of its sections lies outside the file");
    *firstRaw = std::min(*firstRaw, rawStart);
    image->rawEnd = std::max(image->rawEnd, rawStart + rawSize);
    image->virtualEnd = std::max(image->virtualEnd, AlignUp(virtualEnd, image->sectionAlignment));
  }
  return true;
}

}  // namespace

const char* ArchName(StubArch arch) { return arch == StubArch::kX64 ? "x64" : "x86"; }

bool ReadPeArch(const Bytes& file, StubArch* arch, uint16_t* optionalHeaderSize) {
  size_t pe = 0;
  if (!HasPeHeaders(file, &pe)) return false;
  const ArchHeaders* headers = FindArchHeaders(file, pe);
  if (headers == nullptr) return false;
  *arch = headers->arch;
  *optionalHeaderSize = headers->optionalHeaderSize;
  return true;
}

bool ReadPeImage(const Bytes& stub, PeImage* image, std::string* error) {
  uint32_t firstRaw = 0;
  if (!ReadHeaders(stub, image, error) || !ReadSections(stub, image, &firstRaw, error)) return false;
  // The archive goes behind the last section: anything already there (an
  // overlay, a signature, an earlier archive) would end up in the middle.
  if (stub.size() != image->rawEnd) return Refuse(error, "it has data behind its last section");
  size_t newHeader = image->SectionTableOffset() + image->sectionCount * kSectionHeaderSize;
  if (newHeader + kSectionHeaderSize > firstRaw) return Refuse(error, "it has no room for another section header");
  for (size_t i = 0; i < kSectionHeaderSize; ++i)
    if (stub[newHeader + i] != 0) return Refuse(error, "something lies behind its section table");
  return true;
}

bool IsInMappedSection(const Bytes& stub, const PeImage& image, size_t offset, size_t length) {
  for (size_t i = 0; i < image.sectionCount; ++i) {
    size_t header = image.SectionTableOffset() + i * kSectionHeaderSize;
    size_t rawStart = GetLe32(stub, header + kPointerToRawData);
    uint32_t rawSize = GetLe32(stub, header + kSizeOfRawData);
    uint32_t virtualSize = GetLe32(stub, header + kVirtualSize);
    size_t mapped = virtualSize == 0 ? rawSize : std::min(rawSize, virtualSize);
    if (offset >= rawStart && FitsIn(rawStart + mapped, offset, length)) return true;
  }
  return false;
}

uint32_t PayloadOffset(const PeImage& image) {
  return AlignUp(image.rawEnd, std::max(image.fileAlignment, kPayloadStartAlignment));
}

uint32_t PayloadAlignment(const PeImage& image) {
  return std::max(image.fileAlignment, kMinimumPayloadAlignment);
}

void AppendPayloadSection(Bytes* file, const PeImage& image, const Bytes& payload) {
  uint32_t start = PayloadOffset(image);
  uint32_t rawSize = AlignUp(payload.size(), PayloadAlignment(image));
  file->resize(start);
  file->insert(file->end(), payload.begin(), payload.end());
  file->resize(start + rawSize);

  size_t pe = image.headersOffset;
  size_t header = image.SectionTableOffset() + image.sectionCount * kSectionHeaderSize;
  std::memcpy(&(*file)[header], kPayloadSectionName, 8);
  SetLe32(file, header + kVirtualSize, static_cast<uint32_t>(payload.size()));
  SetLe32(file, header + kVirtualAddress, image.virtualEnd);
  SetLe32(file, header + kSizeOfRawData, rawSize);
  SetLe32(file, header + kPointerToRawData, start);
  SetLe32(file, header + kCharacteristics, kPayloadSectionCharacteristics);

  SetLe16(file, pe + 6, static_cast<uint16_t>(image.sectionCount + 1));
  SetLe32(file, pe + kSizeOfImage, AlignUp(uint64_t{image.virtualEnd} + payload.size(), image.sectionAlignment));
  SetLe32(file, pe + kSizeOfInitializedData, GetLe32(*file, pe + kSizeOfInitializedData) + rawSize);
}

uint32_t PeChecksum(const Bytes& file, const PeImage& image) {
  size_t field = image.ChecksumOffset();
  auto byteAt = [&](size_t at) -> uint32_t {
    bool inField = at >= field && at < field + 4;
    return (at < file.size() && !inField) ? file[at] : 0;
  };
  uint64_t sum = 0;
  for (size_t at = 0; at < file.size(); at += 2) {
    sum += byteAt(at) | (byteAt(at + 1) << 8);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(sum + file.size());
}
