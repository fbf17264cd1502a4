#include "tools/mksfx/built_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>

#include "base/settings.h"
#include "tools/mksfx/output_file.h"
#include "tools/mksfx/pe_image.h"
#include "tools/mksfx/zip_reader.h"

namespace {

// A self-extractor with a large archive may be up to 2 GiB.
const uint64_t kMaxBuiltSize = 0x7FFFFFFF;
const size_t kConfigTextCount = 5;
const size_t kLfanewOffset = 0x3C;
const uint16_t kCompleted = 0xFFFF;

struct FlagName {
  uint32_t bit;
  const char* name;
};

const FlagName kFlagNames[] = {
    {kFlagOverwrite, "overwrite"},
    {kFlagUseTitle, "title"},
    {kFlagEncrypted, "encrypted"},
    {kFlagUnattended, "auto"},
    {kFlagUtf8Texts, "utf8-texts"},
    {kFlagCheckFromSectionTable, "sign-ready"},
    {kFlagSpanned, "spanned"},
    {kFlagExeVolumes, "exe-volumes"},
    {kFlagTitleCaption, "caption-title"},
    {kFlagPromptQuestion, "prompt-question"},
    {kFlagPromptOkCancel, "prompt-okcancel"},
    {kFlagSilent, "silent"},
    {kFlagOemNames, "oem-names"},
    {kFlagNoArchiverButton, "no-archiver-button"},
};

bool Refuse(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool FindBlock(const Bytes& file, size_t* block) {
  auto at = std::search(file.begin(), file.end(), kSettingsMarker, kSettingsMarker + kSettingsMarkerLength);
  if (at == file.end() || !FitsIn(file.size(), static_cast<size_t>(at - file.begin()), sizeof(StubSettings)))
    return false;
  *block = static_cast<size_t>(at - file.begin());
  return true;
}

void ReadSettings(const Bytes& file, size_t block, BuiltFile* built) {
  SettingsValues& values = built->settings;
  values.imageCrc = GetLe32(file, block + offsetof(StubSettings, imageCrc));
  values.archiveOffset = GetLe32(file, block + offsetof(StubSettings, archiveOffset));
  values.configOffset = GetLe32(file, block + offsetof(StubSettings, configOffset));
  values.endRecordOffset = GetLe32(file, block + offsetof(StubSettings, endRecordOffset));
  values.totalSize = GetLe32(file, block + offsetof(StubSettings, totalSize));
  values.flags = GetLe32(file, block + offsetof(StubSettings, flags));
  values.expectedEntryPoint = GetLe32(file, block + offsetof(StubSettings, expectedEntry));
  built->complete = GetLe16(file, block + offsetof(StubSettings, completeness)) == kCompleted;
}

// The self-check as the stub makes it: the CRC of the checked range with
// the CRC field as 0.
bool ImageCrcMatches(const Bytes& file, size_t block, const BuiltFile& built) {
  const SettingsValues& values = built.settings;
  if (values.imageCrc == 0 || !built.knownArch) return false;
  uint64_t sectionTable = uint64_t{GetLe32(file, kLfanewOffset)} + kPeFileHeaderEnd + built.optionalHeaderSize;
  uint64_t start = (values.flags & kFlagCheckFromSectionTable) ? sectionTable : 0;
  if (start > values.archiveOffset || values.archiveOffset > file.size()) return false;
  Bytes copy = file;
  SetLe32(&copy, block + offsetof(StubSettings, imageCrc), 0);
  return ImageCrc(copy, static_cast<size_t>(sectionTable), values) == values.imageCrc;
}

// Five NUL-terminated texts between the config offset and the archive.
bool ReadTexts(const Bytes& file, const SettingsValues& values, std::vector<std::string>* texts,
               std::string* error) {
  if (values.configOffset == 0) return true;
  if (values.configOffset > values.archiveOffset || values.archiveOffset > file.size())
    return Refuse(error, "its config block lies outside the file");
  size_t at = values.configOffset;
  for (size_t i = 0; i < kConfigTextCount; ++i) {
    auto end = std::find(file.begin() + at, file.begin() + values.archiveOffset, 0);
    if (end == file.begin() + values.archiveOffset) return Refuse(error, "its config block is cut short");
    texts->emplace_back(file.begin() + at, end);
    at = static_cast<size_t>(end - file.begin()) + 1;
  }
  return true;
}

}  // namespace

std::vector<std::string> FlagNames(uint32_t flags) {
  std::vector<std::string> names;
  for (const FlagName& flag : kFlagNames) {
    if (flags & flag.bit) names.push_back(flag.name);
    flags &= ~flag.bit;
  }
  for (uint32_t bit = 1; bit != 0; bit <<= 1) {
    if (!(flags & bit)) continue;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", bit);
    names.push_back(hex);
  }
  return names;
}

bool ReadBuiltFile(const std::string& path, BuiltFile* built, std::string* error) {
  Bytes file;
  size_t block = 0;
  if (!ReadWholeFile(path, kMaxBuiltSize, &file, error)) return false;
  built->size = file.size();
  if (!FindBlock(file, &block)) return Refuse(error, "not a self-extractor (no settings block)");
  ReadSettings(file, block, built);
  built->knownArch = ReadPeArch(file, &built->arch, &built->optionalHeaderSize);
  built->imageCrcMatches = ImageCrcMatches(file, block, *built);
  if (!ReadTexts(file, built->settings, &built->texts, error)) return false;
  built->hasEntries = !(built->settings.flags & kFlagSpanned);
  if (!built->hasEntries) return true;
  if (!ReadZipArchive(file, &built->archive, error)) return Refuse(error, "its archive: " + *error);
  return true;
}
