// arcula-mksfx: makes a self-extractor from the stub, a config block and a
// ZIP archive (given, or zipped here from a folder).
//
// Everything is checked before anything is written: the stub, the texts,
// every entry of the archive. The output appears in one rename at the end,
// so a refusal leaves no file behind. A spanned set is written into one
// folder per disk.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mksfx/entry_checks.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/folder_archive.h"
#include "tools/mksfx/name_encoding.h"
#include "tools/mksfx/options.h"
#include "tools/mksfx/output_file.h"
#include "tools/mksfx/self_extractor.h"
#include "tools/mksfx/spanned_set.h"
#include "tools/mksfx/zip_reader.h"

namespace {

const int kExitRefused = 1;
const int kExitUsage = 2;
// A ZIP without ZIP64 ends within 4 GiB and a comment; a stub is small.
const uint64_t kMaxInputSize = 0xFFFFFFFFull + 0x10000;
const uint64_t kMaxStubSize = 64u << 20;

int Refused(const std::string& subject, const std::string& error) {
  std::fprintf(stderr, "arcula-mksfx: %s%s%s\n", PrintableName(subject).c_str(), subject.empty() ? "" : ": ",
               error.c_str());
  return kExitRefused;
}

// One line per problem, so that one run names every one of them.
int Refused(const std::string& subject, const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) Refused(subject, problem);
  if (problems.size() > 1)
    Refused(subject, std::to_string(problems.size()) + " problems; nothing was written");
  return kExitRefused;
}

std::string DefaultStubPath() {
  std::error_code failure;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  return (self.parent_path() / "arcula-sfx.exe").string();
}

// True when `path` is `folder` or lies somewhere below it.
bool IsInFolder(const std::string& path, const std::string& folder) {
  std::error_code pathFailure;
  std::error_code folderFailure;
  std::filesystem::path inner = std::filesystem::weakly_canonical(path, pathFailure);
  std::filesystem::path outer = std::filesystem::weakly_canonical(folder, folderFailure);
  if (pathFailure || folderFailure) return false;
  return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

// The folder INPUT zipped. The output is left out should it lie in the
// folder (an earlier build's); a set's disk folders, which the next build
// would pack, may not lie there at all.
bool ZipFolder(const BuildOptions& options, Bytes* zip, std::vector<std::string>* problems) {
  std::string setFolder = std::filesystem::path(options.output).parent_path().string();
  if (options.span.diskSize != 0 && IsInFolder(setFolder.empty() ? "." : setFolder, options.input)) {
    problems->push_back("the disk folders of the set would lie inside it; write the set outside the folder");
    return false;
  }
  bool outputLeftOut = false;
  if (!ArchiveFolder({options.input, options.password, options.output}, zip, &outputLeftOut, problems))
    return false;
  if (outputLeftOut)
    std::fprintf(stderr, "arcula-mksfx: %s: left out %s, the file being built\n",
                 PrintableName(options.input).c_str(), PrintableName(options.output).c_str());
  return true;
}

// The archive as a ZIP file's bytes: read from INPUT, or zipped from the
// folder INPUT (`*zippedHere` set).
bool LoadInput(const BuildOptions& options, Bytes* zip, bool* zippedHere, std::vector<std::string>* problems) {
  std::error_code failure;
  *zippedHere = std::filesystem::is_directory(options.input, failure);
  std::string error;
  if (*zippedHere && !options.nameCharset.empty())
    error = "--name-charset applies to a ZIP; names from a folder are UTF-8";
  else if (*zippedHere)
    return ZipFolder(options, zip, problems);
  else if (!options.password.empty())
    error = "--password applies to a folder; a ZIP keeps the encryption it has";
  else if (ReadWholeFile(options.input, kMaxInputSize, zip, &error))
    return true;
  problems->push_back(error);
  return false;
}

// One line for the names kept in a code page: how many, the first few.
void WarnOfUnmarkedNames(const std::string& input, const std::vector<std::string>& unmarked) {
  const size_t kShown = 3;
  if (unmarked.empty()) return;
  std::string names;
  for (size_t i = 0; i < unmarked.size() && i < kShown; ++i) names += (i ? ", " : "") + QuoteName(unmarked[i]);
  if (unmarked.size() > kShown) names += ", ...";
  std::fprintf(stderr,
               "arcula-mksfx: %s: warning: %zu %s not marked as UTF-8 and %s kept as stored, for Windows to read "
               "in its ANSI code page (%s); --name-charset CHARSET converts them\n",
               PrintableName(input).c_str(), unmarked.size(), unmarked.size() == 1 ? "name is" : "names are",
               unmarked.size() == 1 ? "is" : "are", names.c_str());
}

// The archive read and its names settled (see name_encoding.h).
bool ReadInput(const BuildOptions& options, Bytes* zip, ZipArchive* archive, std::vector<std::string>* problems) {
  bool zippedHere = false;
  std::string error;
  if (!LoadInput(options, zip, &zippedHere, problems)) return false;
  if (!ReadZipArchive(*zip, archive, &error)) {
    problems->push_back(error);
    return false;
  }
  std::vector<std::string> unmarked;
  if (!SettleNames({zippedHere, options.nameCharset}, archive, &unmarked, problems)) return false;
  WarnOfUnmarkedNames(options.input, unmarked);
  return true;
}

const char* MethodLabel(const ZipEntry& entry) {
  return entry.method == kZipMethodStored ? "stored" : "deflated";
}

void PrintList(const ZipArchive& archive) {
  std::printf("%10s %10s  %-8s  %-9s  %s\n", "Size", "Packed", "Method", "Encrypted", "Name");
  for (const ZipEntry& entry : archive.entries)
    std::printf("%10u %10u  %-8s  %-9s  %s\n", entry.uncompressedSize, entry.compressedSize,
                MethodLabel(entry), entry.IsEncrypted() ? "yes" : "no", PrintableName(entry.name).c_str());
}

// "NAME: n files (k encrypted), f folders, u bytes unpacked; SIZE" where
// SIZE is the file's size or what the set holds.
void PrintSummary(const std::string& output, const ZipArchive& archive,
                  const SettingsValues& settings, const std::string& size) {
  size_t folders = 0;
  size_t encrypted = 0;
  for (const ZipEntry& entry : archive.entries) {
    folders += entry.IsFolder();
    encrypted += entry.IsEncrypted() && !entry.IsFolder();
  }
  std::printf("%s: %zu files (%zu encrypted), %zu folders, %u bytes unpacked; %s\n",
              output.c_str(), archive.entries.size() - folders, encrypted, folders,
              settings.totalSize, size.c_str());
}

// One line per disk: its folder, the label it must carry, its files.
void PrintDisks(const std::vector<SetDisk>& disks) {
  for (size_t i = 0; i < disks.size(); ++i) {
    std::printf("disk%zu: label \"%s\":", i + 1, disks[i].label.c_str());
    for (const DiskFile& file : disks[i].files) std::printf(" %s (%zu bytes)", file.name.c_str(), file.bytes.size());
    std::printf("\n");
  }
}

// Writes the set into disk folders beside OUTPUT's name.
int BuildSet(const BuildOptions& options, const Bytes& stub, const StubLayout& layout, const Bytes& config,
             const Bytes& zip, const ZipArchive& archive) {
  std::string error;
  std::string stem = SetFileStem(options.output);
  std::string folder = std::filesystem::path(options.output).parent_path().string();
  std::vector<SetDisk> disks;
  SettingsValues settings;
  if (!BuildSpannedSet(stub, layout, config, zip, archive, options.flags, options.selfCheck, options.span, stem,
                       &disks, &settings, &error) ||
      !WriteSpannedSet(folder, disks, &error))
    return Refused(options.output, error);

  if (options.list) PrintList(archive);
  PrintDisks(disks);
  size_t total = 0;
  for (const SetDisk& disk : disks)
    for (const DiskFile& file : disk.files) total += file.bytes.size();
  std::string name = (std::filesystem::path(folder) / "disk1" / (stem + ".EXE")).string();
  PrintSummary(name, archive, settings, std::to_string(total) + " bytes on " + std::to_string(disks.size()) + " disks");
  return 0;
}

int Build(const BuildOptions& options) {
  std::string error;
  Bytes config;
  if (!BuildConfigBlock(options.texts, &config, &error)) return Refused("", error);

  std::string stubPath = options.stub.empty() ? DefaultStubPath() : options.stub;
  Bytes stub;
  StubLayout layout;
  if (!ReadWholeFile(stubPath, kMaxStubSize, &stub, &error)) return Refused("", error);
  if (!ReadStubLayout(stub, &layout, &error)) return Refused(stubPath, "not usable as a stub: " + error);

  Bytes zip;
  ZipArchive archive;
  std::vector<std::string> problems;
  if (!ReadInput(options, &zip, &archive, &problems)) return Refused(options.input, problems);
  if (!CheckEntries(zip, archive, &problems)) return Refused(options.input, problems);

  if (options.span.diskSize != 0) return BuildSet(options, stub, layout, config, zip, archive);

  Bytes out;
  SettingsValues settings;
  if (!BuildSelfExtractor(stub, layout, config, zip, archive, options.flags, options.selfCheck,
                          &out, &settings, &error) ||
      !WriteFileAtomically(options.output, out, &error))
    return Refused(options.output, error);

  if (options.list) PrintList(archive);
  PrintSummary(options.output, archive, settings, std::to_string(out.size()) + " bytes");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  BuildOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error)) {
    std::fprintf(stderr, "arcula-mksfx: %s\nTry 'arcula-mksfx --help'.\n", error.c_str());
    return kExitUsage;
  }
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  return Build(options);
}
