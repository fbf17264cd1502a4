// The few PE facts the builder needs from the stub, and the one change it
// makes to its headers: a new last section holding the config block and the
// archive.
//
// Offsets from e_lfanew: "PE\0\0" (4 bytes), the file header (20 bytes), the
// optional header (224 bytes in a 32-bit image, 240 in a 64-bit one: its
// stack and heap sizes take 8 bytes each), then the section table of
// 40-byte headers. The fields the builder touches, up to CheckSum, sit at
// the same offsets in both.
#pragma once

#include <cstdint>
#include <string>

#include "tools/mksfx/byte_order.h"

const size_t kPeFileHeaderEnd = 24;  // signature and file header
const size_t kSectionHeaderSize = 40;
const uint32_t kPayloadSectionCharacteristics = 0xE2000040;  // data, discardable, RWX
const char kPayloadSectionName[8] = {'_', 'a', 'r', 'c', 'u', 'l', 'a', '_'};

// The processor a stub is built for.
enum class StubArch { kX86, kX64 };

const char* ArchName(StubArch arch);  // "x86" or "x64"

struct PeImage {
  StubArch arch = StubArch::kX86;
  uint32_t headersOffset = 0;  // e_lfanew
  uint16_t optionalHeaderSize = 0;
  uint16_t sectionCount = 0;
  uint32_t fileAlignment = 0;
  uint32_t sectionAlignment = 0;
  uint32_t entryPoint = 0;      // AddressOfEntryPoint
  uint32_t rawEnd = 0;          // end of the last section's raw data
  uint32_t virtualEnd = 0;      // first free address after every section
  size_t SectionTableOffset() const { return headersOffset + kPeFileHeaderEnd + optionalHeaderSize; }
  size_t ChecksumOffset() const { return headersOffset + 24 + 64; }
};

// The processor of a PE image; false when it is neither a 32-bit nor a
// 64-bit x86 image with the optional header that goes with it.
bool ReadPeArch(const Bytes& file, StubArch* arch, uint16_t* optionalHeaderSize);

// Reads and checks the stub's headers: a 32- or 64-bit PE image with room for one
// more section header, nothing behind its last section, not signed and not
// already holding an archive. False with `error` set otherwise.
bool ReadPeImage(const Bytes& stub, PeImage* image, std::string* error);

// True when [offset, offset + length) lies in one section's raw data that is
// also mapped into memory, so a change there is seen at run time.
bool IsInMappedSection(const Bytes& stub, const PeImage& image, size_t offset, size_t length);

// The file offset at which the new section's raw data will begin: the end
// of the stub's raw data, aligned to a memory page and the file alignment.
uint32_t PayloadOffset(const PeImage& image);

// What the file's end is aligned to: the file alignment, at least 0x200.
uint32_t PayloadAlignment(const PeImage& image);

// Pads `file` (the stub) to PayloadOffset, appends `payload` and zero bytes
// up to PayloadAlignment, and adds the section header
// with the counts and sizes the optional header keeps. Leaves CheckSum alone.
void AppendPayloadSection(Bytes* file, const PeImage& image, const Bytes& payload);

// The standard PE checksum of `file` (the CheckSum field counts as 0).
uint32_t PeChecksum(const Bytes& file, const PeImage& image);
