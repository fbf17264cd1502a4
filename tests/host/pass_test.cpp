// The extraction pass as a whole, run in this process exactly as the headless
// runner runs it: start-up (start-of-run checks, entry-point check, options)
// through PrepareRun, then what the dialog's Unzip does, then RunPass. Each
// self-extractor is crafted field by field (tests/support/zip_writer.h) on a
// stand-in stub; the target folder lies on drive X:, mapped to a scratch
// folder, so everything the pass writes, and nothing else, is on that drive.
//
// Every failure is a row: the file, what the user types, the exit status the
// runner would give, the one message shown, and what is on disk afterwards.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "extract/scanner.h"
#include "archive/crc32.h"
#include "inflate/inflate.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_calls.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_starter.h"
#include "platform/host/host_system.h"
#include "platform/host/host_ui.h"
#include "platform/host/host_window.h"
#include "platform/memory.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "base/work_memory.h"
#include "ui/controls.h"
#include "ui/meter.h"
#include "ui/progress.h"
#include "tests/host/aes_oracle.h"
#include "tests/host/failing_calls.h"
#include "tests/host/zlib_oracle.h"
#include "tests/support/deflate_writer.h"
#include "tests/support/process_state.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/shown_texts.h"
#include "tests/support/zip_writer.h"
#include "ui/unzip_flow.h"

namespace {

// --- what the user sees -----------------------------------------------------

const char kIncomplete[] = "This is an incomplete self-extractor;\nplease re-create the file and try again.";
const char kNameTooLong[] =
    "Zip contains filenames longer than are allowed by\nWindows. Arcula Self-Extractor cannot process this\nZip file.";
const char kNoPassword[] = "No password specified";
const char kWrongPassword[] = "Incorrect password specified";
const char kUnsupportedMethod[] = "Unsupported compression method";

// The executable's path is only known when the test runs.
const char kExe[] = "{exe}";

std::string ReadErrorText(int code) {
  return std::string("Error reading ") + kExe + ".  Possible cause: bad disk or file transfer error. <" +
         std::to_string(code) + ">";
}

std::string UnsafeNameText(const std::string& name) {
  return "Arcula Self-Extractor will not unzip " + name +
         ": its name points outside the target folder or to a device.";
}

std::string BadCrcText(const std::string& path, uint32_t computed, uint32_t stored) {
  char text[400];
  std::snprintf(text, sizeof text,
                "ZIP damaged: file %s: Bad CRC %08x (should be %08x).  Possible cause: file transfer error.",
                path.c_str(), computed, stored);
  return text;
}

std::string OverwriteText(const std::string& path) { return "File " + path + " already exists.  Overwrite file?"; }

// --- runner exit statuses, as arcula-headless reports them ----------------------

const int kExitCompleted = 0;
const int kExitAborted = 1;
const int kExitStartupFailed = 2;
const int kNoPass = -1;

const uint32_t kFlagsEncrypted = 0x100;

// --- archives -------------------------------------------------------------------

const std::string kAlpha = "alpha\n";

// The text of a log's last line, behind its date and time.
// The log's lines without their "YYYY-MM-DD HH:MM:SS " stamps.
std::vector<std::string> LogLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) end = log.size();
    std::string line = log.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line.size() < 20 ? line : line.substr(20));
    start = end + 1;
  }
  return lines;
}

const std::string kPassword = "pw";

// An encrypted entry's fields and data: `fields` describe the plain data
// (`data` as it would be stored without encryption).
std::pair<ZipFields, std::string> Encrypted(ZipFields fields, const std::string& data, bool checkFromTime) {
  fields.flags |= 1;
  fields.compressedSize = static_cast<uint32_t>(12 + data.size());
  uint8_t check = checkFromTime ? static_cast<uint8_t>(fields.time >> 8) : static_cast<uint8_t>(fields.crc32 >> 24);
  return {fields, EncryptTraditional(kPassword, check, data)};
}

ZipWriter OneFile() {
  ZipWriter zip;
  zip.File("a.txt", kAlpha);
  return zip;
}

SfxOptions Options(uint32_t flags = 0) {
  SfxOptions options;
  options.flags = flags;
  return options;
}

// The same, with nothing checked at start-up that the row does not need.
SfxOptions Unchecked() {
  SfxOptions options;
  options.selfCheck = false;
  options.hasConfig = false;
  options.endRecordOffset = 0;
  return options;
}

SelfExtractor Sfx(const ZipWriter& zip, SfxOptions options = SfxOptions()) {
  if (options.totalSize == 0) options.totalSize = zip.TotalSize();
  return MakeSelfExtractor(FakeStub(), zip.Bytes(), options);
}

// A file that ends right behind the archive, so that a record cut short is
// the end of the file (the zero bytes up to a sector would be read as data).
SelfExtractor Unpadded(const ZipWriter& zip, SfxOptions options = Unchecked()) {
  SelfExtractor sfx = Sfx(zip, options);
  sfx.bytes.resize(sfx.archiveOffset + zip.Size());
  return sfx;
}

SelfExtractor GoodSfx(SfxOptions options = SfxOptions()) {
  ZipWriter zip = OneFile();
  zip.Finish();
  return Sfx(zip, options);
}

SelfExtractor GoodSfx64(SfxOptions options) {
  ZipWriter zip = OneFile();
  zip.Finish();
  options.totalSize = zip.TotalSize();
  return MakeSelfExtractor(FakeStub64(), zip.Bytes(), options);
}

void SetSetting(SelfExtractor* sfx, uint32_t field, uint32_t value) {
  PutLe32(&sfx->bytes, sfx->settingsAt + field, value);
  RefreshImageCrc(sfx);
}

const uint32_t kArchiveOffsetField = 12;
const uint32_t kConfigOffsetField = 16;
const uint32_t kEndRecordField = 20;

// --- running it -------------------------------------------------------------------

struct RunSetup {
  std::string folder = "X:\\target";  // as typed into the folder field; empty: as start-up left it
  std::string password;               // as typed into the password dialog; empty: none
  std::vector<int> answers;           // for the questions, in order
  std::string tail;                   // the command line tail
  std::string executable;             // empty: the file written by the test
  bool meterShown = false;
};

RunSetup Folder(const std::string& folder) {
  RunSetup setup;
  setup.folder = folder;
  return setup;
}

RunSetup Password(const std::string& password) {
  RunSetup setup;
  setup.password = password;
  return setup;
}

RunSetup Answers(std::vector<int> answers, const std::string& password = "") {
  RunSetup setup;
  setup.answers = std::move(answers);
  setup.password = password;
  return setup;
}

struct Outcome {
  int exit = kExitCompleted;
  int jump = kNoPass;
  uint32_t files = 0;
  std::vector<HostBox> boxes;
  int startup = kStartupShowDialog;
  std::vector<std::string> told;  // the lines told to the starter's console
  int exitCode = kExitSuccess;    // the stub's exit code for the run
};

// A pass that never ends fails the test instead of hanging the suite.
const unsigned kTimeoutSeconds = 60;
const char* g_runningCase = "";

void OnTimeout(int) {
  std::fprintf(stderr, "\nThe run did not end within %u s: %s\n", kTimeoutSeconds, g_runningCase);
  _exit(1);
}

class Pass : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    HostMapDrive('X', drive_.Path());
    std::signal(SIGALRM, OnTimeout);
    alarm(kTimeoutSeconds);
  }
  void TearDown() override {
    alarm(0);
    Reset();
  }
  static void Reset() {
    ResetProcessState();
    HostClearBoxes();
    HostResetPaths();
    HostResetStarter();
  }

  std::string Exe() const { return files_.Join("test.exe"); }

  // What the runner does with a self-extractor file: settings block from the
  // file, start-up, the folder and password as typed, one pass.
  Outcome Run(const SelfExtractor& sfx, const RunSetup& setup = RunSetup()) {
    WriteBinaryFile(Exe(), sfx.bytes);
    ResetProcessState();
    HostClearBoxes();
    for (int answer : setup.answers) HostQueueAnswer(answer);
    std::string bytes = ReadBinaryFile(Exe());
    size_t marker = bytes.find(SettingsMarkerText());
    EXPECT_NE(marker, std::string::npos);
    CopyBytes(&g_settings, bytes.data() + marker, sizeof(StubSettings));
    CopyText(g_executablePath, (setup.executable.empty() ? Exe() : setup.executable).c_str(), kExecutablePathSize);

    Outcome outcome;
    std::string tail = setup.tail;
    int startup = PrepareRun(nullptr, &tail[0]);
    outcome.startup = startup;
    if (startup != kStartupShowDialog) {
      outcome.exit = startup == kExitSuccess || startup == kExitCancelled ? kExitCompleted : kExitStartupFailed;
      outcome.exitCode = startup;
    } else {
      outcome.exit = Unzip(setup, &outcome);
    }
    outcome.boxes = HostShownBoxes();
    outcome.told = HostStarterLines();
    return outcome;
  }

  int Unzip(const RunSetup& setup, Outcome* outcome) {
    if (!setup.folder.empty()) {
      CopyText(g_outputPaths.targetFolder, setup.folder.c_str(), kTargetFolderSize);
    } else {
      CompleteTargetFolder();
    }
    outcome->exitCode = kExitFailure;
    if (RefuseTargetFolder() != 0) return kExitAborted;
    password_ = setup.password;
    if (g_entry.encryptionFlag != 0 && !password_.empty()) StorePasswordBytes(password_.c_str());
    outcome->exitCode = kExitPassword;
    if (RefusePasswordBeforePass(nullptr)) return kExitAborted;
    ResetPassCounters();
    g_meterShown = setup.meterShown;
    outcome->jump = RunPass();
    outcome->files = g_outputSink.fileCounter;
    outcome->exitCode = outcome->jump == kJumpCompleted ? kExitSuccess : g_abortExitCode;
    return outcome->jump == kJumpCompleted ? kExitCompleted : kExitAborted;
  }

  std::string Expand(std::string text) const {
    size_t at = text.find(kExe);
    if (at != std::string::npos) text.replace(at, sizeof kExe - 1, Exe());
    return text;
  }

  // Exactly one box: the error, with the error icon and OK.
  void ExpectOnlyError(const Outcome& outcome, const std::string& text) const {
    ASSERT_EQ(outcome.boxes.size(), 1u) << (outcome.boxes.empty() ? "no box" : outcome.boxes[0].text);
    EXPECT_EQ(outcome.boxes[0].caption, kCaption);
    EXPECT_EQ(outcome.boxes[0].text, Expand(text));
    EXPECT_EQ(outcome.boxes[0].style, kBoxOk | kBoxIconError);
  }

  std::vector<std::string> Disk() const { return drive_.Tree(); }
  void ClearDrive() const {
    for (const auto& item : std::filesystem::directory_iterator(drive_.Path())) std::filesystem::remove_all(item.path());
  }
  std::string OnDisk(const std::string& relative) const { return ReadBinaryFile(drive_.Join(relative)); }

  ScratchFolder drive_;  // drive X:
  ScratchFolder files_;  // where the self-extractor lies
  std::string password_;
};

// --- the failure table --------------------------------------------------------------

struct FailureRow {
  const char* label;
  std::function<SelfExtractor()> make;
  RunSetup setup;
  int exit;  // kExitStartupFailed: stopped at start-up; kExitAborted: the pass ended with jump code 2
  std::string message;
  std::vector<std::string> disk;
  std::vector<std::pair<std::string, std::string>> contents;
};

const std::vector<std::string> kNothing = {};
const std::vector<std::string> kTargetOnly = {"target/"};
const std::vector<std::string> kFirstFile = {"target/", "target/a.txt"};

std::vector<FailureRow> StartOfRunFailures() {
  return {
      {"the executable cannot be opened", [] { return GoodSfx(); },
       [] { RunSetup s; s.executable = "/nonexistent/test.exe"; return s; }(), kExitStartupFailed, kHeaderCorrupt,
       kNothing, {}},
      {"a byte of the config block changed", [] {
         SfxOptions o;
         o.config = ConfigBlock("", "", "", "", "about");
         SelfExtractor s = GoodSfx(o);
         s.bytes[s.configOffset + 5] ^= 1;
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"-info on a file whose image was changed: the damage wins", [] {
         SelfExtractor s = GoodSfx();
         s.bytes[0x50] ^= 1;
         return s;
       }, [] { RunSetup setup; setup.tail = "-info"; return setup; }(), kExitStartupFailed, kHeaderCorrupt,
       kNothing, {}},
      {"a byte of the DOS stub changed, checked from 0", [] {
         SelfExtractor s = GoodSfx();
         s.bytes[0x50] ^= 1;
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a byte of the section table changed, checked from there (0x800)", [] {
         SelfExtractor s = GoodSfx(Options(0x800));
         s.bytes[kFakeLfanew + 248 + 1] ^= 1;
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a byte of a 64-bit image's section table changed, checked from there (0x800)", [] {
         SelfExtractor s = GoodSfx64(Options(0x800));
         s.bytes[kFakeLfanew + 264 + 1] ^= 1;
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"the checked length ends before the marker", [] {
         SelfExtractor s = GoodSfx();
         PutLe32(&s.bytes, s.settingsAt + kConfigOffsetField, 0);
         PutLe32(&s.bytes, s.settingsAt + kArchiveOffsetField, kFakeSettingsAt + 4);
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"the checked length runs past the end of the file", [] {
         SelfExtractor s = GoodSfx();
         PutLe32(&s.bytes, s.settingsAt + kConfigOffsetField, 0);
         PutLe32(&s.bytes, s.settingsAt + kArchiveOffsetField, static_cast<uint32_t>(s.bytes.size() + 0x200));
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a config block of 1257 bytes", [] {
         SfxOptions o;
         o.config = ConfigBlock("", "", "", "", std::string(1252, 'i'));
         return GoodSfx(o);
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a config folder of 261 bytes (refused, not cut)", [] {
         SfxOptions o;
         o.config = ConfigBlock("X:\\" + std::string(258, 'f'), "", "", "", "");
         return GoodSfx(o);
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a config block with four terminators", [] {
         SfxOptions o;
         o.config = std::string("X:\\t\0b\0c\0d\0e", 12);
         return GoodSfx(o);
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"a config offset behind the archive offset", [] {
         SelfExtractor s = GoodSfx();
         SetSetting(&s, kConfigOffsetField, s.archiveOffset + 4);
         return s;
       }, {}, kExitStartupFailed, kHeaderCorrupt, kNothing, {}},
      {"the file cut short inside the archive", [] {
         SelfExtractor s = GoodSfx();
         s.bytes.resize(s.archiveOffset + 40);
         return s;
       }, {}, kExitStartupFailed, kDamaged, kNothing, {}},
      {"the end record offset names a local header", [] {
         SelfExtractor s = GoodSfx();
         SetSetting(&s, kEndRecordField, s.archiveOffset);
         return s;
       }, {}, kExitStartupFailed, kDamaged, kNothing, {}},
      {"the end record offset lies beyond 2 GiB", [] {
         SelfExtractor s = GoodSfx();
         SetSetting(&s, kEndRecordField, 0xFFFFFFF0u);
         return s;
       }, {}, kExitStartupFailed, kDamaged, kNothing, {}},
      {"the entry point changed after building (headers unchecked with 0x800)", [] {
         SelfExtractor s = GoodSfx(Options(0x800));
         PutLe32(&s.bytes, kFakeLfanew + 40, 0x4321);
         return s;
       }, {}, kExitStartupFailed, kDamaged, kNothing, {}},
      {"the PE headers lie past the end of the file (no self-check)", [] {
         SfxOptions o;
         o.selfCheck = false;
         SelfExtractor s = GoodSfx(o);
         PutLe32(&s.bytes, 0x3C, 0x7FFFFF00);
         return s;
       }, {}, kExitStartupFailed, kDamaged, kNothing, {}},
      {"completeness word 0", [] {
         SfxOptions o;
         o.completeness = 0;
         return GoodSfx(o);
       }, {}, kExitStartupFailed, kIncomplete, kNothing, {}},
  };
}

// A one-file archive whose entry a.txt holds this stream, declared as the
// empty file it would be if the decoder ignored the damage.
ZipWriter DamagedStream(const DeflateWriter& w) {
  std::vector<uint8_t> stream = w.Stream();
  std::string packed(stream.begin(), stream.end());
  ZipFields f = DeflatedFile("a.txt", "", packed);
  ZipWriter z;
  z.Entry(f, packed).Finish();
  return z;
}

std::vector<FailureRow> RecordFailures() {
  const std::string big = Content(kInputBufferSize + 5000, 1);
  return {
      {"archive offset beyond what a seek reaches", [] {
         SelfExtractor s = GoodSfx(Unchecked());
         PutLe32(&s.bytes, s.settingsAt + kArchiveOffsetField, 0x80000000u);
         return s;
       }, {}, kExitAborted, kIoError, kNothing, {}},
      {"archive offset at the end of the file", [] {
         SelfExtractor s = Unpadded(OneFile());
         PutLe32(&s.bytes, s.settingsAt + kArchiveOffsetField, static_cast<uint32_t>(s.bytes.size()));
         return s;
       }, {}, kExitAborted, ReadErrorText(9), kNothing, {}},
      {"no end record behind the last entry", [] { return Unpadded(OneFile()); }, {}, kExitAborted,
       ReadErrorText(9), kFirstFile, {{"target/a.txt", kAlpha}}},
      {"local header cut short", [] {
         ZipWriter z;
         z.Raw(std::string("PK\x03\x04", 4) + std::string(10, '\x01'));
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(4), kNothing, {}},
      {"name cut short", [] {
         ZipFields f = StoredFile("abc", "");
         f.nameLength = 20;
         ZipWriter z;
         z.Local(f);
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(1), kNothing, {}},
      {"central directory header cut short", [] {
         ZipWriter z = OneFile();
         z.Raw(std::string("PK\x01\x02", 4) + std::string(20, '\0'));
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(6), kFirstFile, {}},
      {"end record cut short", [] {
         ZipWriter z = OneFile();
         z.Raw(std::string("PK\x05\x06", 4) + std::string(5, '\0'));
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(7), kFirstFile, {}},
      {"stored data cut short in its second block", [big] {
         ZipWriter z;
         z.Local(StoredFile("a.bin", big)).Raw(big.substr(0, kInputBufferSize + 2000));
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(2), {"target/", "target/a.bin"},
       {{"target/a.bin", big.substr(0, kInputBufferSize)}}},
      {"stored size field past the end of the file", [] {
         ZipFields f = StoredFile("a.txt", kAlpha);
         f.compressedSize = 0xFFFFFFFFu;
         ZipWriter z;
         z.Local(f).Raw(kAlpha).Finish();
         return Sfx(z);
       }, {}, kExitAborted, ReadErrorText(2), kFirstFile, {{"target/a.txt", ""}}},
      {"deflated size field past the end of the file", [] {
         std::string packed = ZlibRawDeflate(kAlpha);
         ZipFields f = DeflatedFile("a.txt", kAlpha, packed);
         f.compressedSize = 0x7FFFFFFFu;
         ZipWriter z;
         z.Local(f).Raw(packed).Finish();
         return Sfx(z);
       }, {}, kExitAborted, ReadErrorText(2), kFirstFile, {{"target/a.txt", ""}}},
      {"folder entry whose size points past the end", [] {
         ZipFields f = FolderEntry("d/");
         f.compressedSize = 0x7FFFFFF0u;
         ZipWriter z;
         z.Local(f).Finish();
         return Sfx(z);
       }, {}, kExitAborted, ReadErrorText(9), {"target/", "target/d/"}, {}},
      {"folder entry whose size, read as a signed seek, leads back to its own header", [] {
         ZipFields f = FolderEntry("d/");
         f.compressedSize = 0u - 32u;  // header and name
         ZipWriter z;
         z.Local(f).Finish();
         return Sfx(z);
       }, {}, kExitAborted, ReadErrorText(9), {"target/", "target/d/"}, {}},
      {"extra field length past the end of the file", [] {
         ZipFields f = StoredFile("a.txt", "");
         f.extraLength = 0xFFFF;
         ZipWriter z;
         z.Local(f);
         return Unpadded(z);
       }, {}, kExitAborted, ReadErrorText(9), kFirstFile, {{"target/a.txt", ""}}},
      {"encryption header cut short", [] {
         ZipFields f = StoredFile("a.txt", kAlpha);
         f.flags = 1;
         f.compressedSize = 100;
         ZipWriter z;
         z.Local(f).Raw("12345");
         return Unpadded(z, [] { SfxOptions o = Unchecked(); o.flags = kFlagsEncrypted; return o; }());
       }, Password(kPassword), kExitAborted, ReadErrorText(14), kTargetOnly, {}},
      {"stray bytes between two entries", [] {
         ZipWriter z = OneFile();
         z.Raw("junk").File("b.txt", "b").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kInvalidHeader, kFirstFile, {{"target/a.txt", kAlpha}}},
      {"a data descriptor where no entry promised one", [] {
         ZipWriter z = OneFile();
         z.Descriptor(StoredFile("a.txt", kAlpha)).Finish();
         return Sfx(z);
       }, {}, kExitAborted, kInvalidHeader, kFirstFile, {}},
      {"a name of 201 bytes", [] {
         ZipWriter z;
         z.File(std::string(201, 'n'), "x").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kNameTooLong, kNothing, {}},
      {"a name of 201 bytes in the central directory", [] {
         ZipWriter z = OneFile();
         z.Central(StoredFile(std::string(201, 'n'), "x"), 0).End(1, 0, 0);
         return Sfx(z);
       }, {}, kExitAborted, kNameTooLong, kFirstFile, {}},
      {"a name of length 0", [] {
         ZipWriter z;
         z.File("", "x").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kInvalidHeader, kNothing, {}},
      {"a name that begins with a NUL byte", [] {
         ZipWriter z;
         z.File(std::string("\0x.txt", 6), "x").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kInvalidHeader, kNothing, {}},
      {"an encrypted entry shorter than its 12-byte header", [] {
         ZipFields f = StoredFile("a.txt", "12345");
         f.flags = 1;
         ZipWriter z;
         z.Entry(f, "12345").Finish();
         return Sfx(z, Options(kFlagsEncrypted));
       }, Password(kPassword), kExitAborted, kInvalidHeader, kTargetOnly, {}},
      {"compression method 9", [] {
         ZipFields f = StoredFile("a.txt", kAlpha);
         f.method = 9;
         ZipWriter z;
         z.Entry(f, kAlpha).Finish();
         return Sfx(z);
       }, {}, kExitAborted, kUnsupportedMethod, kFirstFile, {{"target/a.txt", ""}}},
      {"a CRC that does not match the data", [] {
         ZipFields f = StoredFile("a.txt", kAlpha);
         f.crc32 = 0x12345678;
         ZipWriter z;
         z.Entry(f, kAlpha).File("b.txt", "b").Finish();
         return Sfx(z);
       }, {}, kExitAborted, BadCrcText("X:\\target\\a.txt", Crc32Of(kAlpha), 0x12345678), kFirstFile,
       {{"target/a.txt", kAlpha}}},
      // Damaged data that the CRC cannot catch: streams the decoder refuses,
      // whose declared CRC and size match the empty output, and sizes that
      // differ from what the data gives. The file keeps what was written (at
      // most one byte past its declared size) and the pass stops.
      {"a deflated stream with an incomplete code-length code", [] {
         std::vector<uint8_t> lengths(19, 0);
         lengths[0] = lengths[1] = 2;  // two of the four 2-bit codes
         DeflateWriter w;
         w.DynamicCounts(true, 257, 1, lengths);
         w.Bits(0, 32);
         return Sfx(DamagedStream(w));
       }, {}, kExitAborted, kDamaged, kFirstFile, {{"target/a.txt", ""}}},
      {"a deflated stream whose repeat runs past its code lengths", [] {
         DeflateWriter w;
         w.DynamicCounts(true, 257, 1, CompleteCodeLengths(19));
         w.CodeLengthSymbol(18, 138 - 11);
         w.CodeLengthSymbol(18, 138 - 11);  // 276 lengths of the 258 sent
         w.Bits(0, 32);
         return Sfx(DamagedStream(w));
       }, {}, kExitAborted, kDamaged, kFirstFile, {{"target/a.txt", ""}}},
      {"a deflated entry that writes more than its declared size", [big] {
         std::string packed = ZlibRawDeflate(big);
         ZipFields f = DeflatedFile("a.txt", big, packed);
         f.uncompressedSize = 10;
         ZipWriter z;
         z.Entry(f, packed).File("b.txt", "b").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kDamaged, kFirstFile, {{"target/a.txt", big.substr(0, 11)}}},
      {"a stored entry shorter than its declared size", [] {
         ZipFields f = StoredFile("a.txt", kAlpha);
         f.uncompressedSize += 5;
         ZipWriter z;
         z.Entry(f, kAlpha).File("b.txt", "b").Finish();
         return Sfx(z);
       }, {}, kExitAborted, kDamaged, kFirstFile, {{"target/a.txt", kAlpha}}},
      {"a folder where the file goes (overwrite on)", [] {
         ZipWriter z;
         z.Entry(FolderEntry("a/"), "").File("a", "x").Finish();
         return Sfx(z, Options(0x2));
       }, {}, kExitAborted, "Can't create output file: X:\\target\\a", {"target/", "target/a/"}, {}},
      {"a file where a folder goes", [] {
         ZipWriter z;
         z.File("a", "x").File("a/b/c.txt", "c").Finish();
         return Sfx(z);
       }, {}, kExitAborted, "Could not create \"X:\\target\\a\\b\" - unzip operation cancelled.",
       {"target/", "target/a"}, {}},
      {"a drive that does not exist", [] { return GoodSfx(); }, Folder("Q:\\out"), kExitAborted,
       "Drive Q is not a valid drive, unzip operation cancelled.", kNothing, {}},
  };
}

// Names that would leave the target folder or open a device: refused before
// anything of the entry is made; the entry before them stays.
std::vector<FailureRow> UnsafeNameFailures() {
  std::vector<FailureRow> rows;
  for (const char* name : {"../evil.txt", "sub/../../evil.txt", "/../evil.txt", "sub\\..\\..\\evil.txt", "../",
                           "C:evil.txt", "X:\\evil.txt", "a.txt:stream", "CON", "prn.txt", "sub/COM1", "LPT9.x",
                           "sub/aux/", "nul/x.txt", "COM0", "lpt0.log", "COM\xC2\xB9", "sub/Lpt\xC2\xB3 .txt",
                           "sub/ /x.txt", "sub/. /"}) {
    std::string entry = name;
    rows.push_back({name, [entry] {
                      ZipWriter z = OneFile();
                      bool folder = entry.back() == '/';
                      ZipFields f = folder ? FolderEntry(entry) : StoredFile(entry, "evil");
                      bool ascii = std::all_of(entry.begin(), entry.end(), [](char c) { return (c & 0x80) == 0; });
                      if (!ascii) f.flags |= 0x800;  // the superscripts, in UTF-8
                      z.Entry(f, folder ? "" : "evil");
                      z.Finish();
                      return Sfx(z);
                    }, {}, kExitAborted, UnsafeNameText(entry), kFirstFile, {{"target/a.txt", kAlpha}}});
  }
  return rows;
}

// The exit code a failure's message stands for: a read or write error (the
// archive could not be read, a file or folder not made) is 6, every other
// failure 1.
int ExitCodeOfFailure(const std::string& message) {
  for (const char* readOrWrite : {"Error reading ", "I/O error on file.", "Can't create output file: ",
                                  "Could not create \"", "Error writing to "}) {
    if (message.rfind(readOrWrite, 0) == 0) return kExitReadWrite;
  }
  return kExitFailure;
}

TEST_F(Pass, FailuresShowTheirMessageAndLeaveOnlyWhatWasDone) {
  std::vector<FailureRow> rows = StartOfRunFailures();
  for (auto group : {RecordFailures(), UnsafeNameFailures()}) rows.insert(rows.end(), group.begin(), group.end());
  for (const FailureRow& row : rows) {
    SCOPED_TRACE(row.label);
    g_runningCase = row.label;
    ClearDrive();
    Outcome outcome = Run(row.make(), row.setup);
    EXPECT_EQ(outcome.exit, row.exit);
    EXPECT_EQ(outcome.jump, row.exit == kExitAborted ? kJumpAborted : kNoPass);
    EXPECT_EQ(outcome.exitCode, ExitCodeOfFailure(row.message));
    ExpectOnlyError(outcome, row.message);
    EXPECT_EQ(Disk(), row.disk);
    for (const auto& file : row.contents) EXPECT_EQ(OnDisk(file.first), file.second) << file.first;
    EXPECT_EQ(g_outputSink.file, 0);  // no file left open behind the abort
    EXPECT_EQ(g_scanner.passRunning, 0);
  }
}

// A disk with room for this many bytes of output: writes beyond fail as a
// full disk fails them (the output file is made afresh, so a device such as
// /dev/full cannot stand in for it).
const size_t kDiskRoom = 5000;
size_t g_diskUsed = 0;

ssize_t WriteToSmallDisk(int fd, const void* buffer, size_t count) {
  size_t room = kDiskRoom - g_diskUsed;
  if (room == 0) {
    errno = ENOSPC;
    return -1;
  }
  ssize_t written = kRealHostCalls.writeFile(fd, buffer, count < room ? count : room);
  if (written > 0) g_diskUsed += static_cast<size_t>(written);
  return written;
}

TEST_F(Pass, WriteFailureIsMessage35AndKeepsThePartialFile) {
  const std::string content = Content(40000, 2);
  ZipWriter z;
  z.File("full", content).Finish();
  g_diskUsed = 0;
  g_hostCalls.writeFile = WriteToSmallDisk;
  Outcome outcome = Run(Sfx(z, Options(0x2)));
  g_hostCalls = kRealHostCalls;
  EXPECT_EQ(outcome.exit, kExitAborted);
  EXPECT_EQ(outcome.jump, kJumpAborted);
  ExpectOnlyError(outcome, "Error writing to X:\\target\\full.  Possible cause: disk full.");
  EXPECT_EQ(OnDisk("target/full"), content.substr(0, kDiskRoom));
}

// --- start-of-run checks that let the file through ----------------------------------

TEST_F(Pass, ChecksThatPass) {
  struct Row {
    const char* label;
    std::function<SelfExtractor()> make;
    std::string tail;
    std::vector<std::string> boxes;  // texts shown
    int exit;
  };
  const std::vector<Row> rows = {
      {"image CRC 0: a changed info text is not checked", [] {
         SfxOptions o;
         o.selfCheck = false;
         o.config = ConfigBlock("", "", "", "", "about");
         SelfExtractor s = GoodSfx(o);
         s.bytes[s.configOffset + 4] = 'A';
         return s;
       }, "-info", {"About"}, kExitCompleted},
      {"0x800: a changed DOS stub byte is outside the check", [] {
         SelfExtractor s = GoodSfx(Options(0x800));
         s.bytes[0x50] ^= 1;
         s.bytes[kFakeLfanew + 60] ^= 1;  // and an optional header byte other than the entry point
         return s;
       }, "", {}, kExitCompleted},
      {"0x800 on a 64-bit image: the end of its longer optional header is outside the check", [] {
         SelfExtractor s = GoodSfx64(Options(0x800));
         s.bytes[kFakeLfanew + 24 + 230] ^= 1;  // a data directory, past where a 32-bit header ends
         return s;
       }, "", {}, kExitCompleted},
      {"a changed archive byte passes the self-check and fails its entry's CRC", [] {
         SelfExtractor s = GoodSfx();
         s.bytes[s.archiveOffset + 30 + 5] ^= 0x20;  // 'a' of "alpha"
         return s;
       }, "", {BadCrcText("X:\\target\\a.txt", Crc32Of("Alpha\n"), Crc32Of(kAlpha))}, kExitAborted},
      {"any completeness word but 0 counts as complete", [] {
         SfxOptions o;
         o.completeness = 1;
         return GoodSfx(o);
       }, "", {}, kExitCompleted},
      {"a config block of 1256 bytes is read", [] {
         SfxOptions o;
         o.config = ConfigBlock("", "", "", "", "i" + std::string(1250, 'j'));
         return GoodSfx(o);
       }, "-info", {"i" + std::string(510, 'j')}, kExitCompleted},
      {"no config block: empty info text", [] { return GoodSfx(Unchecked()); }, "-info", {""}, kExitCompleted},
      {"title skipped without 0x10, info behind it still read", [] {
         SfxOptions o;
         o.config = ConfigBlock("X:\\t", "line", "", "Title", "info");
         return GoodSfx(o);
       }, "x -info", {"info"}, kExitCompleted},
      {"end record offset 0: a file cut short is only found by the pass", [] {
         SfxOptions o;
         o.endRecordOffset = 0;
         SelfExtractor s = GoodSfx(o);
         s.bytes.resize(s.archiveOffset + 30 + 5 + kAlpha.size());  // behind a.txt
         return s;
       }, "", {ReadErrorText(9)}, kExitAborted},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    Outcome outcome = Run(row.make(), [&] { RunSetup s; s.tail = row.tail; return s; }());
    EXPECT_EQ(outcome.exit, row.exit);
    std::vector<std::string> texts;
    for (const HostBox& box : outcome.boxes) texts.push_back(box.text);
    std::vector<std::string> expected;
    for (const std::string& text : row.boxes) expected.push_back(Expand(text));
    EXPECT_EQ(texts, expected);
  }
}

// --- flows ---------------------------------------------------------------------------

// Every size around the blocks of input (kInputBufferSize) and output (the
// decoder's window), and a few small ones, stored, deflated and encrypted
// (with and without bit 3), in one archive: each entry must end exactly where
// the next record begins.
TEST_F(Pass, EntriesAroundTheChunkSizesExtractExactly) {
  ZipWriter zip;
  std::vector<std::pair<std::string, std::string>> expected;
  uint32_t seed = 10;
  const size_t sizes[] = {0, 1, 2047, 2048, 2049, 5000, kWindowSize - 1, kWindowSize, kWindowSize + 1,
                          kInputBufferSize - 1, kInputBufferSize, kInputBufferSize + 1, 2 * kInputBufferSize + 70000};
  for (size_t size : sizes) {
    std::string content = Content(size, seed++);
    std::string packed = ZlibRawDeflate(content);
    std::string n = std::to_string(size);
    zip.File("stored/" + n, content);
    zip.Entry(DeflatedFile("deflated/" + n, content, packed), packed);
    auto stored = Encrypted(StoredFile("encrypted-stored/" + n, content), content, false);
    zip.Entry(stored.first, stored.second);
    ZipFields withDescriptor = DeflatedFile("encrypted-deflated/" + n, content, packed);
    withDescriptor.flags = 8;
    auto deflated = Encrypted(withDescriptor, packed, true);
    zip.Entry(deflated.first, deflated.second);
    for (const char* kind : {"stored/", "deflated/", "encrypted-stored/", "encrypted-deflated/"}) {
      expected.push_back({std::string("target/") + kind + n, content});
    }
  }
  zip.Finish();
  Outcome outcome = Run(Sfx(zip, Options(kFlagsEncrypted)), Password(kPassword));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes[0].text;
  EXPECT_EQ(outcome.files, expected.size());
  for (const auto& file : expected) EXPECT_EQ(OnDisk(file.first), file.second) << file.first;
}

// The password is checked before the pass, against the first encrypted
// entry with data, wherever it lies: a missing or wrong one makes nothing at
// all (no target, no folder, no plain file ahead of it) and ends with exit
// code 4. Where it cannot be told ahead, the pass checks each entry as before.
TEST_F(Pass, PasswordIsCheckedBeforeAnythingIsMade) {
  auto encryptedBehind = [](ZipWriter zip, ZipFields fields) {
    auto entry = Encrypted(fields, kAlpha, false);
    zip.Entry(entry.first, entry.second).Finish();
    return Sfx(zip, Options(kFlagsEncrypted));
  };
  ZipWriter plainAhead;
  plainAhead.File("sub/", "").File("sub/plain.txt", kAlpha);
  ZipFields unknownSize = StoredFile("sub/", "");
  unknownSize.flags = 8;  // sizes of 0 with a descriptor: where it ends cannot be told from its header
  ZipWriter unknownAhead;
  unknownAhead.Entry(unknownSize, "");
  struct Row {
    const char* label;
    SelfExtractor sfx;
    std::string password;
    const char* message;  // null: none
    int exitCode;
    std::vector<std::string> disk;
  };
  const std::vector<Row> rows = {
      {"no password", encryptedBehind(ZipWriter(), StoredFile("sub/a.txt", kAlpha)), "", kNoPassword, kExitPassword,
       kNothing},
      {"a wrong one", encryptedBehind(ZipWriter(), StoredFile("sub/a.txt", kAlpha)), "PW", kWrongPassword,
       kExitPassword, kNothing},
      {"a wrong one behind a folder and a plain file", encryptedBehind(plainAhead, StoredFile("b.txt", kAlpha)),
       "PW", kWrongPassword, kExitPassword, kNothing},
      {"the right one behind them", encryptedBehind(plainAhead, StoredFile("b.txt", kAlpha)), kPassword, nullptr,
       kExitSuccess, {"target/", "target/b.txt", "target/sub/", "target/sub/plain.txt"}},
      {"behind an entry of unknown size: told by the pass", encryptedBehind(unknownAhead, StoredFile("b.txt", kAlpha)),
       "PW", kWrongPassword, kExitPassword, {"target/", "target/sub/"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    Outcome outcome = Run(row.sfx, Password(row.password));
    EXPECT_EQ(outcome.exitCode, row.exitCode);
    if (row.message != nullptr) {
      ExpectOnlyError(outcome, row.message);
    } else {
      EXPECT_TRUE(outcome.boxes.empty());
    }
    EXPECT_EQ(Disk(), row.disk);
  }
}

// The password's check byte is the high byte of the time when bit 3 is set,
// else the high byte of the CRC.
TEST_F(Pass, CheckByteFollowsBit3) {
  struct Row {
    bool bit3;
    bool checkFromTime;
    bool accepted;
  };
  for (const Row& row : {Row{true, true, true}, Row{true, false, false}, Row{false, false, true},
                         Row{false, true, false}}) {
    SCOPED_TRACE(testing::Message() << "bit 3 " << row.bit3 << ", check from time " << row.checkFromTime);
    ClearDrive();
    ZipFields fields = StoredFile("a.txt", kAlpha);
    ASSERT_NE(fields.time >> 8, fields.crc32 >> 24);
    if (row.bit3) fields.flags = 8;
    auto entry = Encrypted(fields, kAlpha, row.checkFromTime);
    ZipWriter zip;
    zip.Entry(entry.first, entry.second).Finish();
    Outcome outcome = Run(Sfx(zip, Options(kFlagsEncrypted)), Password(kPassword));
    if (row.accepted) {
      EXPECT_EQ(outcome.exit, kExitCompleted);
      EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
    } else {
      EXPECT_EQ(outcome.exit, kExitAborted);
      ExpectOnlyError(outcome, kWrongPassword);
    }
  }
}

// True when `password` decrypts the first entry's encryption header of an
// archive with bit 3 set to the check byte (the high byte of its DOS time).
// One byte lets a wrong password through once in 256: Info-ZIP's header is
// random, so a test that means a refusal picks a password this check refuses.
bool PassesCheckByte(const std::string& archive, const char* password) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(archive.data());
  size_t header = 30 + ReadLe16(bytes + 26) + ReadLe16(bytes + 28);
  BuildCrcTable();  // the keys step with the CRC table, which start-up otherwise builds
  InitKeys(password);
  uint8_t last = 0;
  for (size_t i = 0; i < kEncryptionHeaderSize; ++i) {
    last = static_cast<uint8_t>(bytes[header + i] ^ DecryptByte());
    UpdateKeys(last);
  }
  ResetCipher();
  return last == bytes[11];
}

// Info-ZIP's own encryption, straight from `zip -e -P` (its local headers
// hold real sizes; bit 3 is set, so the check byte comes from the time).
TEST_F(Pass, PasswordsOfAnInfoZipArchive) {
  ScratchFolder work;
  const std::string big = Content(70000, 3);
  WriteBinaryFile(work.Join("a.txt"), kAlpha);
  WriteBinaryFile(work.Join("big.bin"), big);
  std::string command = "cd '" + work.Path() + "' && zip -q -e -P secret archive.zip a.txt big.bin";
  if (std::system(command.c_str()) != 0) GTEST_SKIP() << "Info-ZIP zip is not available";
  std::string archive = ReadBinaryFile(work.Join("archive.zip"));
  ASSERT_EQ(archive[6] & 9, 9) << "zip -e sets bits 0 and 3";
  SelfExtractor sfx = MakeSelfExtractor(FakeStub(), archive, Options(kFlagsEncrypted));
  ASSERT_TRUE(PassesCheckByte(archive, "secret"));
  const char* wrong = "Secret";
  for (const char* candidate : {"Secret", "SECRET", "secret!", "Secret2"}) {
    wrong = candidate;
    if (!PassesCheckByte(archive, candidate)) break;
  }

  struct Row {
    const char* password;
    int exit;
    const char* message;
  };
  for (const Row& row : {Row{"secret", kExitCompleted, nullptr}, Row{wrong, kExitAborted, kWrongPassword},
                         Row{"", kExitAborted, kNoPassword}}) {
    SCOPED_TRACE(row.password);
    ClearDrive();
    Outcome outcome = Run(sfx, Password(row.password));
    EXPECT_EQ(outcome.exit, row.exit);
    if (row.message == nullptr) {
      EXPECT_TRUE(outcome.boxes.empty());
      EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
      EXPECT_EQ(OnDisk("target/big.bin"), big);
    } else {
      ExpectOnlyError(outcome, row.message);
      EXPECT_EQ(outcome.exitCode, kExitPassword);
      EXPECT_EQ(Disk(), kNothing);  // refused before the pass
    }
  }
}

// --- AES-encrypted entries -------------------------------------------------------

// An AES entry (method 99, field 0x9901) of `content`, stored or deflated
// before it was encrypted with kPassword. AE-1 keeps the CRC, AE-2 stores 0.
std::pair<ZipFields, std::string> AesEntry(const std::string& name, const std::string& content, uint8_t strength,
                                           uint16_t version, bool deflated) {
  std::string data = deflated ? ZlibRawDeflate(content) : content;
  ZipFields fields = deflated ? DeflatedFile(name, content, data) : StoredFile(name, content);
  fields.extra = AesExtraField(version, strength, fields.method);
  fields.method = 99;
  fields.flags |= 1;
  if (version == 2) fields.crc32 = 0;
  std::string encrypted = EncryptAes(kPassword, strength, data);
  fields.compressedSize = static_cast<uint32_t>(encrypted.size());
  return {fields, encrypted};
}

SelfExtractor AesSfx(const std::vector<std::pair<ZipFields, std::string>>& entries) {
  ZipWriter zip;
  for (const auto& entry : entries) zip.Entry(entry.first, entry.second);
  zip.Finish();
  return Sfx(zip, Options(kFlagsEncrypted));
}

// Every key size, both versions, stored and deflated, from a few bytes to
// entries that take many refills and key-stream batches.
TEST_F(Pass, AesEntriesOfEveryKeySizeAndVersion) {
  const std::string big = Content(70001, 4);
  for (uint8_t strength : {1, 2, 3}) {
    for (uint16_t version : {1, 2}) {
      for (bool deflated : {false, true}) {
        SCOPED_TRACE(testing::Message() << "strength " << int{strength} << ", AE-" << version << ", deflated "
                                        << deflated);
        ClearDrive();
        SelfExtractor sfx = AesSfx({AesEntry("a.txt", kAlpha, strength, version, deflated),
                                    AesEntry("big.bin", big, strength, version, deflated)});
        Outcome outcome = Run(sfx, Password(kPassword));
        EXPECT_EQ(outcome.exit, kExitCompleted);
        EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes[0].text;
        EXPECT_EQ(outcome.files, 2u);
        EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
        EXPECT_EQ(OnDisk("target/big.bin"), big);
      }
    }
  }
}

// A wrong password is caught by the verifier, before anything is made; a
// changed byte of the data or of the code stops the pass with the damage
// message and leaves nothing of that entry behind (a file ahead of it stays).
TEST_F(Pass, AesFailuresLeaveNothingOfTheEntry) {
  const std::string content = Content(5000, 5);
  auto flipped = [](std::pair<ZipFields, std::string> entry, size_t fromEnd) {
    entry.second[entry.second.size() - fromEnd] ^= 0x20;
    return entry;
  };
  auto good = [&](bool deflated) { return AesEntry("b.bin", content, 3, 2, deflated); };
  ZipFields unknownSize = StoredFile("sub/", "");
  unknownSize.flags = 8;  // the check ahead cannot see past it: the pass checks the verifier
  std::pair<ZipFields, std::string> unknownAhead{unknownSize, ""};
  auto shortEntry = good(false);
  shortEntry.second.resize(16 + 2 + 9);
  shortEntry.first.compressedSize = static_cast<uint32_t>(shortEntry.second.size());
  auto noField = good(false);
  noField.first.extra = "";
  auto badStrength = good(false);
  badStrength.first.extra = AesExtraField(2, 4, 0);
  struct Row {
    const char* label;
    SelfExtractor sfx;
    std::string password;
    const char* message;
    int exitCode;
    std::vector<std::string> disk;
  };
  const std::vector<Row> rows = {
      {"a wrong password", AesSfx({good(false)}), "PW", kWrongPassword, kExitPassword, kNothing},
      {"a wrong password behind an entry of unknown size", AesSfx({unknownAhead, good(false)}), "PW",
       kWrongPassword, kExitPassword, {"target/", "target/sub/"}},
      {"no password", AesSfx({good(false)}), "", kNoPassword, kExitPassword, kNothing},
      {"a byte of stored data changed", AesSfx({AesEntry("a.txt", kAlpha, 3, 2, false), flipped(good(false), 100)}),
       kPassword, kDamaged, kExitFailure, {"target/", "target/a.txt"}},
      {"a byte of deflated data changed", AesSfx({flipped(good(true), 300)}), kPassword, kDamaged, kExitFailure,
       kTargetOnly},
      {"a byte of the code changed", AesSfx({flipped(good(false), 1)}), kPassword, kDamaged, kExitFailure,
       kTargetOnly},
      {"a byte of an AE-1 entry's code changed", AesSfx({flipped(AesEntry("b.bin", content, 1, 1, true), 10)}),
       kPassword, kDamaged, kExitFailure, kTargetOnly},
      {"data too short for salt, verifier and code", AesSfx({shortEntry}), kPassword, kInvalidHeader, kExitFailure,
       kTargetOnly},
      {"method 99 without an AES field", AesSfx({noField}), kPassword, kUnsupportedMethod, kExitFailure,
       kTargetOnly},
      {"an AES field of an unknown strength", AesSfx({badStrength}), kPassword, kUnsupportedMethod, kExitFailure,
       kTargetOnly},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    Outcome outcome = Run(row.sfx, Password(row.password));
    EXPECT_EQ(outcome.exitCode, row.exitCode);
    ExpectOnlyError(outcome, row.message);
    EXPECT_EQ(Disk(), row.disk);
    EXPECT_EQ(g_outputSink.file, 0);
  }
}

// Archives from 7-Zip's own AES encryption, at each key size: what the
// common archivers write is what the reader takes.
TEST_F(Pass, AesArchivesOf7Zip) {
  ScratchFolder work;
  const std::string big = Content(70000, 6);
  WriteBinaryFile(work.Join("a.txt"), kAlpha);
  WriteBinaryFile(work.Join("big.bin"), big);
  for (const char* cipher : {"AES128", "AES192", "AES256"}) {
    SCOPED_TRACE(cipher);
    std::string command = std::string("cd '") + work.Path() + "' && rm -f archive.zip && 7zz a -tzip -mem=" + cipher +
                          " -psecret archive.zip a.txt big.bin >/dev/null";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "7zz is not available";
    SelfExtractor sfx = MakeSelfExtractor(FakeStub(), ReadBinaryFile(work.Join("archive.zip")), Options(kFlagsEncrypted));
    for (const char* password : {"secret", "Secret"}) {
      SCOPED_TRACE(password);
      ClearDrive();
      Outcome outcome = Run(sfx, Password(password));
      if (std::string(password) == "secret") {
        EXPECT_EQ(outcome.exit, kExitCompleted);
        EXPECT_TRUE(outcome.boxes.empty()) << outcome.boxes[0].text;
        EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
        EXPECT_EQ(OnDisk("target/big.bin"), big);
      } else {
        ExpectOnlyError(outcome, kWrongPassword);
        EXPECT_EQ(Disk(), kNothing);
      }
    }
  }
}

// Folder entries are made and their data passed over; they are never
// decrypted and never ask for a password.
TEST_F(Pass, FolderEntries) {
  ZipFields emptyStream = FolderEntry("docs/sub/");
  emptyStream.method = 8;
  emptyStream.compressedSize = 2;  // an empty deflated stream
  ZipFields locked = FolderEntry("locked/");
  locked.flags = 1;
  locked.compressedSize = 12;
  ZipWriter zip;
  zip.Entry(FolderEntry("docs/"), "")
      .Entry(emptyStream, std::string("\x03\x00", 2))
      .Entry(locked, std::string(12, '\x55'))
      .Entry(FolderEntry("win\\dir\\"), "")
      .File("docs/sub/file.txt", kAlpha)
      .Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_EQ(outcome.files, 1u);
  EXPECT_EQ(Disk(), (std::vector<std::string>{"target/", "target/docs/", "target/docs/sub/",
                                              "target/docs/sub/file.txt", "target/locked/", "target/win/",
                                              "target/win/dir/"}));
}

// Folder parts and file names lose their trailing dots and blanks on the way
// to the disk, under a short target and under one that makes every path
// longer than 260 units alike; the question about an existing file names the
// file as it is on disk.
TEST_F(Pass, TrailingDotsAndBlanksLeaveEveryComponent) {
  ZipWriter zip;
  zip.File("a./b.txt", "b").File("e /f.txt. ", "f").Entry(FolderEntry("g. ./"), "").Finish();
  // A component of a host file name takes at most 255 bytes: the long target has two.
  const std::string longFirst(128, 'L');
  for (const std::string& folder : {std::string("target"), longFirst + "/" + std::string(127, 'M')}) {
    SCOPED_TRACE(folder.substr(0, 8));
    std::string target = "X:\\" + folder;
    for (char& c : target) {
      if (c == '/') c = '\\';
    }
    ClearDrive();
    Outcome outcome = Run(Sfx(zip), Folder(target));
    EXPECT_EQ(outcome.exit, kExitCompleted);
    EXPECT_TRUE(outcome.boxes.empty());
    std::vector<std::string> landed = {folder + "/", folder + "/a/", folder + "/a/b.txt", folder + "/e/",
                                       folder + "/e/f.txt", folder + "/g/"};
    if (folder != "target") landed.insert(landed.begin(), longFirst + "/");
    EXPECT_EQ(Disk(), landed);

    RunSetup again = Answers({kAnswerNo, kAnswerNo});
    again.folder = target;
    outcome = Run(Sfx(zip), again);
    EXPECT_EQ(outcome.exit, kExitCompleted);
    ASSERT_EQ(outcome.boxes.size(), 2u);
    EXPECT_EQ(outcome.boxes[1].text, OverwriteText(target + "\\e\\f.txt"));
  }
}

// Extra fields, file comments, the archive comment and a "PK00" marker in
// front are all passed over.
TEST_F(Pass, CommentsExtraFieldsAndMarkersArePassedOver) {
  ZipWriter zip;
  zip.Raw("PK00");
  std::vector<ZipFields> entries;
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
    ZipFields fields = StoredFile(name, name);
    fields.extra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9);
    entries.push_back(fields);
  }
  uint32_t offsets[3];
  for (int i = 0; i < 3; ++i) {
    offsets[i] = zip.Size();
    zip.Local(entries[i]).Raw(entries[i].name);
  }
  uint32_t directory = zip.Size();
  for (int i = 0; i < 3; ++i) zip.Central(entries[i], offsets[i], "a file comment");
  zip.End(3, zip.Size() - directory, directory, "the archive's comment");
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_EQ(outcome.files, 3u);
  for (const char* name : {"one.txt", "two.txt", "three.txt"}) EXPECT_EQ(OnDisk(std::string("target/") + name), name);
}

// An existing file asks Yes/No/Cancel unless overwriting is on. The first
// entry is written before the question; an encrypted entry declined is
// passed over with its encryption header.
TEST_F(Pass, OverwritePrompt) {
  const std::string first = Content(5000, 4);
  const std::string fresh = "new content\n";
  auto locked = Encrypted(StoredFile("a.txt", fresh), fresh, false);
  ZipWriter zip;
  zip.File("first.txt", first).Entry(locked.first, locked.second);
  zip.File("b.txt", "b").Finish();

  struct Row {
    const char* label;
    uint32_t flags;
    std::vector<int> answers;
    int exit;
    int jump;
    bool asked;
    std::string a;
    bool b;
  };
  const std::vector<Row> rows = {
      {"Yes replaces the file", 0, {kAnswerYes}, kExitCompleted, kJumpCompleted, true, fresh, true},
      {"No keeps it, the next entry follows", 0, {kAnswerNo}, kExitCompleted, kJumpCompleted, true, "old", true},
      {"Cancel ends the pass, earlier files complete", 0, {kAnswerCancel}, kExitAborted, kJumpCancelled, true,
       "old", false},
      {"the overwrite setting replaces without asking", 0x2, {}, kExitCompleted, kJumpCompleted, false, fresh,
       true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    std::string target = drive_.Join("target");
    std::remove(drive_.Join("target/b.txt").c_str());
    std::remove(drive_.Join("target/first.txt").c_str());
    mkdir(target.c_str(), 0755);
    WriteBinaryFile(drive_.Join("target/a.txt"), "old");
    Outcome outcome = Run(Sfx(zip, Options(kFlagsEncrypted | row.flags)), Answers(row.answers, kPassword));
    EXPECT_EQ(outcome.exit, row.exit);
    EXPECT_EQ(outcome.jump, row.jump);
    if (row.asked) {
      ASSERT_EQ(outcome.boxes.size(), 1u);
      EXPECT_EQ(outcome.boxes[0].text, OverwriteText("X:\\target\\a.txt"));
      EXPECT_EQ(outcome.boxes[0].caption, kCaption);
      EXPECT_EQ(outcome.boxes[0].style, kBoxYesNoCancel);
    } else {
      EXPECT_TRUE(outcome.boxes.empty());
    }
    EXPECT_EQ(OnDisk("target/first.txt"), first);
    EXPECT_EQ(OnDisk("target/a.txt"), row.a);
    EXPECT_EQ(IsFile(drive_.Join("target/b.txt")), row.b);
  }
}

// Modification times are the DOS fields in local time, out-of-range fields
// pulled into range; a file that fails its CRC has its time too.
TEST_F(Pass, FileTimesAreTheDosTimesInLocalTime) {
  struct Row {
    const char* name;
    uint16_t time;
    uint16_t date;
    int year, month, day, hour, minute, second;
  };
  const std::vector<Row> rows = {
      {"plain.txt", 0x6A0F, 0x56CF, 2023, 6, 15, 13, 16, 30},
      {"clamped.txt", 0xFFFF, 0x57E0, 2023, 12, 1, 23, 59, 58},  // hour 31, minute 63, seconds 62; month 15, day 0
      {"old.txt", 0x0000, 0x0021, 1980, 1, 1, 0, 0, 0},
  };
  ZipWriter zip;
  for (const Row& row : rows) {
    ZipFields fields = StoredFile(row.name, row.name);
    fields.time = row.time;
    fields.date = row.date;
    zip.Entry(fields, row.name);
  }
  ZipFields damaged = StoredFile("damaged.txt", "x");
  damaged.crc32 ^= 1;
  zip.Entry(damaged, "x").Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitAborted);
  EXPECT_EQ(outcome.files, 4u);  // counted before its CRC was compared
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    struct tm local = {};
    local.tm_year = row.year - 1900;
    local.tm_mon = row.month - 1;
    local.tm_mday = row.day;
    local.tm_hour = row.hour;
    local.tm_min = row.minute;
    local.tm_sec = row.second;
    local.tm_isdst = -1;
    struct stat info = {};
    ASSERT_EQ(stat(drive_.Join(std::string("target/") + row.name).c_str(), &info), 0);
    EXPECT_EQ(info.st_mtime, std::mktime(&local));
  }
  struct stat info = {};
  ASSERT_EQ(stat(drive_.Join("target/damaged.txt").c_str(), &info), 0);
  struct tm local = {};
  local.tm_year = 123, local.tm_mon = 5, local.tm_mday = 15, local.tm_hour = 13, local.tm_min = 16;
  local.tm_sec = 30, local.tm_isdst = -1;
  EXPECT_EQ(info.st_mtime, std::mktime(&local));
}

// Names at their limits are taken: 200 bytes in both records, and a joined
// path of exactly 263 characters.
TEST_F(Pass, NamesAtTheirLimits) {
  std::string name = std::string(100, 'd') + "/" + std::string(99, 'n');
  ZipWriter zip;
  zip.File(name, "x").Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_EQ(OnDisk("target/" + name), "x");

  std::string folder = std::string(250, 'f');
  ZipWriter nine;
  nine.File("123456789", "9").Finish();
  outcome = Run(Sfx(nine), Folder("X:\\" + folder));  // 3 + 250 + 1 + 9 = 263
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_EQ(OnDisk(folder + "/123456789"), "9");
}

// An unknown method with no data makes an empty file and no message.
TEST_F(Pass, UnknownMethodWithoutDataIsAnEmptyFile) {
  ZipFields fields = StoredFile("empty.txt", "");
  fields.method = 12;
  ZipWriter zip;
  zip.Entry(fields, "").Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_EQ(Disk(), (std::vector<std::string>{"target/", "target/empty.txt"}));
}

// A total size of 0 in the settings block: the meter's percentage is 0, also
// when the meter is moved (every 64 KiB, and before the overwrite question).
TEST_F(Pass, TotalSizeZeroGivesPercentZero) {
  EXPECT_EQ(MeterPercent(70000, 0), 0u);
  EXPECT_EQ(MeterPercent(65536, 131072), 50u);
  const std::string big = Content(140000, 5);
  ZipWriter zip;
  zip.File("big.bin", big).File("a.txt", kAlpha).Finish();
  mkdir(drive_.Join("target").c_str(), 0755);
  WriteBinaryFile(drive_.Join("target/a.txt"), "old");
  SfxOptions options;
  options.totalSize = 0;
  SelfExtractor sfx = MakeSelfExtractor(FakeStub(), zip.Bytes(), options);
  RunSetup setup = Answers({kAnswerYes});
  setup.meterShown = true;
  Outcome outcome = Run(sfx, setup);
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_EQ(OnDisk("target/big.bin"), big);
  EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
}

// The text across the meter names the entry the pass is at, from the moment
// its path is known: a file whose data never started (the overwrite
// question repaints the meter first), a folder (whose name part is empty),
// cut where the text across the bar cuts it.
TEST_F(Pass, MeterNamesTheEntryThePassIsAt) {
  const std::string longName(150, 'n');
  struct Row {
    const char* name;
    std::vector<std::string> entries;
    std::vector<int> answers;
    std::string named;
  };
  const Row rows[] = {
      {"a file passed over at the question", {"a.txt", "b.txt"}, {kAnswerNo}, "b.txt"},
      {"a folder last", {"a.txt", "docs/"}, {}, ""},
      {"a long name", {longName}, {}, longName.substr(0, kMeterTextSize - 1)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearDrive();
    mkdir(drive_.Join("target").c_str(), 0755);
    WriteBinaryFile(drive_.Join("target/b.txt"), "old");
    ZipWriter zip;
    for (const std::string& entry : row.entries) zip.File(entry, entry.back() == '/' ? "" : kAlpha);
    zip.Finish();
    RunSetup setup = Answers(row.answers);
    setup.meterShown = true;
    ASSERT_EQ(Run(Sfx(zip), setup).exit, kExitCompleted);
    EXPECT_EQ(std::string(g_meter.fileName), row.named);
  }
}

// After a pass whose last entry was passed over, the count of its data is
// still set; unpacking the password dialog's template then must not read
// the archive.
TEST_F(Pass, UnpackingInMemoryNeverReadsTheArchive) {
  ZipWriter zip;
  zip.File("a.txt", kAlpha).Finish();
  mkdir(drive_.Join("target").c_str(), 0755);
  WriteBinaryFile(drive_.Join("target/a.txt"), "old");
  Outcome outcome = Run(Sfx(zip), Answers({kAnswerNo}));
  ASSERT_EQ(outcome.exit, kExitCompleted);
  ASSERT_NE(g_archiveInput.remainingCompressed, 0u);
  int32_t position = SysSeek(g_archiveInput.handle, 0, kSeekCurrent);
  uint8_t* block = UnpackPasswordTemplate();
  ASSERT_NE(block, nullptr);
  SysFree(block);
  EXPECT_EQ(SysSeek(g_archiveInput.handle, 0, kSeekCurrent), position);

  // A block that ends before its stream does: the end of the block is the
  // end of the input.
  std::string packed = ZlibRawDeflate(Content(10000, 6));
  std::string unpacked(10000, '\0');
  uint32_t produced = 0;
  InflateToMemory(packed.data(), static_cast<uint32_t>(packed.size() / 2), &unpacked[0], 10000, &produced);
  EXPECT_LT(produced, 10000u);
  EXPECT_EQ(SysSeek(g_archiveInput.handle, 0, kSeekCurrent), position);
  EXPECT_TRUE(HostShownBoxes().size() == 1);  // the question only
}

// The folder comes from the config block, or from /AUTO in the tail; -info
// ends the run before any pass.
TEST_F(Pass, FolderFromStartUp) {
  struct Row {
    const char* label;
    std::string config;
    std::string tail;
    std::string file;  // where a.txt lands; empty: nowhere
  };
  const std::vector<Row> rows = {
      {"config block", "X:\\configured", "", "configured/a.txt"},
      {"/AUTO with a folder", "X:\\configured", "/auto X:\\from tail", "from tail/a.txt"},
      {"-info", "X:\\configured", "-info", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SfxOptions options;
    options.config = ConfigBlock(row.config, "", "", "", "");
    RunSetup setup;
    setup.folder = "";
    setup.tail = row.tail;
    Outcome outcome = Run(GoodSfx(options), setup);
    EXPECT_EQ(outcome.exit, kExitCompleted);
    if (!row.file.empty()) {
      EXPECT_EQ(OnDisk(row.file), kAlpha);
    }
  }
  EXPECT_EQ(Disk(), (std::vector<std::string>{"configured/", "configured/a.txt", "from tail/", "from tail/a.txt"}));
}

// Links planted below the target folder (a shared temporary folder, say) are
// never followed: neither a folder link on the way to an entry, nor a file
// link where a file would be written, dangling or not, overwrite on or off.
// The pass stops naming the link, and nothing outside changes.
TEST_F(Pass, LinksBelowTheTargetFolderAreNeverFollowed) {
  ScratchFolder outside;
  WriteTextFile(outside.Join("old.txt"), "outside");
  const std::vector<std::string> outsideBefore = outside.Tree();
  auto link = [this](const std::string& relative, const std::string& to) {
    std::filesystem::create_symlink(to, drive_.Join(relative));
  };
  struct Row {
    const char* name;
    std::function<void()> plant;
    std::string entry;
    uint32_t flags;
    std::string linkPath;
  };
  const Row rows[] = {
      {"a folder link on the way to a file", [&] { link("target/dir", outside.Path()); }, "dir/b.txt", 0,
       "X:\\target\\dir"},
      {"a folder link as a folder entry", [&] { link("target/dir", outside.Path()); }, "dir/", 0,
       "X:\\target\\dir"},
      {"a folder link deeper down", [&] {
         std::filesystem::create_directory(drive_.Join("target/a"));
         link("target/a/dir", outside.Path());
       }, "a/dir/x/y.txt", 0, "X:\\target\\a\\dir"},
      {"a dangling file link", [&] { link("target/new.txt", outside.Join("new.txt")); }, "new.txt", 0,
       "X:\\target\\new.txt"},
      {"a file link, overwrite on", [&] { link("target/old.txt", outside.Join("old.txt")); }, "old.txt", 0x2,
       "X:\\target\\old.txt"},
      {"a file link, overwrite off", [&] { link("target/old.txt", outside.Join("old.txt")); }, "old.txt", 0,
       "X:\\target\\old.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearDrive();
    std::filesystem::create_directory(drive_.Join("target"));
    row.plant();
    ZipWriter zip;
    if (row.entry.back() == '/') {
      zip.Entry(FolderEntry(row.entry), "");
    } else {
      zip.File(row.entry, "inside");
    }
    zip.Finish();
    Outcome outcome = Run(Sfx(zip, Options(row.flags)));
    EXPECT_EQ(outcome.exit, kExitAborted);
    char text[600];
    std::snprintf(text, sizeof text, MessageText(kMessageLink), row.linkPath.c_str());
    ExpectOnlyError(outcome, text);
    EXPECT_EQ(outside.Tree(), outsideBefore);
    EXPECT_EQ(ReadTextFile(outside.Join("old.txt")), "outside");
  }
}

// A hard link cannot be told from a file by looking, so an existing file is
// replaced rather than written into: the name gets a file of its own, and a
// file outside that shared the name's bytes keeps its own. Overwriting
// without asking and a Yes to the question go the same way.
TEST_F(Pass, AHardLinkInTheTargetIsReplacedNotWrittenThrough) {
  ScratchFolder outside;
  ZipWriter zip;
  zip.File("old.txt", "inside").Finish();
  struct Row {
    const char* name;
    uint32_t flags;
    std::vector<int> answers;
  };
  const Row rows[] = {{"overwrite on", 0x2, {}}, {"overwrite off, Yes", 0, {kAnswerYes}}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ClearDrive();
    WriteTextFile(outside.Join("old.txt"), "outside");
    std::filesystem::create_directory(drive_.Join("target"));
    std::filesystem::create_hard_link(outside.Join("old.txt"), drive_.Join("target/old.txt"));
    Outcome outcome = Run(Sfx(zip, Options(row.flags)), Answers(row.answers));
    EXPECT_EQ(outcome.exit, kExitCompleted);
    EXPECT_EQ(outcome.boxes.size(), row.answers.size());
    EXPECT_EQ(OnDisk("target/old.txt"), "inside");
    EXPECT_EQ(ReadTextFile(outside.Join("old.txt")), "outside");
    EXPECT_EQ(std::filesystem::hard_link_count(outside.Join("old.txt")), 1u);
  }
}

// A folder below the target swapped for a link to a folder outside, by
// someone else on the machine, while the pass runs: the swap may fall between
// the pass's look at the folder and the creation of a file in it, over and
// over, and between the look at a folder on the way and its creation. Nothing
// may land outside; a pass that meets the link stops naming it.
// Bounded by the number of passes: on a machine where the swap never hits
// the window the test passes without proving anything, never the reverse.
TEST_F(Pass, AFolderSwappedForALinkMidPassLeadsNothingOutside) {
  const int kPasses = 30;
  const int kFiles = 100;
  ScratchFolder outside;
  ZipWriter zip;
  for (int i = 0; i < kFiles; ++i) {
    // Files in the folder, and folders made in it on the way to a file.
    std::string name = i % 2 == 0 ? "f" + std::to_string(i) + ".txt" : "s" + std::to_string(i) + "/g.txt";
    zip.File("dir/" + name, "inside");
  }
  zip.Finish();
  SelfExtractor sfx = Sfx(zip, Options(0x2));
  const std::string folder = drive_.Join("target/dir");
  const std::string swapped = drive_.Join("target/swap");

  int stopped = 0;
  for (int pass = 0; pass < kPasses; ++pass) {
    ClearDrive();
    std::filesystem::create_directories(folder);
    std::filesystem::create_symlink(outside.Path(), swapped);
    std::atomic<bool> stop(false);
    std::atomic<long> swaps(0);
    std::atomic<int> unsupported(0);  // the file system cannot exchange two names
    std::thread swapper([&] {
      while (!stop) {
        if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, swapped.c_str(), RENAME_EXCHANGE) == 0) {
          ++swaps;
        } else if (errno == EINVAL || errno == ENOSYS) {
          unsupported = errno;
          return;
        }
      }
    });
    // The pass starts once the swapping has: on a busy machine the thread may
    // otherwise first run after the pass is over.
    while (swaps.load() == 0 && unsupported.load() == 0) std::this_thread::yield();
    if (unsupported.load() != 0) {
      swapper.join();
      GTEST_SKIP() << "this file system cannot exchange two names";
    }
    Outcome outcome = Run(sfx);
    stop = true;
    swapper.join();
    if (outcome.exit != kExitCompleted) {
      ++stopped;
      char linkText[600];
      std::snprintf(linkText, sizeof linkText, MessageText(kMessageLink), "X:\\target\\dir");
      ExpectOnlyError(outcome, linkText);
    }
    ASSERT_EQ(outside.Tree(), std::vector<std::string>()) << "pass " << pass << " wrote outside the target";
  }
  std::printf("%d of %d passes met the link and stopped\n", stopped, kPasses);
}

// The target folder itself may be a link: the user chose it.
TEST_F(Pass, ATargetFolderThatIsALinkIsUsed) {
  ScratchFolder elsewhere;
  std::filesystem::create_symlink(elsewhere.Path(), drive_.Join("target"));
  ZipWriter zip;
  zip.File("sub/a.txt", "inside").Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_TRUE(outcome.boxes.empty());
  EXPECT_EQ(ReadTextFile(elsewhere.Join("sub/a.txt")), "inside");
}

// What the dialog shows while a pass runs, seen through the recorded window
// calls: the status line names each file while the meter is hidden; a shown
// meter moves at every 64 KiB of output, to the share of the total (and
// repaints itself when that moves). The file name, across the meter or in the
// status line, is repainted at the first step after each file starts.
TEST_F(Pass, StatusLineAndMeterSteps) {
  const std::string big = Content(300 * 1024, 3);
  const std::string more = Content(100 * 1024, 4);
  const std::string packedBig = ZlibRawDeflate(big);
  const std::string packedMore = ZlibRawDeflate(more);
  ZipWriter zip;
  zip.File("a.txt", "a")
      .Entry(DeflatedFile("big.bin", big, packedBig), packedBig)
      .Entry(DeflatedFile("more.bin", more, packedMore), packedMore)
      .Finish();
  const uint32_t total = static_cast<uint32_t>(1 + big.size() + more.size());
  for (bool meterShown : {false, true}) {
    SCOPED_TRACE(meterShown ? "meter shown" : "status line");
    ClearDrive();
    HostRecordWindowCalls(true);
    RunSetup setup;
    setup.meterShown = meterShown;
    ASSERT_EQ(Run(Sfx(zip), setup).exit, kExitCompleted);
    std::vector<std::string> statusTexts;
    std::vector<uint32_t> meterPositions;
    std::vector<size_t> repaintsAfterPositions;  // how many positions came before each repaint
    for (const HostWindowCall& call : HostWindowCalls()) {
      if (call.kind == HostWindowCall::kSetText && call.control == kStatusLine) statusTexts.push_back(call.text);
      if (call.kind == HostWindowCall::kSendMessage && call.control == kMeterControl &&
          call.message == kMeterSetPositionMessage) {
        meterPositions.push_back(call.wParam);
      }
      if (call.kind == HostWindowCall::kInvalidate && call.control == kMeterControl) {
        repaintsAfterPositions.push_back(meterPositions.size());
      }
    }
    // The marks at 64 KiB to 384 KiB of the 400 KiB and one byte of output,
    // each shown at its mark whatever the size of the block that passed it:
    // four in big.bin, two in more.bin.
    std::vector<uint32_t> marks;
    for (uint32_t done = 65536; done < total; done += 65536) {
      marks.push_back(static_cast<uint32_t>(uint64_t{done} * 100 / total));
    }
    ASSERT_EQ(marks.size(), 6u);
    if (meterShown) {
      EXPECT_TRUE(statusTexts.empty());
      EXPECT_EQ(meterPositions, marks);
      EXPECT_EQ(repaintsAfterPositions, (std::vector<size_t>{1, 5}));  // the first marks of big.bin and more.bin
    } else {
      EXPECT_EQ(statusTexts, (std::vector<std::string>{"Unzipping a.txt", "Unzipping big.bin", "Unzipping more.bin"}));
      EXPECT_TRUE(meterPositions.empty());
      EXPECT_EQ(repaintsAfterPositions.size(), 2u);
    }
    HostClearWindowCalls();
  }
}

// A pass of more than a hundred 64 KiB steps moves the meter only when its
// position, a percentage, changes: each position once, in order.
TEST_F(Pass, MeterMovesOnlyWhenItsPositionChanges) {
  const std::string zeros(8 * 1024 * 1024, '\0');
  const std::string packed = ZlibRawDeflate(zeros);
  ZipWriter zip;
  zip.Entry(DeflatedFile("zeros.bin", zeros, packed), packed).Finish();
  const uint64_t total = zeros.size();
  HostRecordWindowCalls(true);
  RunSetup setup;
  setup.meterShown = true;
  ASSERT_EQ(Run(Sfx(zip), setup).exit, kExitCompleted);
  std::vector<uint32_t> positions;
  for (const HostWindowCall& call : HostWindowCalls()) {
    if (call.kind == HostWindowCall::kSendMessage && call.control == kMeterControl &&
        call.message == kMeterSetPositionMessage) {
      positions.push_back(call.wParam);
    }
  }
  std::vector<uint32_t> expected;
  for (uint64_t done = 65536; done <= total; done += 65536) {
    uint32_t position = static_cast<uint32_t>(done * 100 / total);
    if (expected.empty() || expected.back() != position) expected.push_back(position);
  }
  ASSERT_EQ(expected.size(), 101u);  // 0 to 100 from 128 steps
  EXPECT_EQ(positions, expected);
  HostClearWindowCalls();
}

// The message pump, where a click on the dialog becomes the cancel question,
// runs at least every kPumpVolume bytes of output, however fast the output
// goes, but not after every write; when the output is slow (here the clock
// moves 60 ms each time it is read) it runs after every write instead.
TEST_F(Pass, MessagePumpRunsByVolumeAndByTime) {
  const std::string big = Content(2 * kPumpVolume + kPumpVolume / 2, 5);
  const std::string packed = ZlibRawDeflate(big);
  ZipWriter zip;
  zip.Entry(DeflatedFile("big.bin", big, packed), packed).Finish();
  const size_t windowWrites = big.size() / kWindowSize;
  const size_t volumeSteps = big.size() / kPumpVolume;
  struct Row { const char* label; uint32_t millisecondsPerReading; size_t fewest; size_t most; };
  const Row rows[] = {
      {"fast output: by volume", 0, volumeSteps, volumeSteps + 1},
      {"slow output: by time", 60, windowWrites, windowWrites},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    HostSetClock(1000, row.millisecondsPerReading);
    size_t peeksBefore = HostPeekCount();
    ASSERT_EQ(Run(Sfx(zip)).exit, kExitCompleted);
    size_t pumps = HostPeekCount() - peeksBefore;  // each finds the queue empty
    EXPECT_GE(pumps, row.fewest);
    EXPECT_LE(pumps, row.most);
  }
}

// The folder the pass is given goes through the dialog's own check: none at
// all (no TMP, TEMP or Windows folder to fall back on) is "No folder
// specified." and unzips nothing.
TEST_F(Pass, RefusedTargetFoldersUnzipNothing) {
  struct Row { const char* label; uint32_t codePage; std::string folder; std::string text; };
  const Row rows[] = {
      {"no folder at all", 1252, "", "No folder specified."},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    HostSetEnvironment("TMP", nullptr);
    HostSetEnvironment("TEMP", nullptr);
    HostSetWindowsDirectory(nullptr);
    HostSetCodePage(row.codePage);
    Outcome outcome = Run(GoodSfx(), Folder(row.folder));
    EXPECT_EQ(outcome.exit, kExitAborted);
    EXPECT_EQ(outcome.jump, kNoPass);
    ExpectOnlyError(outcome, row.text);
    EXPECT_TRUE(Disk().empty());
  }
}

// Every name becomes UTF-8 on its way in: a name with the UTF-8 flag (bit 11)
// as stored, refused like an unsafe name when it is not valid UTF-8; a name
// without it read in the code page it was written in. This builder's files
// say that is the OEM code page, where DOS and Windows zip tools write names
// ("filename_with_æoå" below is as code page 437 writes it); files from
// other builders keep the ANSI reading, as Windows would have read them.
TEST_F(Pass, NamesAreTakenAsUtf8OrInTheirCodePage) {
  const uint16_t kUtf8 = 0x800;
  const std::string kCp437Name = "filename_with_\x91o\x86.txt";
  struct Row {
    const char* label;
    std::string stored;
    uint16_t entryFlags;
    uint32_t settingsFlags;
    uint32_t ansiCodePage;
    uint32_t oemCodePage;
    std::string onDisk;
  };
  const Row rows[] = {
      {"ASCII", "plain.txt", 0, 0, 1252, 437, "plain.txt"},
      {"Latin-1 range, flagged", "caf\xC3\xA9.txt", kUtf8, 0, 1252, 437, "caf\xC3\xA9.txt"},
      {"Greek, flagged", "\xCE\xB1\xCE\xB2\xCE\xB3.txt", kUtf8, 0, 1252, 437, "\xCE\xB1\xCE\xB2\xCE\xB3.txt"},
      {"Japanese, flagged", "\xE6\x97\xA5\xE6\x9C\xAC.txt", kUtf8, 0, 932, 437, "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
      {"beyond the first plane, flagged", "\xF0\x9F\x98\x80.txt", kUtf8, 0, 1252, 437, "\xF0\x9F\x98\x80.txt"},
      {"another builder's file: ANSI 1252", "caf\xE9.txt", 0, 0, 1252, 437, "caf\xC3\xA9.txt"},
      {"another builder's file: ANSI 932", "\x93\xFA\x96\x7B.txt", 0, 0, 932, 437, "\xE6\x97\xA5\xE6\x9C\xAC.txt"},
      {"another builder's file: 437 bytes read as 1252", kCp437Name, 0, 0, 1252, 437,
       "filename_with_\xE2\x80\x98o\xE2\x80\xA0.txt"},  // the same bytes as "‘" and "†"
      {"this builder's file: OEM 437", kCp437Name, 0, kFlagOemNames, 1252, 437, "filename_with_\xC3\xA6o\xC3\xA5.txt"},
      {"this builder's file: the machine's OEM code page, 866", "\x8F\xE0\xA8\xA2\xA5\xE2.txt", 0, kFlagOemNames,
       1252, 866, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82.txt"},  // "Привет"
      {"this builder's file: flagged UTF-8 stays UTF-8", "caf\xC3\xA9.txt", kUtf8, kFlagOemNames, 1252, 437,
       "caf\xC3\xA9.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    HostSetCodePage(row.ansiCodePage);
    HostSetOemCodePage(row.oemCodePage);
    ZipFields f = StoredFile(row.stored, "x");
    f.flags = row.entryFlags;
    ZipWriter zip;
    zip.Entry(f, "x").Finish();
    Outcome outcome = Run(Sfx(zip, Options(row.settingsFlags)));
    EXPECT_EQ(outcome.exit, kExitCompleted);
    EXPECT_EQ(Disk(), (std::vector<std::string>{"target/", "target/" + row.onDisk}));
  }

  // Flagged, but not UTF-8: refused before anything of it is made.
  ClearDrive();
  HostSetCodePage(1252);
  ZipFields bad = StoredFile("bad\xC3(.txt", "x");
  bad.flags = kUtf8;
  ZipWriter zip;
  zip.File("first.txt", "1").Entry(bad, "x").Finish();
  Outcome outcome = Run(Sfx(zip));
  EXPECT_EQ(outcome.exit, kExitAborted);
  ASSERT_EQ(outcome.boxes.size(), 1u);
  EXPECT_NE(outcome.boxes[0].text.find("will not unzip"), std::string::npos);
  EXPECT_EQ(Disk(), (std::vector<std::string>{"target/", "target/first.txt"}));
}

// Config texts from another builder are in the ANSI code page; this
// builder's carry the UTF-8 flag and are taken as they are.
TEST_F(Pass, ConfigTextsAreTakenAsUtf8OrInTheAnsiCodePage) {
  struct Row { const char* label; uint32_t flags; std::string folder; std::string expected; };
  const Row rows[] = {
      {"unflagged, code page 1252", 0, "X:\\caf\xE9", "caf\xC3\xA9/a.txt"},
      {"flagged UTF-8", kFlagUtf8Texts, "X:\\caf\xC3\xA9", "caf\xC3\xA9/a.txt"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    SfxOptions o = Options(row.flags);
    o.config = ConfigBlock(row.folder, "", "", "", "");
    RunSetup setup;
    setup.folder = "";  // as start-up left it
    Outcome outcome = Run(GoodSfx(o), setup);
    EXPECT_EQ(outcome.exit, kExitCompleted);
    EXPECT_EQ(Disk(), (std::vector<std::string>{"caf\xC3\xA9/", row.expected}));
  }
}

// Each config text is cut to its limit in UTF-16 units, never inside a
// character: a text of another builder after its conversion from the ANSI
// code page, this builder's as it stands.
TEST_F(Pass, ConfigTextsAreCutToTheirLimitInUnits) {
  const uint32_t kFlagsTitle = 0x10;
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const std::string e1252 = "\xE9";                 // "é" in code page 1252
  const std::string eUtf8 = "\xC3\xA9";
  const std::string sun932 = "\x93\xFA";            // a CJK character in code page 932
  const std::string sunUtf8 = "\xE6\x97\xA5";
  const std::string smile = "\xF0\x9F\x98\x80";     // two UTF-16 units
  enum Field { kTextLine, kPrompt, kTitle, kInfo };
  struct Row {
    const char* label;
    uint32_t flags;
    uint32_t codePage;
    Field field;
    std::string stored;
    std::string expected;
  };
  const Row rows[] = {
      {"text line, ANSI: 103 of 150", 0, 1252, kTextLine, repeat(e1252, 150), repeat(eUtf8, 103)},
      {"prompt, ANSI: 513 of 600", 0, 1252, kPrompt, repeat(e1252, 600), repeat(eUtf8, 513)},
      {"title, ANSI: 64 of 80", kFlagsTitle, 1252, kTitle, repeat(e1252, 80), repeat(eUtf8, 64)},
      {"title, ANSI code page 932: 64 of 80 three-byte characters", kFlagsTitle, 932, kTitle, repeat(sun932, 80),
       repeat(sunUtf8, 64)},
      {"info, ANSI: 511 of 600", 0, 1252, kInfo, repeat(e1252, 600), repeat(eUtf8, 511)},
      {"title, UTF-8: 64 two-byte characters whole", kFlagsTitle | kFlagUtf8Texts, 1252, kTitle,
       repeat(eUtf8, 64), repeat(eUtf8, 64)},
      {"title, UTF-8: a pair that would be the 64th and 65th unit goes", kFlagsTitle | kFlagUtf8Texts, 1252, kTitle,
       std::string(63, 't') + smile, std::string(63, 't')},
      {"info, UTF-8: 400 three-byte characters whole", kFlagUtf8Texts, 1252, kInfo, repeat(sunUtf8, 400),
       repeat(sunUtf8, 400)},
      {"info, UTF-8: 511 units of 512", kFlagUtf8Texts, 1252, kInfo, "i" + repeat(smile, 255) + "j",
       "i" + repeat(smile, 255)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    HostSetCodePage(row.codePage);
    SfxOptions o = Options(row.flags);
    const std::string& s = row.stored;
    o.config = ConfigBlock("", row.field == kTextLine ? s : "", row.field == kPrompt ? s : "",
                           row.field == kTitle ? s : "", row.field == kInfo ? s : "");
    Outcome outcome = Run(GoodSfx(o));
    EXPECT_EQ(outcome.exit, kExitCompleted);
    switch (row.field) {
      case kTextLine: EXPECT_EQ(std::string(g_textLine), row.expected); break;
      case kPrompt:
        ASSERT_EQ(outcome.boxes.size(), 1u);
        EXPECT_EQ(outcome.boxes[0].text, row.expected);
        break;
      case kTitle: EXPECT_EQ(std::string(g_title), row.expected); break;
      case kInfo: EXPECT_EQ(std::string(g_infoText), row.expected); break;
    }
  }
  HostSetCodePage(1252);
}

// A silent run shows no box at all: every message goes to the log, and each
// question takes the answer that stops the run. Existing files stop it
// before anything is overwritten, unless /overwrite; an encrypted archive
// takes /password; the builder's silent flag does the same without switches.
TEST_F(Pass, SilentRunsShowNothingAndLogEverything) {
  auto encrypted = [] {
    auto entry = Encrypted(StoredFile("a.txt", kAlpha), kAlpha, false);
    ZipWriter z;
    z.Entry(entry.first, entry.second).Finish();
    return Sfx(z, Options(kFlagsEncrypted));
  };
  struct Row {
    const char* label;
    std::function<SelfExtractor()> make;
    std::string tail;
    bool existing;      // an older a.txt in the target
    int exit;
    std::string aTxt;   // what a.txt holds afterwards
    std::string logged; // a line the log must hold
    std::string named;  // the command line as the first line names it (the password hidden)
  };
  const std::string exitLine[] = {"Exit code 0: success", "", "", "", "Exit code 4: no password, or a wrong one",
                                  "Exit code 5: an existing file stopped the run"};
  const std::vector<Row> rows = {
      {"plain", [] { return GoodSfx(); }, "/silent X:\\target", false, kExitSuccess, kAlpha,
       "1 file(s) unzipped successfully", " /silent X:\\target /log X:\\run.log"},
      {"an existing file stops it", [] { return GoodSfx(); }, "/silent X:\\target", true, kExitFileExists, "older",
       "File X:\\target\\a.txt already exists.  Overwrite file?", " /silent X:\\target /log X:\\run.log"},
      {"an existing file with /overwrite", [] { return GoodSfx(); }, "/overwrite /SILENT X:\\target", true,
       kExitSuccess, kAlpha, "1 file(s) unzipped successfully", " /overwrite /SILENT X:\\target /log X:\\run.log"},
      {"encrypted without /password", encrypted, "/silent X:\\target", false, kExitPassword, "",
       "No password specified", " /silent X:\\target /log X:\\run.log"},
      {"encrypted with /password", encrypted, "-silent \"X:\\target\" /password pw", false, kExitSuccess, kAlpha,
       "1 file(s) unzipped successfully", " -silent \"X:\\target\" /password ***** /log X:\\run.log"},
      {"/auto before /silent", [] { return GoodSfx(); }, "/auto X:\\target /silent", false, kExitSuccess, kAlpha,
       "1 file(s) unzipped successfully", " /auto X:\\target /silent /log X:\\run.log"},
      {"/silent before /auto", [] { return GoodSfx(); }, "/silent /auto X:\\target", false, kExitSuccess, kAlpha,
       "1 file(s) unzipped successfully", " /silent /auto X:\\target /log X:\\run.log"},
      {"the builder's silent flag", [] {
         SfxOptions o = Options(kFlagSilent);
         o.config = ConfigBlock("X:\\target", "", "Really?", "", "");
         return GoodSfx(o);
       }, "", false, kExitSuccess, kAlpha, "1 file(s) unzipped successfully", " /log X:\\run.log"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    if (row.existing) {
      std::filesystem::create_directory(drive_.Join("target"));
      WriteTextFile(drive_.Join("target/a.txt"), "older");
    }
    WriteBinaryFile(Exe(), row.make().bytes);
    ResetProcessState();
    HostClearBoxes();
    std::string bytes = ReadBinaryFile(Exe());
    CopyBytes(&g_settings, bytes.data() + bytes.find(SettingsMarkerText()), sizeof(StubSettings));
    CopyText(g_executablePath, Exe().c_str(), kExecutablePathSize);
    std::string tail = row.tail + " /log X:\\run.log";
    ASSERT_EQ(PrepareRun(nullptr, &tail[0]), kStartupShowDialog);
    ASSERT_TRUE(g_silentMode);
    EXPECT_EQ(EndRun(RunSilently()), row.exit);
    EXPECT_TRUE(HostShownBoxes().empty());
    if (!row.aTxt.empty()) {
      EXPECT_EQ(OnDisk("target/a.txt"), row.aTxt);
    }
    std::string log = OnDisk("run.log");
    EXPECT_NE(log.find(row.logged), std::string::npos) << log;
    std::vector<std::string> lines = LogLines(log);
    ASSERT_GE(lines.size(), 3u) << log;
    // The first line names the run; the last two are the outcome (not the
    // question that stopped the run) and the exit code.
    EXPECT_EQ(lines.front(), "Run of " + Exe() + row.named + "; target folder: X:\\target");
    EXPECT_EQ(lines[lines.size() - 2],
              row.exit == kExitSuccess ? "1 file(s) unzipped successfully" : "Unzip Aborted");
    EXPECT_EQ(lines.back(), exitLine[row.exit]);
  }
}

// The log is a plain file of its own. A link at its path (to a file, or to
// nothing yet), a file with a second name, or a folder is refused before
// anything is unzipped, and what it leads to stays as it was; a log that
// cannot be created stops the run as well. An entry named like the log fails
// to be created instead of writing into it, and the log keeps only its lines.
TEST_F(Pass, TheLogIsAPlainFileOfItsOwn) {
  ScratchFolder outside;
  const std::string kept = outside.Join("kept.txt");
  const std::string refused = "Arcula Self-Extractor will not write the log X:\\run.log: it is a folder or a link.";
  struct Row {
    const char* label;
    std::function<void()> plant;  // what lies on drive X before the run
    std::string log;              // the path after /log
    int exit;
    std::string box;              // the only box shown; empty: none
    std::vector<std::string> disk;
  };
  const std::vector<Row> rows = {
      {"a link to a file", [&] { std::filesystem::create_symlink(kept, drive_.Join("run.log")); }, "X:\\run.log",
       kExitStartupFailed, refused, {"run.log"}},
      {"a link to nothing yet",
       [&] { std::filesystem::create_symlink(outside.Join("new.txt"), drive_.Join("run.log")); }, "X:\\run.log",
       kExitStartupFailed, refused, {"run.log"}},
      {"a hard link", [&] { std::filesystem::create_hard_link(kept, drive_.Join("run.log")); }, "X:\\run.log",
       kExitStartupFailed, refused, {"run.log"}},
      {"a folder", [&] { std::filesystem::create_directory(drive_.Join("run.log")); }, "X:\\run.log",
       kExitStartupFailed, refused, {"run.log/"}},
      {"a folder that is missing", [] {}, "X:\\missing\\run.log", kExitStartupFailed,
       "Cannot write the log X:\\missing\\run.log.", {}},
      {"a plain file", [&] { WriteTextFile(drive_.Join("run.log"), "older line\r\n"); }, "X:\\run.log",
       kExitCompleted, "", {"run.log", "target/", "target/a.txt"}},
      {"named like an entry", [&] { std::filesystem::create_directory(drive_.Join("target")); },
       "X:\\target\\a.txt", kExitAborted, "Can't create output file: X:\\target\\a.txt",
       {"target/", "target/a.txt"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    WriteTextFile(kept, "kept\n");
    row.plant();
    RunSetup setup;
    setup.tail = "/overwrite /log " + row.log;  // the log named like an entry is not asked about
    Outcome outcome = Run(GoodSfx(), setup);
    EXPECT_EQ(outcome.exit, row.exit);
    if (row.box.empty()) {
      EXPECT_TRUE(outcome.boxes.empty());
    } else {
      ExpectOnlyError(outcome, row.box);
    }
    EXPECT_EQ(Disk(), row.disk);
    EXPECT_EQ(ReadBinaryFile(kept), "kept\n");
    EXPECT_EQ(outside.Tree(), std::vector<std::string>{"kept.txt"});
    ResetRunLog();  // the run is over: the file is complete
    std::string logRelative = row.log.substr(3);
    std::replace(logRelative.begin(), logRelative.end(), '\\', '/');
    if (row.exit != kExitStartupFailed) {
      std::string log = OnDisk(logRelative);
      EXPECT_EQ(log.find(kAlpha), std::string::npos) << log;
      EXPECT_EQ(log.rfind("older line", 0) == 0, row.label == std::string("a plain file")) << log;
    }
  }
}

// A line the log cannot take (a full disk) does not change what the pass
// does, but the run reports it and ends as a failure: a script that asked for
// a log must not take a run without one for a good run.
TEST_F(Pass, ALogThatLosesALineFailsTheRunButNotThePass) {
  auto run = [this](uint32_t failAt) {
    ClearDrive();
    std::filesystem::create_directory(drive_.Join("target"));
    WriteTextFile(drive_.Join("target/a.txt"), "older");
    RunSetup setup;
    setup.tail = "/log X:\\run.log";
    setup.answers = {kAnswerYes};  // overwrite a.txt: the question is the log's first line
    StartCountingCalls(failAt);
    Outcome outcome = Run(GoodSfx(), setup);
    StopCountingCalls();
    return outcome;
  };
  run(0);
  uint32_t logWrite = 0;
  for (size_t i = 0; i < CountedCalls().size() && logWrite == 0; ++i) {
    const CountedCall& call = CountedCalls()[i];
    if (call.kind == CallKind::kWrite && call.path == drive_.Join("run.log")) logWrite = static_cast<uint32_t>(i + 1);
  }
  ASSERT_NE(logWrite, 0u);
  HostClearBoxes();
  EXPECT_FALSE(ReportLogFailure());
  Outcome outcome = run(logWrite);
  EXPECT_EQ(outcome.exit, kExitCompleted);
  EXPECT_EQ(OnDisk("target/a.txt"), kAlpha);
  HostClearBoxes();
  EXPECT_TRUE(ReportLogFailure());
  ASSERT_EQ(HostShownBoxes().size(), 1u);
  EXPECT_EQ(HostShownBoxes()[0].text, "Cannot write the log X:\\run.log.");
}

// What start-up makes of the command line: an unknown switch is told to the
// starter's console (or, with none, shown in a box) and ends the run before
// anything else; /noauto on a file built silent brings back every box a
// person would see; a stray quote in a folder is refused.
TEST_F(Pass, CommandLineAtStartUp) {
  const std::string unknownS = "/S is not a switch of this self-extractor.\nIts switches: /auto [folder], "
                               "/silent [folder], /noauto, /overwrite, /password password, /log file, -info.";
  auto prompted = [] {
    SfxOptions o = Options(kFlagSilent);
    o.config = ConfigBlock("X:\\configured", "", "Really?", "", "");
    return GoodSfx(o);
  };
  struct Row {
    const char* label;
    std::function<SelfExtractor()> make;
    std::string tail;
    bool console;                    // started from a console
    int startup;
    std::vector<std::string> boxes;  // texts shown
    std::vector<std::string> told;   // lines told to the console
    bool silent;
  };
  const std::vector<Row> rows = {
      {"/S from a console: told there, no box", [] { return GoodSfx(); }, "/S", true, kExitBadUsage, {},
       {unknownS}, false},
      {"/S with no console: a box", [] { return GoodSfx(); }, "/auto X:\\t /S", false, kExitBadUsage,
       {unknownS}, {}, false},
      {"/S in a silent run with no console: no box", [] { return GoodSfx(); }, "/silent /S", false,
       kExitBadUsage, {}, {}, true},
      {"/S before -info: the command line is wrong", [] { return GoodSfx(); }, "-info /S", true,
       kExitBadUsage, {}, {unknownS}, false},
      {"/noauto on a file built silent: the prompt shows", prompted, "/noauto", true, kStartupShowDialog,
       {"Really?"}, {}, false},
      {"the file built silent: no prompt", prompted, "", true, kStartupShowDialog, {}, {}, true},
      {"a quote among the folder's words", [] { return GoodSfx(); }, "/auto X:\\a \"b\"", true, kExitBadUsage,
       {"Error in folder name specfied on the command line."}, {}, false},
      {"a log that cannot be made, silent from a console: told there", [] { return GoodSfx(); },
       "/silent /log X:\\missing\\run.log", true, kExitReadWrite, {}, {"Cannot write the log X:\\missing\\run.log."},
       true},
      {"a log that cannot be made, with the dialog: a box", [] { return GoodSfx(); },
       "/log X:\\missing\\run.log", true, kExitReadWrite, {"Cannot write the log X:\\missing\\run.log."}, {},
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    HostResetStarter();
    HostSetStarterConsole(row.console);
    RunSetup setup;
    setup.tail = row.tail;
    setup.answers = {kAnswerOk};
    Outcome outcome = Run(row.make(), setup);
    EXPECT_EQ(outcome.startup, row.startup);
    std::vector<std::string> texts;
    for (const HostBox& box : outcome.boxes) texts.push_back(box.text);
    EXPECT_EQ(texts, row.boxes);
    EXPECT_EQ(outcome.told, row.told);
    EXPECT_EQ(g_silentMode, row.silent);
  }
}

// "." is the folder the self-extractor lies in, however deep and whatever its
// script: a module path cut short would name a parent folder (or a name cut
// in two), and the files would land there. One too long to read leaves the
// current directory alone rather than take part of it.
TEST_F(Pass, OwnFolderFromAFullLengthModulePath) {
  std::string part;
  for (int i = 0; i < 55; ++i) part += "\xE6\x97\xA5";  // 日: 165 bytes, 55 UTF-16 units
  std::string relative = part + "\\" + part + "\\" + part + "\\" + part;  // 663 bytes, 223 units
  std::string folder = drive_.Join(part + "/" + part + "/" + part + "/" + part);
  std::filesystem::create_directories(folder);
  std::filesystem::path before = std::filesystem::current_path();

  HostSetModuleFileName(("X:\\" + relative + "\\setup.exe").c_str());
  MakeOwnFolderCurrent();
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(folder));

  std::filesystem::current_path(before);
  std::string tooLong = "X:\\" + relative;
  while (tooLong.size() < kExecutablePathSize) tooLong += "\\" + part;
  HostSetModuleFileName((tooLong + "\\setup.exe").c_str());
  MakeOwnFolderCurrent();
  EXPECT_EQ(std::filesystem::current_path(), before);

  HostSetModuleFileName(nullptr);
  std::filesystem::current_path(before);
}

// A folder this builder wrote may name environment variables (%NAME%): they
// are expanded where the folder is completed, so the dialog shows, and every
// run uses, the folder they name. One that cannot be expanded is refused
// naming the folder as written, never made as a folder named "%NAME%". Other
// builders' folders, the command line's and what the user types are taken
// as they are.
TEST_F(Pass, ConfiguredFolderVariablesAreExpanded) {
  const std::string e = "\xC3\xA9";  // one UTF-16 unit in two bytes
  std::string longBase = "X:\\";
  for (int i = 0; i < 250; ++i) longBase += e;  // 253 units, 503 bytes
  HostSetEnvironment("ARC_BASE", "X:\\base");
  HostSetEnvironment("ARC_DRIVE", "X:");
  HostSetEnvironment("ARC_NAME", "named");
  HostSetEnvironment("ARC_LONG", longBase.c_str());
  HostSetEnvironment("ARC_UNSET", nullptr);
  struct Row {
    const char* label;
    uint32_t flags;
    std::string configured;
    std::string tail;
    std::string typed;     // replaces the completed folder, as the user's typing does; empty: none
    std::string shown;     // the folder once completed, as the dialog's field shows it
    std::string landed;    // where a.txt is then found on X:; empty: nothing unzipped, refused
  };
  const uint32_t ours = kFlagUtf8Texts;
  const std::vector<Row> rows = {
      {"a variable", ours, "%ARC_BASE%\\app", "", "", "X:\\base\\app", "base/app/a.txt"},
      {"two variables and %% for one per-cent sign", ours, "%ARC_DRIVE%\\%ARC_NAME% 100%%", "", "",
       "X:\\named 100%", "named 100%/a.txt"},
      {"a per-cent sign without a partner stays", ours, "X:\\50%", "", "", "X:\\50%", "50%/a.txt"},
      {"a variable not set", ours, "%ARC_UNSET%\\app", "", "", "%ARC_UNSET%\\app", ""},
      {"a result of 262 units (503 bytes)", ours, "%ARC_LONG%\\app\\xyz", "", "", "%ARC_LONG%\\app\\xyz", ""},
      {"another builder's file keeps the text", 0, "X:\\%ARC_NAME%", "", "", "X:\\%ARC_NAME%", "%ARC_NAME%/a.txt"},
      {"a command-line folder is taken as it is", ours, "%ARC_UNSET%\\app", "/auto X:\\%ARC_NAME%", "",
       "X:\\%ARC_NAME%", "%ARC_NAME%/a.txt"},
      {"even when it is the configured text", ours, "X:\\%ARC_NAME%", "/auto X:\\%ARC_NAME%", "",
       "X:\\%ARC_NAME%", "%ARC_NAME%/a.txt"},
      {"a typed folder is taken as it is", ours, "%ARC_UNSET%\\app", "", "X:\\%ARC_NAME%", "%ARC_UNSET%\\app",
       "%ARC_NAME%/a.txt"},
      {"silent, a variable", ours | kFlagSilent, "%ARC_BASE%\\app", "", "", "X:\\base\\app", "base/app/a.txt"},
      {"silent, a variable not set", ours | kFlagSilent, "%ARC_UNSET%\\app", "", "", "%ARC_UNSET%\\app", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    ClearDrive();
    SfxOptions o = Options(row.flags);
    o.config = ConfigBlock(row.configured, "", "", "", "");
    WriteBinaryFile(Exe(), GoodSfx(o).bytes);
    ResetProcessState();
    HostClearBoxes();
    std::string bytes = ReadBinaryFile(Exe());
    CopyBytes(&g_settings, bytes.data() + bytes.find(SettingsMarkerText()), sizeof(StubSettings));
    CopyText(g_executablePath, Exe().c_str(), kExecutablePathSize);
    std::string tail = row.tail;
    ASSERT_EQ(PrepareRun(nullptr, &tail[0]), kStartupShowDialog);
    int exit;
    if (g_silentMode) {
      exit = RunSilently();
      EXPECT_EQ(std::string(g_outputPaths.targetFolder), row.shown);
    } else {
      CompleteTargetFolder();
      EXPECT_EQ(std::string(g_outputPaths.targetFolder), row.shown);
      if (!row.typed.empty()) CopyText(g_outputPaths.targetFolder, row.typed.c_str(), kTargetFolderSize);
      exit = RefuseTargetFolder() ? kExitFailure : (RunPass() == kJumpCompleted ? kExitSuccess : kExitFailure);
    }
    if (row.landed.empty()) {
      EXPECT_EQ(exit, kExitFailure);
      EXPECT_TRUE(Disk().empty());
      if (!g_silentMode) {
        ASSERT_EQ(HostShownBoxes().size(), 1u);
        EXPECT_EQ(HostShownBoxes()[0].text, "Could not create \"" + row.configured + "\" - unzip operation cancelled.");
      }
    } else {
      EXPECT_EQ(exit, kExitSuccess);
      EXPECT_EQ(OnDisk(row.landed), kAlpha);
    }
  }
  HostClearEnvironmentOverrides();
}

// With --caption-title every box of the run is captioned as the dialog is:
// the title, or "Setup" without one. A box shown before the config block is
// read (the damaged-file box here) keeps the stub's own caption: the title
// is not known yet, and a damaged file's title could be anything.
TEST_F(Pass, BoxesTakeTheTitleCaption) {
  const uint32_t kFlagsTitle = 0x10;
  struct Row {
    const char* label;
    uint32_t flags;
    std::string title;
    bool damaged;
    std::string caption;
  };
  const Row rows[] = {
      {"no caption flag", kFlagsTitle, "My Tools", false, "Arcula Self-Extractor"},
      {"caption flag and a title", kFlagsTitle | kFlagTitleCaption, "My Tools", false, "My Tools"},
      {"caption flag, empty title", kFlagsTitle | kFlagTitleCaption, "", false, "Setup"},
      {"caption flag without the title flag", kFlagTitleCaption, "My Tools", false, "Setup"},
      {"a damaged file, before the config block", kFlagsTitle | kFlagTitleCaption, "My Tools", true,
       "Arcula Self-Extractor"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SfxOptions o = Options(row.flags | kFlagUtf8Texts);
    o.config = ConfigBlock("", "", "", row.title, "about");
    SelfExtractor sfx = GoodSfx(o);
    if (row.damaged) sfx.bytes[0x50] ^= 1;
    RunSetup setup;
    setup.tail = "-info";
    Outcome outcome = Run(sfx, setup);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].caption, row.caption);
  }
}

}  // namespace
