// Failures of the system, one call at a time. A run of the whole program
// (start-up through PrepareRun, then one pass, as the headless runner does
// it) makes some hundred calls that can fail: opens, reads, seeks, creates,
// writes, folder creations and allocations. The run is repeated with call 1
// failing, then call 2, and so on until a run makes fewer calls than the one
// to fail, which must then complete. Every run with a failure must:
//  - end in the one message for that kind of failure, with the right ending
//    (start-up stopped, or the pass aborted), or, where the call's failure
//    does no harm, complete with every file right;
//  - write nothing outside the target folder, and leave no file but the one
//    the pass was at when it stopped short of its content;
//  - hold no open file and no block once the program has ended as the real
//    one ends: Shutdown and FreeResources after a pass; after a start-up
//    failure the process ends, so everything must still be reachable from
//    the process-wide state that ResetProcessState frees.
//
// The archive has a folder entry, a file in a folder made on the way, stored
// and deflated files (a dynamic and a fixed block), an extra field, encrypted
// entries (one with a data descriptor) and an archive comment, so that each
// call site of the pass is met.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "archive/decrypt.h"
#include "archive/scanner.h"
#include "inflate/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "stub/abort.h"
#include "stub/resources.h"
#include "stub/settings.h"
#include "stub/startup.h"
#include "tests/host/failing_calls.h"
#include "tests/host/zlib_oracle.h"
#include "tests/support/process_state.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/zip_writer.h"
#include "ui/unzip_flow.h"

namespace {

const char kCaption[] = "Arcula Self-Extractor";
const char kHeaderCorrupt[] =
    "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";
const char kDamaged[] =
    "Zip file is damaged, truncated, or has been changed since it was created.   If you downloaded this file, try "
    "downloading again.";
const char kNotEnoughMemory[] = "not enough memory";
const char kIoError[] = "I/O error on file.  Possible cause: file transfer error.";
const char kInvalidHeader[] = "Invalid ZIP header.  Possible cause: file transfer error.";
const char kPrompt[] = "Unpack the test files?";
const char kPassword[] = "pw";

const uint32_t kFlagsEncrypted = 0x100;
const uint32_t kCallLimit = 5000;  // far above what one run makes: a loop that never ends is a failure

// --- the archive ---------------------------------------------------------------

// Text with some randomness, so that deflate makes literals, matches and
// dynamic blocks of it.
std::string Content(size_t size, uint32_t seed) {
  std::string text;
  uint32_t state = seed * 2654435761u + 1;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    if ((state >> 28) < 5) {
      text += "line " + std::to_string(state >> 20) + " of the content\n";
    } else {
      text += static_cast<char>(state >> 16);
    }
  }
  text.resize(size);
  return text;
}

// `data` (the entry's data as stored without encryption) enciphered, with
// the fields that say so. The check byte is the time's high byte when a data
// descriptor follows, else the CRC's.
void AddEncrypted(ZipWriter* zip, ZipFields fields, const std::string& data) {
  fields.flags |= 1;
  fields.compressedSize = static_cast<uint32_t>(12 + data.size());
  bool checkFromTime = (fields.flags & 8) != 0;
  uint8_t check = checkFromTime ? static_cast<uint8_t>(fields.time >> 8) : static_cast<uint8_t>(fields.crc32 >> 24);
  zip->Entry(fields, EncryptTraditional(kPassword, check, data));
}

struct Fixture {
  SelfExtractor sfx;
  std::map<std::string, std::string> files;  // under the target folder, '/' between components
  std::set<std::string> folders;
};

Fixture MakeFixture() {
  Fixture fixture;
  fixture.files = {
      {"docs/readme.txt", "read me first\n"},
      {"docs/notes.txt", Content(3000, 1)},
      {"docs/big.txt", Content(40000, 2)},
      {"fixed.txt", "a short line, coded with the fixed code\n"},
      {"secret/key.txt", Content(2500, 3)},
      {"secret/more.txt", Content(9000, 4)},
  };
  fixture.folders = {"docs", "secret"};
  const auto& f = fixture.files;

  ZipWriter zip;
  zip.Entry(FolderEntry("docs/"), "");
  zip.File("docs/readme.txt", f.at("docs/readme.txt"));
  ZipFields withExtra = StoredFile("docs/notes.txt", f.at("docs/notes.txt"));
  withExtra.extra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9);
  zip.Entry(withExtra, f.at("docs/notes.txt"));
  std::string big = ZlibRawDeflate(f.at("docs/big.txt"));
  zip.Entry(DeflatedFile("docs/big.txt", f.at("docs/big.txt"), big), big);
  std::string fixed = ZlibRawDeflate(f.at("fixed.txt"));
  zip.Entry(DeflatedFile("fixed.txt", f.at("fixed.txt"), fixed), fixed);
  ZipFields withDescriptor = StoredFile("secret/key.txt", f.at("secret/key.txt"));
  withDescriptor.flags = 8;
  AddEncrypted(&zip, withDescriptor, f.at("secret/key.txt"));
  std::string more = ZlibRawDeflate(f.at("secret/more.txt"));
  AddEncrypted(&zip, DeflatedFile("secret/more.txt", f.at("secret/more.txt"), more), more);
  zip.Finish("the archive's comment");

  SfxOptions options;
  options.flags = kFlagsEncrypted;
  options.totalSize = zip.TotalSize();
  options.config = ConfigBlock("", "", kPrompt, "", "about");
  fixture.sfx = MakeSelfExtractor(FakeStub(), zip.Bytes(), options);
  return fixture;
}

// --- one run ----------------------------------------------------------------------

const int kNoPass = -1;

struct RunResult {
  int startup = kStartupFailed;
  int jump = kNoPass;
  std::vector<HostBox> boxes;
  size_t filesOpen = 0;
  size_t blocksAllocated = 0;
  long descriptorChange = 0;
};

long OpenDescriptors() {
  long count = 0;
  for (const auto& item : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)item;
    ++count;
  }
  return count;
}

class FailureInjection : public testing::Test {
 protected:
  void SetUp() override {
    Reset();
    HostMapDrive('X', drive_.Path());
    fixture_ = MakeFixture();
    WriteBinaryFile(Exe(), fixture_.sfx.bytes);
  }
  void TearDown() override {
    StopCountingCalls();
    Reset();
  }
  static void Reset() {
    ResetProcessState();
    HostClearBoxes();
    HostResetPaths();
  }

  std::string Exe() const { return files_.Join("test.exe"); }
  std::string TargetOnHost() const { return drive_.Join("target"); }

  // Start-up and one pass into X:\target with call `failAt` failing, then
  // what the program does at its end.
  RunResult Run(uint32_t failAt) {
    for (const auto& item : std::filesystem::directory_iterator(drive_.Path())) {
      std::filesystem::remove_all(item.path());
    }
    ResetProcessState();
    HostClearBoxes();
    size_t marker = fixture_.sfx.bytes.find(std::string(kSettingsMarker, 8));
    CopyBytes(&g_settings, fixture_.sfx.bytes.data() + marker, sizeof(StubSettings));
    CopyText(g_executablePath, Exe().c_str(), kExecutablePathSize);

    RunResult result;
    long descriptorsBefore = OpenDescriptors();
    StartCountingCalls(failAt);
    char tail[] = "";
    result.startup = PrepareRun(nullptr, tail);
    if (result.startup == kStartupShowDialog) {
      CopyText(g_targetFolder, "X:\\target", kTargetFolderSize);
      static char password[] = "pw";
      g_storedPassword = password;
      ResetPassCounters();
      result.jump = RunPass();
      Shutdown();
      FreeResources();
    } else {
      ResetProcessState();  // the process ends here: the system takes back what it held
    }
    StopCountingCalls();
    result.boxes = HostShownBoxes();
    result.filesOpen = FilesStillOpen();
    result.blocksAllocated = BlocksStillAllocated();
    ReleaseWhatIsStillHeld();
    result.descriptorChange = OpenDescriptors() - descriptorsBefore;
    return result;
  }

  // A host path under drive X: as the stub names it.
  std::string WindowsPath(const std::string& hostPath) const {
    std::string relative = hostPath.substr(drive_.Path().size());
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    return "X:" + relative;
  }

  // The texts the failed call may end in; empty when the call cannot fail
  // in that phase.
  std::vector<std::string> ExpectedMessages(const CountedCall& call, bool inPass) const {
    if (!inPass) {
      if (call.kind == CallKind::kAllocate) return {kHeaderCorrupt, kNotEnoughMemory};
      if (call.kind == CallKind::kOpen || call.kind == CallKind::kRead || call.kind == CallKind::kSeek) {
        return {kHeaderCorrupt, kDamaged};
      }
      return {};
    }
    switch (call.kind) {
      case CallKind::kAllocate: return {kNotEnoughMemory};
      case CallKind::kCreate: return {"Can't create output file: " + WindowsPath(call.path)};
      case CallKind::kMakeFolder:
        return {"Could not create \"" + WindowsPath(call.path) + "\" - unzip operation cancelled."};
      case CallKind::kWrite: return {"Error writing to " + WindowsPath(call.path) + ".  Possible cause: disk full."};
      case CallKind::kRead: return {ReadErrorPrefix()};
      case CallKind::kSeek:
        // The seek to the archive is checked; the relative ones over extra
        // fields, descriptors and comments are not, and their failure shows
        // as the damage it does to what is read next.
        if (call.whence == SEEK_SET) return {kIoError};
        return {kInvalidHeader, ReadErrorPrefix(), "ZIP damaged: file "};
      case CallKind::kOpen: return {};
    }
    return {};
  }

  std::string ReadErrorPrefix() const {
    return "Error reading " + Exe() + ".  Possible cause: bad disk or file transfer error. <";
  }

  // Every file on disk is one of the archive's, whole, but for the one the
  // pass stopped in, which holds the start of its content; nothing lies
  // outside the target folder.
  void ExpectOnlyWhatWasDone(bool complete) const {
    int partial = 0;
    for (const std::string& item : drive_.Tree()) {
      ASSERT_EQ(item.rfind("target/", 0), 0u) << item << " lies outside the target folder";
      std::string relative = item.substr(7);
      if (relative.empty() || relative.back() == '/') {
        if (!relative.empty()) {
          EXPECT_EQ(fixture_.folders.count(relative.substr(0, relative.size() - 1)), 1u) << item;
        }
        continue;
      }
      auto expected = fixture_.files.find(relative);
      ASSERT_NE(expected, fixture_.files.end()) << item << " is no file of the archive";
      std::string content = ReadBinaryFile(drive_.Join(item));
      if (content == expected->second) continue;
      ++partial;
      EXPECT_FALSE(complete) << item << " differs from its entry";
      EXPECT_EQ(expected->second.compare(0, content.size(), content), 0) << item << " holds other bytes";
    }
    EXPECT_LE(partial, 1);
    if (complete) {
      for (const auto& file : fixture_.files) EXPECT_TRUE(IsFile(drive_.Join("target/" + file.first))) << file.first;
    }
    for (const std::string& path : PathsCreated()) {
      EXPECT_EQ(path.rfind(TargetOnHost(), 0), 0u) << path << " was created outside the target folder";
    }
    EXPECT_EQ(files_.Tree(), std::vector<std::string>{"test.exe"});
  }

  ScratchFolder drive_;  // drive X:
  ScratchFolder files_;  // where the self-extractor lies
  Fixture fixture_;
};

bool StartsWith(const std::string& text, const std::string& start) { return text.compare(0, start.size(), start) == 0; }

// The run's boxes: the start-up prompt (unless its block was the failed
// allocation), then at most one error box; its text, or empty.
std::string ErrorShown(const RunResult& result) {
  std::vector<HostBox> boxes = result.boxes;
  if (!boxes.empty() && boxes.front().text == kPrompt) boxes.erase(boxes.begin());
  EXPECT_LE(boxes.size(), 1u);
  if (boxes.empty()) return std::string();
  EXPECT_EQ(boxes[0].caption, kCaption);
  EXPECT_EQ(boxes[0].style, kBoxOk | kBoxIconError);
  return boxes[0].text;
}

TEST_F(FailureInjection, EveryFailingCallEndsInItsMessageAndLeavesNothingBehind) {
  std::set<CallKind> failedKinds;
  std::map<std::string, int> harmless;  // what failed without consequence, and how often
  uint32_t failAt = 1;
  for (; failAt < kCallLimit; ++failAt) {
    RunResult result = Run(failAt);
    if (!InjectedFailureHappened()) break;
    const CountedCall call = CountedCalls()[failAt - 1];
    failedKinds.insert(call.kind);
    SCOPED_TRACE(testing::Message() << "call " << failAt << ": " << CallKindName(call.kind) << " " << call.path);

    EXPECT_EQ(result.filesOpen, 0u) << "a file stays open";
    EXPECT_EQ(result.descriptorChange, 0) << "a descriptor stays open";
    EXPECT_EQ(result.blocksAllocated, 0u) << "a block stays allocated";

    std::string error = ErrorShown(result);
    bool inPass = result.startup == kStartupShowDialog;
    if (inPass && result.jump == kJumpCompleted) {
      // No harm done: every file is there, whole.
      EXPECT_EQ(error, "") << "a message, yet the pass completed";
      ExpectOnlyWhatWasDone(true);
      ++harmless[std::string(CallKindName(call.kind)) + (result.boxes.empty() ? " (no prompt)" : "")];
      continue;
    }
    if (inPass) {
      EXPECT_EQ(result.jump, kJumpAborted);
    } else {
      EXPECT_EQ(result.startup, kStartupFailed);
    }
    std::vector<std::string> expected = ExpectedMessages(call, inPass);
    bool matches = false;
    for (const std::string& text : expected) matches = matches || (error == text || (!text.empty() && text.back() != '.' && StartsWith(error, text)));
    EXPECT_TRUE(matches) << "shown: \"" << error << "\"" << (expected.empty() ? "; no failure expected here" : "");
    ExpectOnlyWhatWasDone(false);
  }
  ASSERT_LT(failAt, kCallLimit) << "the runs never came to an end";

  // The run that made fewer calls than the one to fail is the clean run.
  RunResult clean = Run(failAt);
  EXPECT_EQ(clean.jump, kJumpCompleted);
  EXPECT_EQ(ErrorShown(clean), "");
  ExpectOnlyWhatWasDone(true);
  for (const auto& file : fixture_.files) EXPECT_EQ(ReadBinaryFile(drive_.Join("target/" + file.first)), file.second);

  // The archive was chosen so that every kind of call fails somewhere.
  for (CallKind kind : {CallKind::kOpen, CallKind::kCreate, CallKind::kRead, CallKind::kWrite, CallKind::kSeek,
                        CallKind::kMakeFolder, CallKind::kAllocate}) {
    EXPECT_EQ(failedKinds.count(kind), 1u) << CallKindName(kind) << " never failed";
  }
  std::printf("%u calls failed one at a time;", failAt - 1);
  for (const auto& entry : harmless) std::printf(" harmless: %s x%d;", entry.first.c_str(), entry.second);
  std::printf("\n");
}

}  // namespace
