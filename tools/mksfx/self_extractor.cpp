#include "tools/mksfx/self_extractor.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "paths/output_paths.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "tools/mksfx/pe_image.h"
#include "tools/mksfx/windows_case.h"
#include "tools/mksfx/zip_writer.h"

namespace {

const uint16_t kCompleted = 0xFFFF;
// The stub seeks with signed 32-bit offsets.
const uint64_t kMaxFileSize = 0x7FFFFFFF;

struct ConfigField {
  const char* option;
  const std::string* text;
  size_t maxLength;  // the stub's buffer minus its terminator
};

bool Refuse(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

size_t CountMarkers(const Bytes& file, size_t* first) {
  size_t count = 0;
  auto at = file.begin();
  while ((at = std::search(at, file.end(), kSettingsMarker, kSettingsMarker + kSettingsMarkerLength)) != file.end()) {
    if (count++ == 0) *first = static_cast<size_t>(at - file.begin());
    ++at;
  }
  return count;
}

// The stub's self-check takes the first marker in the file as the block, so
// the marker must occur once, in data that is loaded into memory.
bool FindSettingsBlock(const Bytes& stub, const PeImage& image, size_t* block, std::string* error) {
  size_t count = CountMarkers(stub, block);
  if (count == 0) return Refuse(error, "it has no settings block");
  if (count > 1) return Refuse(error, "its settings marker occurs more than once");
  if (!IsInMappedSection(stub, image, *block, sizeof(StubSettings)))
    return Refuse(error, "its settings block lies outside its sections");
  return true;
}

bool AnyFileEncrypted(const ZipArchive& archive) {
  return std::any_of(archive.entries.begin(), archive.entries.end(),
                     [](const ZipEntry& entry) { return entry.IsEncrypted() && !entry.IsFolder(); });
}

void WriteSettings(Bytes* file, size_t block, const SettingsValues& values) {
  SetLe32(file, block + offsetof(StubSettings, imageCrc), values.imageCrc);
  SetLe32(file, block + offsetof(StubSettings, archiveOffset), values.archiveOffset);
  SetLe32(file, block + offsetof(StubSettings, configOffset), values.configOffset);
  SetLe32(file, block + offsetof(StubSettings, endRecordOffset), values.endRecordOffset);
  SetLe32(file, block + offsetof(StubSettings, totalSize), values.totalSize);
  SetLe32(file, block + offsetof(StubSettings, flags), values.flags);
  SetLe16(file, block + offsetof(StubSettings, completeness), kCompleted);
  SetLe32(file, block + offsetof(StubSettings, expectedEntry), values.expectedEntryPoint);
}

}  // namespace

uint32_t ImageCrc(const Bytes& file, size_t sectionTable, const SettingsValues& values) {
  size_t start = (values.flags & kFlagCheckFromSectionTable) ? sectionTable : 0;
  uLong crc = crc32(0, Z_NULL, 0);
  return static_cast<uint32_t>(crc32(crc, file.data() + start, static_cast<uInt>(values.archiveOffset - start)));
}

uint32_t TotalSize(const ZipArchive& archive) {
  uint64_t total = 0;
  for (const ZipEntry& entry : archive.entries) total += entry.uncompressedSize;
  return static_cast<uint32_t>(total);  // the entry checks keep it below 4 GiB
}

bool BuildConfigBlock(const ConfigTexts& texts, Bytes* block, std::string* error) {
  const ConfigField fields[] = {{"--folder", &texts.folder, kTargetFolderUnits},
                                {"--text", &texts.text, kTextLineUnits},
                                {"--prompt", &texts.prompt, kStartupPromptUnits},
                                {"--title", &texts.title, kTitleUnits},
                                {"--info", &texts.info, kInfoTextUnits}};
  block->clear();
  for (const ConfigField& field : fields) {
    if (!IsUtf8(*field.text)) return Refuse(error, std::string(field.option) + " is not UTF-8");
    if (field.text->size() > field.maxLength)
      return Refuse(error, std::string(field.option) + " is " + std::to_string(field.text->size()) +
                               " bytes long; at most " + std::to_string(field.maxLength) + " fit");
    block->insert(block->end(), field.text->begin(), field.text->end());
    block->push_back(0);
  }
  if (block->size() > kConfigBlockLimit)
    return Refuse(error, "the texts take " + std::to_string(block->size()) + " bytes with their terminators; at most " +
                             std::to_string(kConfigBlockLimit) + " fit");
  return true;
}

bool ReadStubLayout(const Bytes& stub, StubLayout* layout, std::string* error) {
  return ReadPeImage(stub, &layout->image, error) &&
         FindSettingsBlock(stub, layout->image, &layout->settingsBlock, error);
}

bool AssembleSelfExtractor(const Bytes& stub, const StubLayout& layout, const Bytes& payload, bool selfCheck,
                           Bytes* out, SettingsValues* values, std::string* error) {
  const PeImage& image = layout.image;
  size_t block = layout.settingsBlock;
  values->expectedEntryPoint = image.entryPoint;
  values->imageCrc = 0;
  *out = stub;
  AppendPayloadSection(out, image, payload);
  WriteSettings(out, block, *values);

  // The PE checksum covers the whole file, the image CRC included, and the
  // image CRC covers the headers unless the check starts at the section
  // table: then the checksum is filled in last, otherwise it stays 0.
  bool checksumOutsideRange = !selfCheck || (values->flags & kFlagCheckFromSectionTable);
  SetLe32(out, image.ChecksumOffset(), 0);
  if (selfCheck) values->imageCrc = ImageCrc(*out, image.SectionTableOffset(), *values);
  WriteSettings(out, block, *values);
  if (checksumOutsideRange) SetLe32(out, image.ChecksumOffset(), PeChecksum(*out, image));

  size_t first = 0;
  CountMarkers(*out, &first);
  if (first != block) return Refuse(error, "the settings marker appears in front of the settings block");
  return true;
}

uint32_t SettingsFlags(const ZipArchive& archive, uint32_t flags) {
  return flags | kFlagUtf8Texts | kFlagOemNames | (AnyFileEncrypted(archive) ? kFlagEncrypted : 0);
}

bool BuildSelfExtractor(const Bytes& stub, const StubLayout& layout, const Bytes& config,
                        const Bytes& input, const ZipArchive& archive, uint32_t flags,
                        bool selfCheck, Bytes* out, SettingsValues* values, std::string* error) {
  const PeImage& image = layout.image;
  values->configOffset = PayloadOffset(image);
  values->archiveOffset = values->configOffset + static_cast<uint32_t>(config.size());
  uint64_t archiveEnd = values->archiveOffset + FrontToBackArchiveSize(archive);
  uint64_t alignment = PayloadAlignment(image);
  uint64_t fileSize = (archiveEnd + alignment - 1) / alignment * alignment;
  if (fileSize > kMaxFileSize) return Refuse(error, "the self-extractor would be larger than 2 GiB");

  Bytes payload = config;
  values->endRecordOffset = WriteFrontToBackArchive(input, archive, values->archiveOffset,
                                                    fileSize - archiveEnd, &payload);
  values->totalSize = TotalSize(archive);
  values->flags = SettingsFlags(archive, flags);
  return AssembleSelfExtractor(stub, layout, payload, selfCheck, out, values, error);
}
