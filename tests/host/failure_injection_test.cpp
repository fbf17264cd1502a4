// Failures of the system, one call at a time. A run of the whole program
// (start-up through PrepareRun, then one pass, as the headless runner does
// it) makes a few hundred calls that can fail: opens, reads, seeks, creates,
// writes, folder creations and allocations. The run is repeated with call 1
// failing, then call 2, and so on until a run makes fewer calls than the one
// to fail, which must then complete. Every run with a failure must:
//  - end in the one message for that kind of failure, with the right ending
//    (start-up stopped, or the pass aborted), or, where the failure does no
//    harm, complete with every file right;
//  - write nothing outside the target folder, and leave no file but the one
//    the pass was in when it stopped short of its content;
//  - hold no open file and no block once the program has ended as the real
//    one ends: Shutdown and FreeResources after a pass; after a start-up
//    failure the process ends, so everything must still be reachable from
//    the process-wide state that ResetProcessState frees.
//
// The archive has a folder entry, a file in a folder made on the way, stored
// and deflated files (a dynamic and a fixed block), an extra field, encrypted
// entries (one with a data descriptor) and an archive comment, so that each
// call site of the pass is met; it runs as one self-extractor file and as a
// spanned set of three disks, whose volume switches open files in the pass.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "extract/scanner.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_reset.h"
#include "platform/host/host_volumes.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "tests/host/failing_calls.h"
#include "tests/host/zlib_oracle.h"
#include "tests/support/process_state.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/shown_texts.h"
#include "tests/support/zip_writer.h"
#include "ui/unzip_flow.h"

namespace {

const char kNotEnoughMemory[] = "not enough memory";
const char kBadCrc[] = "ZIP damaged: file ";
const char kPrompt[] = "Unpack the test files?";
const char kPassword[] = "pw";

const uint32_t kCallLimit = 5000;  // far above what one run makes: runs that never end are a failure
const int kNoPass = -1;

// --- the archive ---------------------------------------------------------------

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

struct Archive {
  std::string bytes;
  uint32_t totalSize = 0;
  std::map<std::string, std::string> files;  // under the target folder, '/' between components
  std::set<std::string> folders;
  // Where a spanned set's volumes end: inside deflated data (a refill runs
  // on into the next volume) and inside a local header (so does the record).
  std::vector<uint32_t> cuts;
};

// `spanned`: the set's marker in front, as a spanning writer puts it.
Archive MakeArchive(bool spanned) {
  Archive archive;
  archive.files = {
      {"docs/readme.txt", "read me first\n"},
      {"docs/notes.txt", Content(3000, 1)},
      {"docs/big.txt", Content(40000, 2)},
      {"fixed.txt", "a short line, coded with the fixed code\n"},
      {"secret/key.txt", Content(2500, 3)},
      {"secret/more.txt", Content(9000, 4)},
  };
  archive.folders = {"docs", "secret"};
  const auto& f = archive.files;

  ZipWriter zip;
  if (spanned) zip.Raw(std::string("PK\x07\x08", 4));
  zip.Entry(FolderEntry("docs/"), "");
  zip.File("docs/readme.txt", f.at("docs/readme.txt"));
  ZipFields withExtra = StoredFile("docs/notes.txt", f.at("docs/notes.txt"));
  withExtra.extra = std::string("UT\x05\x00\x01\x00\x00\x00\x00", 9);
  zip.Entry(withExtra, f.at("docs/notes.txt"));
  std::string big = ZlibRawDeflate(f.at("docs/big.txt"));
  archive.cuts.push_back(zip.Size() + 30 + 12 + 5000);
  zip.Entry(DeflatedFile("docs/big.txt", f.at("docs/big.txt"), big), big);
  archive.cuts.push_back(zip.Size() + 17);
  std::string fixed = ZlibRawDeflate(f.at("fixed.txt"));
  zip.Entry(DeflatedFile("fixed.txt", f.at("fixed.txt"), fixed), fixed);
  ZipFields withDescriptor = StoredFile("secret/key.txt", f.at("secret/key.txt"));
  withDescriptor.flags = 8;
  AddEncrypted(&zip, withDescriptor, f.at("secret/key.txt"));
  std::string more = ZlibRawDeflate(f.at("secret/more.txt"));
  AddEncrypted(&zip, DeflatedFile("secret/more.txt", f.at("secret/more.txt"), more), more);
  zip.Finish("the archive's comment");

  archive.bytes = zip.Bytes();
  archive.totalSize = zip.TotalSize();
  return archive;
}

SfxOptions Options(uint32_t flags, const Archive& archive) {
  SfxOptions options;
  options.flags = kFlagEncrypted | flags;
  options.totalSize = archive.totalSize;
  options.config = ConfigBlock("", "", kPrompt, "", "about");
  if ((flags & kFlagSpanned) != 0) options.endRecordOffset = 0;  // a set's end record is on its last disk
  return options;
}

// --- what a run shows -------------------------------------------------------------

// A message as shown, or the start of one whose end varies (a read error's
// code, a CRC's values).
struct Message {
  std::string text;
  bool whole;

  bool Matches(const std::string& shown) const {
    return whole ? shown == text : shown.compare(0, text.size(), text) == 0;
  }
};

Message Whole(const std::string& text) { return {text, true}; }
Message Start(const std::string& text) { return {text, false}; }

struct RunResult {
  int startup = kExitFailure;
  int jump = kNoPass;
  std::vector<HostBox> boxes;
  size_t filesOpen = 0;
  size_t blocksAllocated = 0;
  long descriptorChange = 0;
};

// The error box of a run: its text, or empty when there was none. Every
// other box (the start-up prompt, disk prompts) comes before it.
std::string ErrorShown(const RunResult& result) {
  std::string error;
  for (const HostBox& box : result.boxes) {
    EXPECT_EQ(box.caption, kCaption);
    if ((box.style & kBoxIconError) == 0) {
      EXPECT_EQ(error, "") << "a box after the error: " << box.text;
      continue;
    }
    EXPECT_EQ(error, "") << "a second error: " << box.text;
    EXPECT_EQ(box.style, kBoxOk | kBoxIconError);
    error = box.text;
  }
  return error;
}

long OpenDescriptors() {
  long count = 0;
  for (const auto& item : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)item;
    ++count;
  }
  return count;
}

// --- the disks of a spanned set ------------------------------------------------------

// The set's drive is A:; the folder of the disk in it is mapped there, and
// its label read from the host's label table.
std::vector<std::unique_ptr<ScratchFolder>>* g_disks = nullptr;

void InsertDisk(int number) {
  if (number < 1 || number > static_cast<int>(g_disks->size())) {
    HostSetVolumeLabel('A', nullptr);  // a disk the set does not have: an empty drive
    return;
  }
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", number);
  HostMapDrive('A', (*g_disks)[number - 1]->Path());
  HostSetVolumeLabel('A', (std::string("PKBACK# ") + digits).c_str());
}

// The user at a disk prompt: on OK or Retry the disk asked for goes in.
void SwapDiskForPrompt(const HostBox& box, int answer) {
  if (g_disks == nullptr || (answer != kAnswerOk && answer != kAnswerRetry)) return;
  if (box.text.rfind("Please insert disk", 0) == 0 || box.text.rfind("The disk in the drive", 0) == 0) {
    InsertDisk(std::atoi(box.text.c_str() + box.text.find_first_of("0123456789")));
  }
}

// --- the test -----------------------------------------------------------------------

class FailureInjection : public testing::Test {
 protected:
  void SetUp() override {
    HostMapDrive('X', target_.Path());
    g_disks = &disks_;
    HostSetBoxObserver(SwapDiskForPrompt);
  }
  // The listeners reset everything before each test; this closes the files
  // a run left open before the scratch folders go.
  void TearDown() override {
    StopCountingCalls();
    g_disks = nullptr;
    ResetProcessState();
    HostResetPlatform();
  }

  // One self-extractor file with the archive in it.
  void PlaceSingleFile() {
    archive_ = MakeArchive(false);
    SelfExtractor sfx = MakeSelfExtractor(FakeStub(), archive_.bytes, Options(0, archive_));
    disks_.clear();
    disks_.push_back(std::make_unique<ScratchFolder>());
    Place(1, "test.exe", sfx.bytes);
    exeBytes_ = sfx.bytes;
    executable_ = disks_[0]->Join("test.exe");
    spanned_ = false;
  }

  // The spanned set, one volume per disk: with .EXE volumes the first lies
  // in the self-extractor, with .ZIP volumes beside it.
  void PlaceSpannedSet(bool exeVolumes) {
    archive_ = MakeArchive(true);
    std::vector<uint32_t> cuts = archive_.cuts;
    cuts.insert(cuts.begin(), 0);
    cuts.push_back(static_cast<uint32_t>(archive_.bytes.size()));
    std::vector<std::string> volumes;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) volumes.push_back(archive_.bytes.substr(cuts[i], cuts[i + 1] - cuts[i]));

    uint32_t flags = kFlagSpanned | (exeVolumes ? kFlagExeVolumes : 0);
    SelfExtractor sfx = MakeSelfExtractor(FakeStub(), exeVolumes ? volumes[0] : "", Options(flags, archive_));
    disks_.clear();
    for (size_t i = 0; i < volumes.size(); ++i) disks_.push_back(std::make_unique<ScratchFolder>());
    if (exeVolumes) {
      Place(1, "SETUP.EXE", sfx.bytes.substr(0, sfx.archiveOffset + volumes[0].size()));
    } else {
      Place(1, "SETUP.EXE", sfx.bytes);
      Place(1, "SETUP.ZIP", volumes[0]);
    }
    for (size_t disk = 2; disk <= volumes.size(); ++disk) {
      Place(static_cast<int>(disk), exeVolumes ? "SETUP.EXE" : "SETUP.ZIP", volumes[disk - 1]);
    }
    exeBytes_ = sfx.bytes;
    executable_ = "A:\\SETUP.EXE";
    spanned_ = true;
  }

  void Place(int disk, const std::string& name, const std::string& bytes) {
    WriteBinaryFile(disks_[disk - 1]->Join(name), bytes);
    placed_.push_back({disk, name, bytes});
  }

  // Start-up and one pass into X:\target with call `failAt` failing, then
  // what the program does at its end.
  RunResult Run(uint32_t failAt) {
    for (const auto& item : std::filesystem::directory_iterator(target_.Path())) {
      std::filesystem::remove_all(item.path());
    }
    ResetProcessState();
    HostClearBoxes();
    if (spanned_) InsertDisk(1);
    size_t marker = exeBytes_.find(SettingsMarkerText());
    CopyBytes(&g_settings, exeBytes_.data() + marker, sizeof(StubSettings));
    CopyText(g_executablePath, executable_.c_str(), kExecutablePathSize);

    RunResult result;
    long descriptorsBefore = OpenDescriptors();
    StartCountingCalls(failAt);
    char tail[] = "";
    result.startup = PrepareRun(nullptr, tail);
    if (result.startup == kStartupShowDialog) {
      CopyText(g_outputPaths.targetFolder, "X:\\target", kTargetFolderSize);
      static char password[] = "pw";
      StorePasswordBytes(password);
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
    std::string relative = hostPath.substr(target_.Path().size());
    for (char& c : relative) {
      if (c == '/') c = '\\';
    }
    return "X:" + relative;
  }

  // Seeks to a place are checked (to the archive, and back from a volume's
  // end); seeks by a distance are not, nor the look for a volume's end,
  // which a spanned set can do without.
  static bool IsCheckedSeek(const CountedCall& call) {
    return call.kind == CallKind::kSeek && call.whence == SEEK_SET;
  }

  // The messages the failed call may end in; none when the call cannot fail
  // in that phase.
  std::vector<Message> ExpectedMessages(const CountedCall& call, bool inPass) const {
    if (!inPass) {
      if (call.kind == CallKind::kAllocate) return {Whole(kHeaderCorrupt), Whole(kNotEnoughMemory)};
      if (call.kind == CallKind::kOpen || call.kind == CallKind::kRead || call.kind == CallKind::kSeek) {
        return {Whole(kHeaderCorrupt), Whole(kDamaged)};
      }
      return {};
    }
    Message readError =
        Start("Error reading " + executable_ + ".  Possible cause: bad disk or file transfer error. <");
    switch (call.kind) {
      case CallKind::kAllocate: return {Whole(kNotEnoughMemory)};
      case CallKind::kOpen: return {Whole(kHeaderCorrupt)};  // the next volume
      case CallKind::kCreate: return {Whole("Can't create output file: " + WindowsPath(call.path))};
      case CallKind::kMakeFolder:
        return {Whole("Could not create \"" + WindowsPath(call.path) + "\" - unzip operation cancelled.")};
      case CallKind::kWrite:
        return {Whole("Error writing to " + WindowsPath(call.path) + ".  Possible cause: disk full.")};
      case CallKind::kRead: return {readError};
      case CallKind::kSeek:
        // An unchecked seek's failure shows as the damage it does to what is
        // read next.
        if (IsCheckedSeek(call)) return {Whole(kIoError)};
        return {Whole(kInvalidHeader), readError, Start(kBadCrc)};
    }
    return {};
  }

  // Every file in the target folder is one of the archive's, whole, but for
  // the one the pass stopped in, which holds the start of its content (or,
  // `mayBeGarbled`, whatever was read as its data); nothing was created
  // outside the target folder, and the self-extractor and its volumes are
  // as they were.
  void ExpectOnlyWhatWasDone(bool complete, bool mayBeGarbled = false) const {
    int partial = 0;
    for (const std::string& item : target_.Tree()) {
      ASSERT_EQ(item.rfind("target/", 0), 0u) << item << " lies outside the target folder";
      std::string relative = item.substr(7);
      if (relative.empty()) continue;
      if (relative.back() == '/') {
        EXPECT_EQ(archive_.folders.count(relative.substr(0, relative.size() - 1)), 1u) << item;
        continue;
      }
      auto expected = archive_.files.find(relative);
      ASSERT_NE(expected, archive_.files.end()) << item << " is no file of the archive";
      std::string content = ReadBinaryFile(target_.Join(item));
      if (content == expected->second) continue;
      ++partial;
      EXPECT_FALSE(complete) << item << " differs from its entry";
      if (!mayBeGarbled) {
        EXPECT_EQ(expected->second.compare(0, content.size(), content), 0) << item << " holds other bytes";
      }
    }
    EXPECT_LE(partial, 1);
    if (complete) {
      for (const auto& file : archive_.files) EXPECT_TRUE(IsFile(target_.Join("target/" + file.first))) << file.first;
    }
    for (const std::string& path : PathsCreated()) {
      EXPECT_EQ(path.rfind(target_.Join("target"), 0), 0u) << path << " was created outside the target folder";
    }
    std::map<int, std::vector<std::string>> names;
    for (const PlacedFile& file : placed_) {
      names[file.disk].push_back(file.name);
      EXPECT_EQ(ReadBinaryFile(disks_[file.disk - 1]->Join(file.name)), file.bytes) << file.name << " was changed";
    }
    for (auto& disk : names) {
      std::sort(disk.second.begin(), disk.second.end());
      EXPECT_EQ(disks_[disk.first - 1]->Tree(), disk.second) << "disk " << disk.first;
    }
  }

  // Fails each call of the run in turn, as the file comment says.
  void FailEveryCallInTurn() {
    std::set<CallKind> failedKinds;
    uint32_t failAt = 1;
    for (; failAt < kCallLimit; ++failAt) {
      RunResult result = Run(failAt);
      if (!InjectedFailureHappened()) break;
      const CountedCall call = CountedCalls()[failAt - 1];
      failedKinds.insert(call.kind);
      SCOPED_TRACE(testing::Message() << "call " << failAt << ": " << CallKindName(call.kind) << " " << call.path);

      std::string error = ErrorShown(result);
      bool inPass = result.startup == kStartupShowDialog;
      EXPECT_EQ(result.filesOpen, 0u) << "a file stays open";
      EXPECT_EQ(result.blocksAllocated, 0u) << "a block stays allocated";
      EXPECT_EQ(result.descriptorChange, 0) << "a descriptor stays open";
      if (inPass && result.jump == kJumpCompleted) {
        // No harm done, and no message: the start-up prompt was not shown
        // for want of its block, or an unchecked seek failed where nothing
        // more was read (behind the end record) or where what was read then
        // was passed over (a spanned set passes over what it does not know).
        bool promptShown = !result.boxes.empty() && result.boxes.front().text == kPrompt;
        bool harmless = (call.kind == CallKind::kAllocate && !promptShown) ||
                        (call.kind == CallKind::kSeek && !IsCheckedSeek(call));
        EXPECT_TRUE(harmless) << "the failure went unnoticed";
        EXPECT_EQ(error, "") << "a message, yet the pass completed";
        ExpectOnlyWhatWasDone(true);
        continue;
      }
      if (inPass) {
        EXPECT_EQ(result.jump, kJumpAborted);
      } else {
        // A call that failed at start-up is a read or write error, or a file
        // found damaged; never a success, a cancel or a usage error.
        EXPECT_TRUE(result.startup == kExitFailure || result.startup == kExitReadWrite) << result.startup;
      }
      std::vector<Message> expected = ExpectedMessages(call, inPass);
      bool matches = false;
      for (const Message& message : expected) matches = matches || message.Matches(error);
      EXPECT_TRUE(matches) << "shown: \"" << error << "\"" << (expected.empty() ? "; no failure expected here" : "");
      // A file whose bad CRC was reported holds whatever was read as its data.
      ExpectOnlyWhatWasDone(false, Start(kBadCrc).Matches(error));
    }
    ASSERT_LT(failAt, kCallLimit) << "the runs never came to an end";

    // The run that made fewer calls than the one to fail ran clean.
    RunResult clean = Run(failAt);
    EXPECT_EQ(clean.jump, kJumpCompleted);
    EXPECT_EQ(ErrorShown(clean), "");
    ExpectOnlyWhatWasDone(true);
    for (const auto& file : archive_.files) {
      EXPECT_EQ(ReadBinaryFile(target_.Join("target/" + file.first)), file.second) << file.first;
    }

    // The archive was chosen so that every kind of call fails somewhere.
    for (CallKind kind : {CallKind::kOpen, CallKind::kCreate, CallKind::kRead, CallKind::kWrite, CallKind::kSeek,
                          CallKind::kMakeFolder, CallKind::kAllocate}) {
      EXPECT_EQ(failedKinds.count(kind), 1u) << CallKindName(kind) << " never failed";
    }
    std::printf("%u calls failed, one in each run\n", failAt - 1);
  }

  struct PlacedFile {
    int disk;
    std::string name;
    std::string bytes;
  };

  ScratchFolder target_;  // drive X:
  std::vector<std::unique_ptr<ScratchFolder>> disks_;  // the self-extractor's folder, or the set's disks
  std::vector<PlacedFile> placed_;
  std::string exeBytes_;
  std::string executable_;
  bool spanned_ = false;
  Archive archive_;
};

TEST_F(FailureInjection, SingleFile) {
  PlaceSingleFile();
  FailEveryCallInTurn();
}

TEST_F(FailureInjection, SpannedSetOfExeVolumes) {
  PlaceSpannedSet(true);
  FailEveryCallInTurn();
}

TEST_F(FailureInjection, SpannedSetOfZipVolumes) {
  PlaceSpannedSet(false);
  FailEveryCallInTurn();
}

}  // namespace
