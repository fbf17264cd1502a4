// Fuzz target for a whole extraction pass, as the headless runner does it:
// start-up on a self-extractor file, then RunPass into a target folder, with
// the message boxes answered from a script.
//
// The input is the body of a ZIP archive. The target puts a minimal
// self-extractor in front of it (DOS and PE headers with the expected entry
// point, the settings block with a real image CRC, a config block) and writes
// the file into a sandbox folder. Its last byte (a comment or the end
// record's comment length in a real archive, so mutating it rarely breaks the
// archive) picks the run's options:
//   bit 0     overwrite setting
//   bit 1     archive marked encrypted and password "pw" typed
//   bit 2     a second pass after the first, as a second press of Unzip
//             (it meets the files of the first: overwrite questions)
//   bits 3-4  answer to odd-numbered questions  (Yes, No, Cancel, Yes)
//   bits 5-6  answer to even-numbered questions (later ones get the default)
//   bit 7     the self-check starts at the section table (sign-ready)
// and the byte before it (the other byte of that comment length) the layout:
//   bit 0     a spanned set of one disk, the executable on drive A:
//   bit 1     with .EXE volumes (the self-extractor is the volume); else a
//             .ZIP volume holding the archive alone beside it
// A spanned pass asks for the next disk at the end of the volume; the
// answers behind the scripted ones are Cancel there, so that it ends.
//
// After each run the sandbox must hold the files the target wrote, unchanged,
// and the target folder, nothing else; no file handle may stay open and no
// memory stay allocated. Any breach aborts, so libFuzzer keeps the input.
//
// The target folder sits deep in the sandbox: an entry name can climb at
// most one level per three bytes ("../"), and the joined path is bounded by
// the name buffer, so with the folder deep enough no name, however it got
// past the checks, could climb out of the sandbox undetected.
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/password_check.h"
#include "archive/entry.h"
#include "extract/scanner.h"
#include "fuzz/allocated_bytes.h"
#include "fuzz/run_state.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_volumes.h"
#include "base/abort.h"
#include "stub/checks.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "ui/unzip_flow.h"

namespace {

const char kSelfExtractorName[] = "sfx.EXE";  // the name an .EXE volume has
const char kZipVolumeName[] = "sfx.ZIP";
const char kDriveLetter = 'A';
const char kTargetName[] = "out";
const char kChainName[] = "d";
const uint32_t kEntryPoint = 0x1000;

// The front of the file: DOS header, PE headers, settings block, config block.
const uint32_t kLfanewOffset = 0x3C;
const uint32_t kPeOffset = 0x40;
const uint32_t kSettingsOffset = kPeOffset + kPeHeadersSize;
const uint32_t kConfigOffset = kSettingsOffset + sizeof(StubSettings);
const char kConfigBlock[] = "C:\\configured\0Fuzzing a pass\0\0Pass fuzz\0Built by the pass fuzzer";
const uint32_t kArchiveOffset = kConfigOffset + sizeof(kConfigBlock);  // the block ends with its fifth NUL

const int kQuestionAnswers[4] = {kAnswerYes, kAnswerNo, kAnswerCancel, kAnswerYes};
const int kScriptedQuestions = 8;
const int kClosingCancels = 64;

const uint8_t kLayoutSpanned = 0x01;
const uint8_t kLayoutExeVolumes = 0x02;

// What a chain folder's status says about its entries: any entry made or
// removed in it changes its modification time.
struct ChainStamp {
  struct timespec modified;
  nlink_t links;
};

struct Sandbox {
  std::string root;     // made by mkdtemp, removed at exit
  std::string folder;   // the innermost folder of the chain under root
  std::string target;
  uint32_t depth = 0;   // chain folders between root and folder
  std::vector<ChainStamp> stamps;  // of root and each chain folder but the innermost
};

// A file the target writes into the sandbox folder before a run.
struct SandboxFile {
  std::string name;
  std::vector<uint8_t> bytes;
};

Sandbox g_sandbox;
bool g_verbose;  // ARCULA_PASS_FUZZ_VERBOSE set: each run's outcome on stderr

// Where failures are told: the standard error the process started with,
// which stays open when libFuzzer's -close_fd_mask silences the message
// boxes the host side prints there.
int g_reportFd = 2;

[[noreturn]] void Fail(const std::string& what) {
  std::string line = "pass_fuzz: " + what + "\n";
  ssize_t written = ::write(g_reportFd, line.data(), line.size());
  (void)written;
  std::abort();
}

uint32_t Crc32(const uint8_t* bytes, size_t length) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < length; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutLe32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// Where the last end-record signature lies in the archive, as a file offset;
// 0 (not checked) when there is none.
uint32_t EndRecordOffset(const uint8_t* data, size_t size) {
  static const uint8_t kEndSignature[4] = {'P', 'K', 5, 6};
  for (size_t at = size >= 4 ? size - 4 + 1 : 0; at-- > 0;) {
    if (std::memcmp(data + at, kEndSignature, 4) == 0) return kArchiveOffset + static_cast<uint32_t>(at);
  }
  return 0;
}

std::vector<uint8_t> BuildSelfExtractor(const uint8_t* data, size_t size, uint8_t options, uint8_t layout) {
  std::vector<uint8_t> file(kArchiveOffset + size, 0);
  file[0] = 'M';
  file[1] = 'Z';
  PutLe32(&file, kLfanewOffset, kPeOffset);
  std::memcpy(file.data() + kPeOffset, "PE\0\0", 4);
  PutLe32(&file, kPeOffset + 20, 224);  // SizeOfOptionalHeader of a 32-bit image (Characteristics 0)
  PutLe32(&file, kPeOffset + 40, kEntryPoint);

  StubSettings settings;
  std::memset(&settings, 0, sizeof(settings));
  std::memcpy(settings.marker, "QJV\x01sfx\x02", kSettingsMarkerLength);
  settings.archiveOffset = kArchiveOffset;
  settings.configOffset = kConfigOffset;
  settings.endRecordOffset = EndRecordOffset(data, size);
  settings.totalSize = static_cast<uint32_t>(size);
  settings.flags = kFlagUnattended;  // no success box
  if ((options & 0x01) != 0) settings.flags |= kFlagOverwrite;
  if ((options & 0x02) != 0) settings.flags |= kFlagEncrypted;
  if ((options & 0x80) != 0) settings.flags |= kFlagCheckFromSectionTable;
  if ((layout & kLayoutSpanned) != 0) settings.flags |= kFlagSpanned;
  if ((layout & kLayoutExeVolumes) != 0) settings.flags |= kFlagExeVolumes;
  settings.completeness = 0xFFFF;
  std::memcpy(file.data() + kSettingsOffset, &settings, sizeof(settings));
  PutLe32(&file, kSettingsOffset + offsetof(StubSettings, expectedEntry), kEntryPoint);
  std::memcpy(file.data() + kConfigOffset, kConfigBlock, sizeof(kConfigBlock));

  // The CRC field counts as zero, as it is while the CRC is computed.
  uint32_t checkStart = (options & 0x80) != 0 ? kSettingsOffset : 0;
  uint32_t crc = Crc32(file.data() + checkStart, kArchiveOffset - checkStart);
  PutLe32(&file, kSettingsOffset + offsetof(StubSettings, imageCrc), crc);
  if (size != 0) std::memcpy(file.data() + kArchiveOffset, data, size);
  return file;
}

void WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
    Fail("cannot write " + path);
  }
  ::close(fd);
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Fail(path + " is gone");
  uint8_t chunk[65536];
  for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
  ::close(fd);
  return bytes;
}

std::set<std::string> FolderNames(const std::string& path) {
  std::set<std::string> names;
  DIR* folder = ::opendir(path.c_str());
  if (folder == nullptr) Fail("cannot list " + path);
  while (struct dirent* item = ::readdir(folder)) {
    std::string name = item->d_name;
    if (name != "." && name != "..") names.insert(name);
  }
  ::closedir(folder);
  return names;
}

ChainStamp StampOf(const std::string& path) {
  struct stat status;
  if (::lstat(path.c_str(), &status) != 0) Fail("cannot look at " + path);
  return ChainStamp{status.st_mtim, status.st_nlink};
}

bool SameStamp(const ChainStamp& first, const ChainStamp& second) {
  return first.modified.tv_sec == second.modified.tv_sec && first.modified.tv_nsec == second.modified.tv_nsec &&
         first.links == second.links;
}

// Every folder of the chain holds the next one alone; the innermost holds the
// files written before the run, unchanged, and the target folder. A chain
// folder is listed only when its status shows a change: a hundred listings
// a run would cost more than the run.
void CheckSandbox(const std::vector<SandboxFile>& files) {
  std::string path = g_sandbox.root;
  for (uint32_t level = 0; level < g_sandbox.depth; ++level) {
    if (!SameStamp(StampOf(path), g_sandbox.stamps[level])) {
      std::set<std::string> names = FolderNames(path);
      if (names != std::set<std::string>{kChainName}) Fail("something was written in " + path);
    }
    path += std::string("/") + kChainName;
  }
  std::set<std::string> expected = {kTargetName};
  for (const SandboxFile& file : files) expected.insert(file.name);
  for (const std::string& name : FolderNames(path)) {
    if (expected.count(name) == 0) Fail("written outside the target folder: " + path + "/" + name);
  }
  struct stat status;
  if (::lstat(g_sandbox.target.c_str(), &status) == 0 && !S_ISDIR(status.st_mode)) Fail("the target folder was replaced");
  for (const SandboxFile& file : files) {
    if (ReadWholeFile(path + "/" + file.name) != file.bytes) Fail(file.name + " was changed");
  }
}

int RemoveItem(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

void RemoveTree(const std::string& path) {
  struct stat status;
  if (::lstat(path.c_str(), &status) != 0) return;
  if (::nftw(path.c_str(), RemoveItem, 16, FTW_DEPTH | FTW_PHYS) != 0) Fail("cannot remove " + path);
}

// The lowest free descriptor: it moves up when a run leaves a file open.
int LowestFreeDescriptor() {
  int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  ::close(fd);
  return fd;
}

void RemoveSandbox() { RemoveTree(g_sandbox.root); }

// A folder on a RAM disk when there is one: the runs create and remove many
// small files.
std::string SandboxParent() {
  if (::access("/dev/shm", W_OK) == 0) return "/dev/shm";
  const char* tmp = std::getenv("TMPDIR");
  return tmp != nullptr && tmp[0] != 0 ? tmp : "/tmp";
}

void MakeSandbox() {
  std::string pattern = SandboxParent() + "/arcula-pass-fuzz-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back(0);
  if (::mkdtemp(name.data()) == nullptr) Fail("cannot make a sandbox under " + SandboxParent());
  g_sandbox.root = name.data();
  std::atexit(RemoveSandbox);

  // A joined path has at most kNameBufferSize - 1 bytes, of which the target
  // folder and a separator take their share; the rest of the name climbs at
  // most one level per three bytes. Going up out of the target folder takes
  // depth + 1 levels to reach the root and one more to leave it.
  const uint32_t rootLength = static_cast<uint32_t>(g_sandbox.root.size());
  const uint32_t fixedLength = rootLength + 1 + sizeof(kTargetName) - 1 + 1;  // "/out" and the separator
  uint32_t depth = 0;
  while (3 * (depth + 2) <= (kNameBufferSize - 1) - (fixedLength + 2 * depth)) ++depth;
  g_sandbox.depth = depth;

  std::string folder = g_sandbox.root;
  for (uint32_t level = 0; level < depth; ++level) {
    folder += std::string("/") + kChainName;
    if (::mkdir(folder.c_str(), 0755) != 0) Fail("cannot make " + folder);
  }
  g_sandbox.folder = folder;
  g_sandbox.target = folder + "/" + kTargetName;
  std::string path = g_sandbox.root;
  for (uint32_t level = 0; level < depth; ++level) {
    g_sandbox.stamps.push_back(StampOf(path));
    path += std::string("/") + kChainName;
  }
  if (folder.size() + sizeof(kSelfExtractorName) >= kExecutablePathSize) Fail("the sandbox path is too long");
}

void QueueAnswers(uint8_t options, uint8_t layout) {
  for (int question = 0; question < kScriptedQuestions; ++question) {
    int shift = question % 2 == 0 ? 3 : 5;
    HostQueueAnswer(kQuestionAnswers[(options >> shift) & 3]);
  }
  if ((layout & kLayoutSpanned) == 0) return;
  for (int question = 0; question < kClosingCancels; ++question) HostQueueAnswer(kAnswerCancel);
}

// The self-extractor is on drive A: in a spanned set, where its label says
// it is disk 1; elsewhere it is found by its own path, as the headless runner
// finds it.
void PlaceExecutable(uint8_t layout) {
  if ((layout & kLayoutSpanned) == 0) {
    CopyText(g_executablePath, (g_sandbox.folder + "/" + kSelfExtractorName).c_str(), kExecutablePathSize);
    return;
  }
  HostMapDrive(kDriveLetter, g_sandbox.folder);
  HostSetVolumeLabel(kDriveLetter, "PKBACK# 001");
  std::string path = std::string(1, kDriveLetter) + ":\\" + kSelfExtractorName;
  CopyText(g_executablePath, path.c_str(), kExecutablePathSize);
}

// What the headless runner does: start-up, then Unzip with the folder typed in.
void RunSelfExtractor(uint8_t options, uint8_t layout) {
  static char password[] = "pw";
  PlaceExecutable(layout);
  char tail[] = "";
  int startup = PrepareRun(nullptr, tail);
  if (g_verbose) ::dprintf(g_reportFd, "pass_fuzz: options 0x%02X, layout 0x%02X, start-up %d\n", options, layout, startup);
  // Start-up reads the config block from a .ZIP volume, where the input's
  // own bytes lie; anything else in front of the archive is the target's own
  // and must pass.
  if (startup != kStartupShowDialog) {
    if ((layout & kLayoutSpanned) != 0 && (layout & kLayoutExeVolumes) == 0) return;
    Fail("start-up refused the fuzzer's own front");
  }
  CompleteTargetFolder();
  CopyText(g_outputPaths.targetFolder, g_sandbox.target.c_str(), kTargetFolderSize);
  if (RefuseTargetFolder()) Fail("the target folder was refused");
  if (g_entry.encryptionFlag) StorePasswordBytes(password);
  // The look-ahead the runner makes before the pass reads the same hostile
  // bytes; its verdict is not followed here, so that the pass reads them too.
  if (g_entry.encryptionFlag) CheckPasswordAhead();
  QueueAnswers(options, layout);
  int passes = (options & 0x04) != 0 ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    ResetPassCounters();
    int code = RunPass();
    if (g_verbose) {
      ::dprintf(g_reportFd, "pass_fuzz: pass %d ended with code %d, %u file(s)\n", pass + 1, code,
                g_outputSink.fileCounter);
    }
  }
}

// One run on the input: files into the sandbox, start-up and the passes,
// then the checks of what is on disk.
void RunInput(const uint8_t* data, size_t size) {
  uint8_t options = size > 0 ? data[size - 1] : 0;
  uint8_t layout = size > 1 ? data[size - 2] : 0;
  std::vector<SandboxFile> files;
  files.push_back({kSelfExtractorName, BuildSelfExtractor(data, size, options, layout)});
  if ((layout & kLayoutSpanned) != 0 && (layout & kLayoutExeVolumes) == 0) {
    files.push_back({kZipVolumeName, std::vector<uint8_t>(data, data + size)});
  }
  for (const SandboxFile& file : files) WriteWholeFile(g_sandbox.folder + "/" + file.name, file.bytes);

  ResetRunState();
  std::memcpy(&g_settings, files[0].bytes.data() + kSettingsOffset, sizeof(StubSettings));
  RunSelfExtractor(options, layout);
  ResetRunState();

  CheckSandbox(files);
  RemoveTree(g_sandbox.target);
  for (const SandboxFile& file : files) ::unlink((g_sandbox.folder + "/" + file.name).c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // libFuzzer applies -close_fd_mask after this call.
  int reportFd = ::dup(2);
  if (reportFd >= 0) g_reportFd = reportFd;
  g_verbose = std::getenv("ARCULA_PASS_FUZZ_VERBOSE") != nullptr;
  MakeSandbox();
  ResetRunState();  // the host side's tables exist from here on
  ::tzset();        // file times are local: the C library loads the zone once
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return 0;
  // Both taken at every run: between runs libFuzzer itself may open
  // descriptors (the symbolizer's pipes) and allocate.
  int freeDescriptor = LowestFreeDescriptor();
  size_t allocatedBefore = AllocatedBytes();
  RunInput(data, size);
  size_t allocatedAfter = AllocatedBytes();
  if (g_verbose) ::dprintf(g_reportFd, "pass_fuzz: allocated %zu bytes before, %zu after\n", allocatedBefore, allocatedAfter);
  // The stub frees nothing on its abort path, so memory that lives only in
  // the frames an abort skips is lost for good, and LeakSanitizer may miss it
  // while a stale pointer stays in dead stack. The C library sets some
  // things up on first use, so a difference counts only when a second run of
  // the same input shows it again.
  if (allocatedAfter != allocatedBefore) {
    allocatedBefore = allocatedAfter;
    RunInput(data, size);
    allocatedAfter = AllocatedBytes();
    if (allocatedAfter != allocatedBefore) {
      long long change = static_cast<long long>(allocatedAfter) - static_cast<long long>(allocatedBefore);
      Fail("a run changed the allocated memory by " + std::to_string(change) + " bytes");
    }
  }
  if (LowestFreeDescriptor() != freeDescriptor) Fail("a run left a file open");
  return 0;
}
