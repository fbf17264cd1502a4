// Puts a self-extractor together: the stub as linked, its settings block
// filled in, and a new last section `_arcula_` holding the config block and
// the archive.
//
//   0 .. section table         DOS header and stub, PE headers (the table
//                              begins behind the optional header: at
//                              e_lfanew+248 in a 32-bit image, +264 in a
//                              64-bit one)
//   .. config offset           section table and the stub's sections
//                              (the settings block lies in its data), zero
//                              bytes to a page boundary
//   config offset ..           config block: five NUL-terminated texts
//   archive offset ..          the archive, rewritten for a front-to-back reader
//   .. end of file             zero bytes to a multiple of 0x200
#pragma once

#include <cstdint>
#include <string>

#include "tools/mksfx/pe_image.h"
#include "tools/mksfx/zip_archive.h"

// The five texts of the config block, in their order in the block.
struct ConfigTexts {
  std::string folder;
  std::string text;
  std::string prompt;
  std::string title;
  std::string info;
};

// The config block, or false with `error` set when a text is not UTF-8, is
// longer than the stub's buffer for it, or the block is longer than the stub
// reads.
bool BuildConfigBlock(const ConfigTexts& texts, Bytes* block, std::string* error);

// What went into the settings block.
struct SettingsValues {
  uint32_t imageCrc = 0;
  uint32_t archiveOffset = 0;
  uint32_t configOffset = 0;
  uint32_t endRecordOffset = 0;
  uint32_t totalSize = 0;
  uint32_t flags = 0;
  uint32_t expectedEntryPoint = 0;
};

// The stub's headers and where its settings block lies.
struct StubLayout {
  PeImage image;
  size_t settingsBlock = 0;
};

// Checks that `stub` can take an archive: a 32- or 64-bit PE image (see
// ReadPeImage) whose settings marker occurs exactly once, inside data that is
// loaded at run time. False with `error` set otherwise.
bool ReadStubLayout(const Bytes& stub, StubLayout* layout, std::string* error);

// Builds the whole file into `out`. `flags` are the option bits; the others
// are added here (see SettingsFlags). With `selfCheck`
// false the image CRC stays 0. `input` holds the entries' data.
bool BuildSelfExtractor(const Bytes& stub, const StubLayout& layout, const Bytes& config, const Bytes& input,
                        const ZipArchive& archive, uint32_t flags, bool selfCheck, Bytes* out,
                        SettingsValues* settings, std::string* error);

// The settings block values that depend on the entries alone: the flag bits
// with the UTF-8 texts and OEM names bits, and the encryption bit when an
// entry needs it; the total size.
uint32_t SettingsFlags(const ZipArchive& archive, uint32_t flags);
uint32_t TotalSize(const ZipArchive& archive);

// CRC-32 of the range the self-check covers, in a file whose image CRC
// field holds 0: from the section table with flag 0x800 (so the headers can
// change when the file is signed), else from 0, up to the archive.
// `sectionTable` is where the section table begins: behind the optional
// header, whose size depends on the processor. The range must lie in `file`.
uint32_t ImageCrc(const Bytes& file, size_t sectionTable, const SettingsValues& values);

// Puts a file together from the stub and `payload`, the raw data of the new
// section (the config block, then whatever part of the archive goes into
// this file), padded to the file alignment. The settings block gets
// `values`, with the entry point and, when `selfCheck`, the image CRC filled
// in here.
bool AssembleSelfExtractor(const Bytes& stub, const StubLayout& layout, const Bytes& payload, bool selfCheck,
                           Bytes* out, SettingsValues* values, std::string* error);
