// arcula-mksfx: makes a self-extractor from the stub, a config block and a
// ZIP archive (given, or zipped here from a folder).
//
// Everything is checked before anything is written: the stub, the texts,
// every entry of the archive. The output appears in one rename at the end,
// so a refusal leaves no file behind. A spanned set is written into one
// folder per disk.
//
// Standard output carries the report (report.h), and with --json the
// problems of a failed run too; standard error carries errors, and warnings
// unless --quiet.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/mksfx/entry_checks.h"
#include "tools/mksfx/entry_names.h"
#include "tools/mksfx/folder_archive.h"
#include "tools/mksfx/name_encoding.h"
#include "tools/mksfx/options.h"
#include "tools/mksfx/output_file.h"
#include "tools/mksfx/built_file.h"
#include "tools/mksfx/report.h"
#include "tools/mksfx/self_extractor.h"
#include "tools/mksfx/spanned_set.h"
#include "tools/mksfx/zip_reader.h"

namespace {

const int kExitRefused = 1;
const int kExitUsage = 2;
// A ZIP without ZIP64 ends within 4 GiB and a comment; a stub is small.
const uint64_t kMaxInputSize = 0xFFFFFFFFull + 0x10000;
const uint64_t kMaxStubSize = 64u << 20;

// Every error told this run, for the document --json prints when the run
// fails: a pipeline reads them there rather than parse standard error.
std::vector<Problem> g_toldProblems;

int Refused(const std::string& subject, const std::string& error) {
  g_toldProblems.push_back({subject, error});
  std::fprintf(stderr, "arcula-mksfx: %s%s%s\n", PrintableName(subject).c_str(), subject.empty() ? "" : ": ",
               error.c_str());
  return kExitRefused;
}

// One line per problem, so that one run names every one of them.
int Refused(const std::string& subject, const std::vector<std::string>& problems) {
  for (const std::string& problem : problems) Refused(subject, problem);
  if (problems.size() > 1)
    std::fprintf(stderr, "arcula-mksfx: %s%s%zu problems; nothing was written\n", PrintableName(subject).c_str(),
                 subject.empty() ? "" : ": ", problems.size());
  return kExitRefused;
}

// A usage error, told as those of the command line are.
int UsageError(const std::string& error) {
  g_toldProblems.push_back({"", error});
  std::fprintf(stderr, "arcula-mksfx: %s\nTry 'arcula-mksfx --help'.\n", error.c_str());
  return kExitUsage;
}

void Warn(const BuildOptions& options, const std::string& subject, const std::string& text) {
  if (options.quiet) return;
  std::fprintf(stderr, "arcula-mksfx: %s%s%s\n", PrintableName(subject).c_str(), subject.empty() ? "" : ": ",
               text.c_str());
}

// The stub of the processor asked for, beside the builder.
std::string DefaultStubPath(const std::string& arch) {
  std::error_code failure;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failure);
  return (self.parent_path() / (arch == "x64" ? "arcula-sfx64.exe" : "arcula-sfx.exe")).string();
}

// A file meant for one processor must not quietly come out for the other.
// With --stub the command line contradicts itself: a usage error. Without
// it, the stub beside the builder is the wrong one.
int RefuseArchMismatch(const BuildOptions& options, const std::string& stubPath, StubArch stubArch) {
  std::string asked = "--arch " + options.arch + " asks for an " + options.arch + " stub, but ";
  std::string found = std::string(" is an ") + ArchName(stubArch) + " one";
  if (options.stub.empty()) return Refused(stubPath, asked + "this stub" + found);
  return UsageError(asked + "--stub " + PrintableName(stubPath) + found);
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

// The folder that gets a set's disk folders: OUTPUT's.
std::string SetFolder(const BuildOptions& options) {
  std::string folder = std::filesystem::path(options.output).parent_path().string();
  return folder.empty() ? "." : folder;
}

// The folder INPUT zipped. The output is left out should it lie in the
// folder (an earlier build's); a set's disk folders, which the next build
// would pack, may not lie there at all.
bool ZipFolder(const BuildOptions& options, Bytes* zip, std::vector<std::string>* problems) {
  if (options.span.diskSize != 0 && IsInFolder(SetFolder(options), options.input)) {
    problems->push_back("the disk folders of the set would lie inside it; write the set outside the folder");
    return false;
  }
  bool outputLeftOut = false;
  FolderInput folder;
  folder.folder = options.input;
  folder.password = options.password;
  folder.zipCrypto = options.encryption == "zipcrypto";
  folder.output = options.output;
  folder.followLinks = options.followLinks;
  folder.clampTimes = options.clampTimes;
  folder.latestTime = options.latestTime;
  if (!ArchiveFolder(folder, zip, &outputLeftOut, problems)) return false;
  if (outputLeftOut)
    Warn(options, options.input, "left out " + PrintableName(options.output) + ", the file being built");
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
    error = "--password encrypts a folder INPUT; a ZIP's entries go in as they are and cannot be encrypted "
            "here: give the folder instead";
  else if (ReadWholeFile(options.input, kMaxInputSize, zip, &error))
    return true;
  problems->push_back(error);
  return false;
}

// One line for the names kept in a code page: how many, the first few.
void WarnOfUnmarkedNames(const BuildOptions& options, const std::vector<std::string>& unmarked) {
  const size_t kShown = 3;
  if (unmarked.empty()) return;
  std::string names;
  for (size_t i = 0; i < unmarked.size() && i < kShown; ++i) names += (i ? ", " : "") + QuoteName(unmarked[i]);
  if (unmarked.size() > kShown) names += ", ...";
  bool one = unmarked.size() == 1;
  Warn(options, options.input,
       "warning: " + std::to_string(unmarked.size()) + (one ? " name is" : " names are") +
           " not marked as UTF-8 and " + (one ? "is" : "are") +
           " kept as stored, for the self-extractor to read in the OEM code page of the machine that runs it (" +
           names + "); --name-charset CHARSET converts them");
}

// The archive read and its names settled (see name_encoding.h). False when
// there is no archive to check; names that cannot be read only add to
// `problems`.
bool ReadInput(const BuildOptions& options, Bytes* zip, ZipArchive* archive, std::vector<std::string>* problems) {
  bool zippedHere = false;
  std::string error;
  if (!LoadInput(options, zip, &zippedHere, problems)) return false;
  if (!ReadZipArchive(*zip, archive, &error)) {
    problems->push_back(error);
    return false;
  }
  // Names that cannot be read are added to `problems` and the run goes on,
  // so that the entry checks name every other problem too.
  std::vector<std::string> unmarked;
  SettleNames({zippedHere, options.nameCharset}, archive, &unmarked, problems);
  WarnOfUnmarkedNames(options, unmarked);
  return true;
}

// True when `a` and `b` name one file, through whatever paths or links.
bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first;
  struct stat second;
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

// An older set's disk folders would be mixed with the new set's (a stale
// disk5/, a SETUP.EXE beside a new setup.EXE): refused unless --force, which
// clears them once the new set is ready to be written. Folders that hold
// anything but an older set's volume files are refused even then.
bool CheckSetFolder(const BuildOptions& options, std::vector<std::string>* oldDisks, std::string* error) {
  std::string folder = SetFolder(options);
  *oldDisks = ExistingDiskFolders(folder);
  if (oldDisks->empty()) return true;
  std::string names;
  for (const std::string& name : *oldDisks) names += (names.empty() ? "" : ", ") + name;
  if (!options.force) {
    *error = "it holds the disk folders of an older set (" + names + "); --force clears them";
    return false;
  }
  for (const std::string& name : *oldDisks) {
    if (IsInFolder(options.input, (std::filesystem::path(folder) / name).string())) {
      *error = "INPUT lies in " + name + ", which --force would clear";
      return false;
    }
  }
  std::vector<std::string> oldFiles;
  return ListOlderSetFiles(folder, *oldDisks, &oldFiles, error);
}

// Writes the set into disk folders beside OUTPUT's name.
// `oldDisks` are the older set's folders that --force clears.
int BuildSet(const BuildOptions& options, const std::vector<std::string>& oldDisks, const Bytes& stub,
             const StubLayout& layout, const Bytes& config, const Bytes& zip, const ZipArchive& archive) {
  std::string error;
  std::string folder = SetFolder(options);
  std::string stem = SetFileStem(options.output);
  std::vector<SetDisk> disks;
  SettingsValues settings;
  if (!BuildSpannedSet(stub, layout, config, zip, archive, options.flags, options.selfCheck, options.span, stem,
                       &disks, &settings, &error))
    return Refused(options.output, error);
  if (!oldDisks.empty()) {
    if (!RemoveOlderSet(folder, oldDisks, &error)) return Refused(folder, error);
    std::string names;
    for (const std::string& name : oldDisks) names += (names.empty() ? "" : ", ") + name;
    Warn(options, folder, "cleared the older set's disk folders (" + names + ")");
  }
  // The error names the disk folder or file that could not be written.
  if (!WriteSpannedSet(folder, disks, &error)) return Refused("", error);

  BuildReport report;
  report.output = (std::filesystem::path(folder) / "disk1" / (stem + ".EXE")).string();
  report.archive = &archive;
  report.arch = layout.image.arch;
  for (const SetDisk& disk : disks)
    for (const DiskFile& file : disk.files) report.bytes += file.bytes.size();
  report.disks = &disks;
  report.list = options.list;
  report.summary = !options.quiet;
  PrintBuildReport(report, options.json);
  return 0;
}

int Build(const BuildOptions& options) {
  std::error_code failure;
  if (std::filesystem::is_directory(options.output, failure))
    return Refused(options.output, "OUTPUT is a folder; give the name of the file to write in it");
  if (IsSameFile(options.input, options.output))
    return Refused(options.output, "OUTPUT is INPUT; building would replace the input");
  for (const std::string& warning : OptionWarnings(options)) Warn(options, "", "warning: " + warning);
  std::string error;
  std::vector<std::string> oldDisks;
  if (options.span.diskSize != 0 && !CheckSetFolder(options, &oldDisks, &error))
    return Refused(SetFolder(options), error);
  Bytes config;
  if (!BuildConfigBlock(options.texts, &config, &error)) return Refused("", error);

  std::string stubPath = options.stub.empty() ? DefaultStubPath(options.arch) : options.stub;
  Bytes stub;
  StubLayout layout;
  if (!ReadWholeFile(stubPath, kMaxStubSize, &stub, &error)) return Refused(stubPath, error);
  if (!ReadStubLayout(stub, &layout, &error)) return Refused(stubPath, "not usable as a stub: " + error);
  if (!options.arch.empty() && options.arch != ArchName(layout.image.arch))
    return RefuseArchMismatch(options, stubPath, layout.image.arch);

  Bytes zip;
  ZipArchive archive;
  std::vector<std::string> problems;
  if (!ReadInput(options, &zip, &archive, &problems)) return Refused(options.input, problems);
  for (const std::string& warning : NameWarnings(archive)) Warn(options, options.input, "warning: " + warning);
  if (!CheckEntries(zip, archive, &problems)) return Refused(options.input, problems);

  if (options.span.diskSize != 0) return BuildSet(options, oldDisks, stub, layout, config, zip, archive);

  Bytes out;
  SettingsValues settings;
  if (!BuildSelfExtractor(stub, layout, config, zip, archive, options.flags, options.selfCheck,
                          &out, &settings, &error) ||
      !WriteFileAtomically(options.output, out, &error))
    return Refused(options.output, error);

  BuildReport report;
  report.output = options.output;
  report.archive = &archive;
  report.arch = layout.image.arch;
  report.bytes = out.size();
  report.list = options.list;
  report.summary = !options.quiet;
  PrintBuildReport(report, options.json);
  return 0;
}

int Show(const BuildOptions& options) {
  BuiltFile built;
  std::string error;
  if (!ReadBuiltFile(options.show, &built, &error)) return Refused(options.show, error);
  PrintBuiltFile(options.show, built, options.json);
  return 0;
}

// With --json a failed run prints its problems as a document too.
int WithProblemsTold(const BuildOptions& options, int status) {
  if (status != 0 && options.json) {
    if (options.show.empty())
      PrintProblemsJson("output", options.output, g_toldProblems);
    else
      PrintProblemsJson("file", options.show, g_toldProblems);
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  BuildOptions options;
  std::string error;
  if (!ParseOptions(argc, argv, &options, &error) || !ReadSourceDateEpoch(&options, &error))
    return UsageError(error);
  if (options.help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("arcula-mksfx %s\n", ARCULA_VERSION);
    return 0;
  }
  if (!options.show.empty()) return WithProblemsTold(options, Show(options));
  // ZIP times are local times without a zone; a reproducible build writes
  // them in UTC, so that the build machine's zone does not change the bytes.
  if (options.clampTimes) {
    setenv("TZ", "UTC0", 1);
    tzset();
  }
  return WithProblemsTold(options, Build(options));
}
