#include "tools/mksfx/spanned_set.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "base/settings.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/output_file.h"
#include "tools/mksfx/zip_writer.h"

namespace {

// The stub reads its volumes with signed 32-bit offsets.
const uint64_t kMaxVolumeSize = 0x7FFFFFFF;

bool Refuse(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

uint64_t AlignUp(uint64_t value, uint64_t alignment) { return (value + alignment - 1) / alignment * alignment; }

// Where the archive's bytes go: the first `firstCapacity` bytes into disk 1's
// volume file from offset `firstBase` on (behind the stub with .EXE names),
// then `diskSize` bytes to each later disk, from offset 0.
struct Cuts {
  uint32_t firstBase = 0;
  uint64_t firstCapacity = 0;
  uint64_t diskSize = 0;

  VolumePlace Place(uint64_t position) const {
    VolumePlace place;
    if (position < firstCapacity) {
      place.offset = static_cast<uint32_t>(firstBase + position);
    } else {
      uint64_t rest = position - firstCapacity;
      place.disk = static_cast<uint16_t>(1 + rest / diskSize);
      place.offset = static_cast<uint32_t>(rest % diskSize);
    }
    return place;
  }

  uint64_t DisksFor(uint64_t length) const {
    return length <= firstCapacity ? 1 : 1 + (length - firstCapacity + diskSize - 1) / diskSize;
  }
};

std::string Label(size_t disk) {
  char label[16];
  std::snprintf(label, sizeof label, "PKBACK# %03zu", disk);
  return label;
}

std::string TooSmall(const SpanOptions& span, uint64_t needed) {
  return "--span " + std::to_string(span.diskSize) + " leaves no room for the archive on disk 1: the self-extractor " +
         "and the start of the archive need at least " + std::to_string(needed) + " bytes";
}

// Fills in where disk 1's volume ends, or refuses a size too small for it.
bool PlanCuts(const StubLayout& layout, const Bytes& config, const SpanOptions& span, const SettingsValues& values,
              Cuts* cuts, std::string* error) {
  if (span.diskSize > kMaxVolumeSize) return Refuse(error, "--span is larger than 2 GiB");
  uint64_t alignment = PayloadAlignment(layout.image);
  cuts->diskSize = span.diskSize;
  if (span.exeNames) {
    uint64_t needed = values.configOffset + AlignUp(config.size() + 1, alignment);
    if (span.diskSize < needed) return Refuse(error, TooSmall(span, needed));
    uint64_t fileEnd = values.configOffset + (span.diskSize - values.configOffset) / alignment * alignment;
    cuts->firstBase = values.archiveOffset;
    cuts->firstCapacity = fileEnd - values.archiveOffset;
  } else {
    uint64_t exeSize = values.configOffset + AlignUp(config.size(), alignment);
    if (span.diskSize <= exeSize) return Refuse(error, TooSmall(span, exeSize + 1));
    cuts->firstCapacity = span.diskSize - exeSize;
  }
  return true;
}

// "disk" and digits, in any case; the number, or 0 for another name.
size_t DiskNumber(const std::string& name) {
  static const char kPrefix[] = "disk";
  if (name.size() <= 4 || name.size() > 12) return 0;
  for (size_t i = 0; i < 4; ++i)
    if ((name[i] | 0x20) != kPrefix[i]) return 0;
  size_t number = 0;
  for (size_t i = 4; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return 0;
    number = number * 10 + static_cast<size_t>(name[i] - '0');
  }
  return number;
}

// The stem of a volume file the builder writes ("SETUP" of "SETUP.EXE",
// the extension in capitals as always written), or "" for another name.
std::string VolumeFileStem(const std::string& file) {
  static const char* const kExtensions[] = {".EXE", ".ZIP"};
  for (const char* extension : kExtensions) {
    size_t stemLength = file.size() - std::min(file.size(), std::strlen(extension));
    if (stemLength > 0 && file.compare(stemLength, std::string::npos, extension) == 0)
      return file.substr(0, stemLength);
  }
  return "";
}

// Adds the files of the older set's disk folder `disk` to `files`, or
// refuses: see ListOlderSetFiles. `stem` is the set's stem, "" until the
// first volume file is met.
bool ListDiskFiles(const std::filesystem::path& disk, std::string* stem, std::vector<std::string>* files,
                   std::string* error) {
  namespace fs = std::filesystem;
  std::string name = PrintableName(disk.filename().string());
  std::error_code failure;
  // Through a link, removing "its" files would remove files elsewhere.
  if (fs::symlink_status(disk, failure).type() != fs::file_type::directory)
    return Refuse(error, name + " is not a folder of an older set (a link or another kind of file); --force "
                                "removes only a set's own files, so it is left alone and nothing was removed");
  for (fs::directory_iterator it(disk, failure), end; !failure && it != end; it.increment(failure)) {
    std::string file = it->path().filename().string();
    std::error_code typeFailure;
    bool isFile = it->symlink_status(typeFailure).type() == fs::file_type::regular;
    std::string fileStem = VolumeFileStem(file);
    if (stem->empty()) *stem = fileStem;
    if (!isFile || fileStem.empty() || fileStem != *stem)
      return Refuse(error, name + " holds " + PrintableName(file) + ", which is not a file of an older set; --force "
                                  "removes only a set's own files, so nothing was removed");
    files->push_back((disk / file).string());
  }
  if (failure) return Refuse(error, "cannot list " + PrintableName(disk.string()) + ": " + failure.message());
  return true;
}

}  // namespace

std::vector<std::string> ExistingDiskFolders(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::pair<size_t, std::string>> found;
  std::error_code failure;
  for (fs::directory_iterator it(folder, failure), end; !failure && it != end; it.increment(failure)) {
    std::string name = it->path().filename().string();
    std::error_code typeFailure;
    if (DiskNumber(name) != 0 && it->is_directory(typeFailure)) found.emplace_back(DiskNumber(name), name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (const auto& [number, name] : found) names.push_back(name);
  return names;
}

bool ListOlderSetFiles(const std::string& folder, const std::vector<std::string>& names,
                       std::vector<std::string>* files, std::string* error) {
  std::string stem;  // the older set's, taken from the first volume file met
  files->clear();
  for (const std::string& name : names)
    if (!ListDiskFiles(std::filesystem::path(folder) / name, &stem, files, error)) return false;
  return true;
}

bool RemoveOlderSet(const std::string& folder, const std::vector<std::string>& names, std::string* error) {
  namespace fs = std::filesystem;
  std::vector<std::string> files;
  if (!ListOlderSetFiles(folder, names, &files, error)) return false;
  std::error_code failure;
  for (const std::string& file : files) {
    if (!fs::remove(file, failure) && failure)
      return Refuse(error, "cannot remove " + file + ": " + failure.message());
  }
  // Emptied now; anything that appeared meanwhile keeps its folder, and is
  // reported instead of removed.
  for (const std::string& name : names) {
    fs::path disk = fs::path(folder) / name;
    if (!fs::remove(disk, failure) && failure)
      return Refuse(error, "cannot remove " + disk.string() + ": " + failure.message());
  }
  return true;
}

std::string SetFileStem(const std::string& output) {
  std::string name = std::filesystem::path(output).filename().string();
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool BuildSpannedSet(const Bytes& stub, const StubLayout& layout, const Bytes& config, const Bytes& input,
                     const ZipArchive& archive, uint32_t flags, bool selfCheck, const SpanOptions& span,
                     const std::string& stem, std::vector<SetDisk>* disks, SettingsValues* values,
                     std::string* error) {
  values->configOffset = PayloadOffset(layout.image);
  values->archiveOffset = values->configOffset + static_cast<uint32_t>(config.size());
  values->endRecordOffset = 0;  // the end record is on the last disk, not in this file
  values->totalSize = TotalSize(archive);
  values->flags = SettingsFlags(archive, flags) | kFlagSpanned | (span.exeNames ? kFlagExeVolumes : 0);

  Cuts cuts;
  if (!PlanCuts(layout, config, span, *values, &cuts, error)) return false;
  uint64_t length = SpannedArchiveSize(archive);
  uint64_t diskCount = cuts.DisksFor(length);
  if (diskCount > kMaxDisks)
    return Refuse(error, "the set would take " + std::to_string(diskCount) + " disks; labels number at most " +
                             std::to_string(kMaxDisks));

  Bytes stream;
  WriteSpannedArchive(input, archive, [&cuts](uint64_t position) { return cuts.Place(position); }, &stream);
  std::string volumeName = stem + (span.exeNames ? ".EXE" : ".ZIP");
  disks->assign(diskCount, SetDisk());
  uint64_t from = 0;
  for (size_t i = 0; i < diskCount; ++i) {
    uint64_t capacity = i == 0 ? cuts.firstCapacity : cuts.diskSize;
    uint64_t to = std::min<uint64_t>(length, from + capacity);
    (*disks)[i].label = Label(i + 1);
    (*disks)[i].files.push_back({volumeName, Bytes(stream.begin() + from, stream.begin() + to)});
    from = to;
  }

  // Disk 1's self-extractor: with .EXE names it is the first volume itself;
  // with .ZIP names it holds no archive and sits beside the first volume.
  SetDisk& first = disks->front();
  Bytes payload = config;
  if (span.exeNames) {
    payload.insert(payload.end(), first.files[0].bytes.begin(), first.files[0].bytes.end());
    first.files.clear();
  }
  Bytes exe;
  if (!AssembleSelfExtractor(stub, layout, payload, selfCheck, &exe, values, error)) return false;
  first.files.insert(first.files.begin(), DiskFile{stem + ".EXE", std::move(exe)});
  return true;
}

bool WriteSpannedSet(const std::string& folder, const std::vector<SetDisk>& disks, std::string* error) {
  namespace fs = std::filesystem;
  std::vector<fs::path> written;
  auto undo = [&written] {
    std::error_code ignored;
    for (const fs::path& path : written) fs::remove(path, ignored);
  };
  for (size_t i = 0; i < disks.size(); ++i) {
    fs::path disk = fs::path(folder.empty() ? "." : folder) / ("disk" + std::to_string(i + 1));
    std::error_code failure;
    fs::create_directories(disk, failure);
    if (failure) {
      undo();
      return Refuse(error, "cannot create " + disk.string() + ": " + failure.message());
    }
    for (const DiskFile& file : disks[i].files) {
      fs::path path = disk / file.name;
      bool program = i == 0 && &file == &disks[i].files.front();  // the self-extractor; volumes are data
      if (!WriteFileAtomically(path.string(), file.bytes, error, program)) {
        *error = PrintableName(path.string()) + ": " + *error;
        undo();
        return false;
      }
      written.push_back(path);
    }
  }
  return true;
}
