// Spanned sets in this process: volume labels, the disk prompts of a volume
// switch, and whole runs (start-up, then passes) over sets cut by hand at the
// places that matter.
//
// The set's drive is A:, mapped to the folder of the disk "in the drive";
// its label comes from the host's label table. A box observer acts as the
// user: when a disk prompt is answered OK or Retry, it puts the disk asked
// for into the drive first (a disk the set does not have leaves the drive
// empty). The target folder is on drive X:.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "archive/input.h"
#include "extract/scanner.h"
#include "archive/volumes.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_reset.h"
#include "platform/host/host_volumes.h"
#include "base/abort.h"
#include "stub/checks.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "base/work_memory.h"
#include "tests/host/guarded_run.h"
#include "tests/host/zlib_oracle.h"
#include "tests/support/process_state.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/shown_texts.h"
#include "tests/support/zip_writer.h"
#include "ui/unzip_flow.h"

namespace {

const char kWrongDisk[] = "The disk in the drive appears to be\nmissing or has an incorrect label.\nInsert disk number %d.";
const char kPassword[] = "pw";

std::string InsertDisk(int disk) { return "Please insert disk " + std::to_string(disk) + " in drive A:."; }

std::string WrongDisk(int disk) {
  char text[200];
  std::snprintf(text, sizeof text, kWrongDisk, disk);
  return text;
}

std::string Label(int disk) {
  char number[16];
  std::snprintf(number, sizeof number, "%03d", disk);
  return std::string("PKBACK# ") + number;
}

// --- the disks --------------------------------------------------------------

// The folders of the set's disks, and which one is in drive A:.
struct Drive {
  std::vector<std::unique_ptr<ScratchFolder>> disks;

  void Make(size_t count) {
    disks.clear();
    for (size_t i = 0; i < count; ++i) disks.push_back(std::make_unique<ScratchFolder>());
  }
  std::string Join(int disk, const std::string& name) const { return disks[disk - 1]->Join(name); }

  // Disk `number` with its own label, or an empty drive for a disk the set
  // does not have.
  void Insert(int number) const {
    if (number < 1 || number > static_cast<int>(disks.size())) {
      HostSetVolumeLabel('A', nullptr);
      return;
    }
    Insert(number, Label(number));
  }
  // Disk `number` carrying `label` (null: none).
  void Insert(int number, const char* label) const { Insert(number, label == nullptr ? "" : label, label != nullptr); }
  void Insert(int number, const std::string& label, bool labelled = true) const {
    HostMapDrive('A', disks[number - 1]->Path());
    HostSetVolumeLabel('A', labelled ? label.c_str() : nullptr);
  }
};

Drive* g_drive = nullptr;

// The user at a disk prompt: on OK or Retry the disk asked for goes in.
void SwapDiskForPrompt(const HostBox& box, int answer) {
  if (answer != kAnswerOk && answer != kAnswerRetry) return;
  if (box.text.rfind("Please insert last disk", 0) == 0) {
    g_drive->Insert(static_cast<int>(g_drive->disks.size()));
    return;
  }
  size_t digits = box.text.find_first_of("0123456789");
  if (box.text.rfind("Please insert disk", 0) == 0 || box.text.rfind("The disk in the drive", 0) == 0) {
    g_drive->Insert(std::atoi(box.text.c_str() + digits));
  }
}

std::vector<std::string> Texts(const std::vector<HostBox>& boxes) {
  std::vector<std::string> texts;
  for (const HostBox& box : boxes) texts.push_back(box.text);
  return texts;
}

class SpannedTest : public testing::Test {
 protected:
  void SetUp() override {
    g_drive = &drive_;
    HostSetBoxObserver(SwapDiskForPrompt);
    HostMapDrive('X', target_.Path());
    alarm(60);  // a prompt asked for ever fails the test instead of hanging the suite
  }
  // The listeners reset everything before each test; this closes the files
  // a run left open before the scratch folders go.
  void TearDown() override {
    alarm(0);
    g_drive = nullptr;
    ResetProcessState();
    HostResetPlatform();
  }

  Drive drive_;
  ScratchFolder target_;  // drive X:
};

// --- labels -----------------------------------------------------------------

TEST_F(SpannedTest, VolumeNumberFromTheLabel) {
  struct Row {
    const char* label;  // null: no label can be read
    uint32_t number;
  };
  const Row rows[] = {
      {"PKBACK# 001", 1},
      {"PKBACK#.12", 12},
      {"PKBACK# 3 of 4", 3},       // the digits up to the first non-digit
      {"PKBACK# x7", 7},           // anything between separator and digits is passed over
      {"PKBACK# 65537", 1},        // cut to 16 bits
      {"PKBACK#001", kNoVolumeNumber},  // no blank or point before the digits
      {"pkback# 001", kNoVolumeNumber},
      {"PKBACK 001", kNoVolumeNumber},
      {"", kNoVolumeNumber},
      {nullptr, kNoVolumeNumber},
      {"PKBACK# ", kNoVolumeNumber},     // a separator but no digit
      {"PKBACK#.abc", kNoVolumeNumber},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label == nullptr ? "(no label)" : row.label);
    HostSetVolumeLabel('A', row.label);
    EXPECT_EQ(ReadVolumeNumber("A:"), row.number);
  }
}

// --- switching volumes --------------------------------------------------------

struct SwitchRow {
  const char* what;
  const char* label;          // of the disk in the drive (disk 3's folder); null: none
  uint32_t wanted;
  std::vector<int> answers;
  std::vector<std::string> boxes;
  int jump;
  const char* opened;         // content of the volume file opened; null: none
};

class SwitchVolumeTest : public SpannedTest {
 protected:
  void SetUp() override {
    SpannedTest::SetUp();
    ASSERT_TRUE(AllocateWorkMemory());
    ASSERT_EQ(RunGuarded([] { LoadResources(); }), kJumpCompleted);
    drive_.Make(3);
    for (int disk = 1; disk <= 3; ++disk) WriteBinaryFile(drive_.Join(disk, "SETUP.ZIP"), "volume " + std::to_string(disk));
    CopyText(g_executablePath, "A:\\SETUP.EXE", kExecutablePathSize);
    g_volumes.currentDisk = 1;
  }

  // The content of the archive handle's file, from its position.
  static std::string Opened() {
    if (g_archiveInput.handle <= 0) return "(none)";
    char buffer[64] = {};
    int32_t got = SysRead(g_archiveInput.handle, buffer, sizeof buffer - 1);
    return got > 0 ? std::string(buffer, got) : "";
  }
};

TEST_F(SwitchVolumeTest, PromptsUntilTheWantedDiskIsIn) {
  const std::string question = WrongDisk(2);
  const std::vector<SwitchRow> rows = {
      {"the right disk: no prompt", "PKBACK# 003", 3, {}, {}, kJumpCompleted, "volume 3"},
      {"another disk, then OK", "PKBACK# 003", 2, {kAnswerOk}, {InsertDisk(2)}, kJumpCompleted, "volume 2"},
      {"another disk, then Cancel", "PKBACK# 003", 2, {kAnswerCancel}, {InsertDisk(2)}, kJumpAborted, nullptr},
      {"no label, then Retry", nullptr, 2, {kAnswerRetry}, {question}, kJumpCompleted, "volume 2"},
      {"no label, then Abort", nullptr, 2, {kAnswerAbort}, {question}, kJumpAborted, nullptr},
      {"label without separator, then Abort", "PKBACK#002", 2, {kAnswerAbort}, {question}, kJumpAborted, nullptr},
      {"no label, then Ignore: whatever is in the drive", nullptr, 2, {kAnswerIgnore}, {question}, kJumpCompleted,
       "volume 3"},
      {"the last disk wanted, then Cancel", "PKBACK# 002", 0, {kAnswerCancel},
       {"Please insert last disk of set in drive A:."}, kJumpAborted, nullptr},
  };
  for (const SwitchRow& row : rows) {
    SCOPED_TRACE(row.what);
    HostClearBoxes();
    drive_.Insert(3, row.label);
    for (int answer : row.answers) HostQueueAnswer(answer);
    static uint32_t wanted;
    wanted = row.wanted;
    int jump = RunGuarded([] { SwitchVolume(wanted, 0); });
    EXPECT_EQ(jump, row.jump);
    EXPECT_EQ(Texts(HostShownBoxes()), row.boxes);
    if (row.opened != nullptr) {
      EXPECT_EQ(Opened(), row.opened);
      EXPECT_EQ(g_volumes.currentDisk, row.wanted);
    }
    for (const HostBox& box : HostShownBoxes()) {
      EXPECT_EQ(box.caption, kCaption);
      uint32_t style = box.text == question ? (kBoxAbortRetryIgnore | kBoxIconQuestion) : kBoxOkCancel;
      EXPECT_EQ(box.style, style) << box.text;
    }
  }
}

TEST_F(SwitchVolumeTest, VolumeFileNamedLikeTheExecutable) {
  // The extension is replaced whatever its case; the disk's volume must
  // carry exactly the name formed.
  WriteBinaryFile(drive_.Join(2, "setup.ZIP"), "lower-case name");
  WriteBinaryFile(drive_.Join(2, "setup.EXE"), "exe volume");
  CopyText(g_executablePath, "A:\\setup.exe", kExecutablePathSize);
  drive_.Insert(2);
  EXPECT_EQ(RunGuarded([] { SwitchVolume(2, 0); }), kJumpCompleted);
  EXPECT_EQ(Opened(), "lower-case name");
  EXPECT_EQ(RunGuarded([] { SwitchVolume(2, 1); }), kJumpCompleted);
  EXPECT_EQ(Opened(), "exe volume");

  // The right label but no such file on the disk: the header-corrupt message.
  HostClearBoxes();
  CopyText(g_executablePath, "A:\\OTHER.EXE", kExecutablePathSize);
  EXPECT_EQ(RunGuarded([] { SwitchVolume(2, 0); }), kJumpAborted);
  EXPECT_EQ(Texts(HostShownBoxes()), std::vector<std::string>{kHeaderCorrupt});
  EXPECT_EQ(g_archiveInput.handle, 0);
}

// --- whole runs ---------------------------------------------------------------

std::string WordsAndBytes(size_t size, uint32_t seed) {
  std::string text;
  uint32_t state = seed;
  while (text.size() < size) {
    state = state * 1103515245u + 12345u;
    text += (state >> 28) < 6 ? std::string("word") + std::to_string(state >> 24) + ' ' : std::string(1, char(state >> 16));
  }
  text.resize(size);
  return text;
}

// A spanned archive and the places in it where a volume may end.
struct Archive {
  std::string bytes;  // the spanning signature first
  uint32_t totalSize = 0;
  std::vector<std::pair<std::string, std::string>> files;  // name under the target, content
  // Positions in `bytes`.
  uint32_t firstHeader = 0;     // the first local header's signature
  uint32_t firstName = 0;
  uint32_t firstExtra = 0;
  uint32_t bigData = 0;         // stored data of kInputBufferSize + 6000 bytes: two refills
  uint32_t cryptHeader = 0;     // an encrypted entry's 12-byte header
  uint32_t descriptor = 0;      // its data descriptor
  uint32_t lastHeader = 0;
  uint32_t central = 0;         // the first central directory header
};

Archive MakeArchive() {
  Archive archive;
  ZipWriter zip;
  zip.Raw("PK\x07\x08");

  archive.firstHeader = zip.Size();
  ZipFields first = StoredFile("first.txt", "alpha\n");
  first.extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
  archive.firstName = archive.firstHeader + 30;
  archive.firstExtra = archive.firstName + 9;
  zip.Entry(first, "alpha\n");

  zip.Entry(FolderEntry("data/"), "");
  std::string big = WordsAndBytes(kInputBufferSize + 6000, 1);
  archive.bigData = zip.Size() + 30 + 12;
  zip.File("data/big.bin", big);

  std::string secret = "the secret text\n";
  ZipFields crypt = StoredFile("secret.txt", secret);
  crypt.flags |= 0x9;  // encrypted, with a data descriptor: the check byte comes from the time
  crypt.compressedSize = static_cast<uint32_t>(12 + secret.size());
  archive.cryptHeader = zip.Size() + 30 + 10;
  archive.descriptor = archive.cryptHeader + crypt.compressedSize;
  zip.Entry(crypt, EncryptTraditional(kPassword, static_cast<uint8_t>(crypt.time >> 8), secret));

  std::string last = WordsAndBytes(3000, 2);
  archive.lastHeader = zip.Size();
  zip.Entry(DeflatedFile("last.txt", last, ZlibRawDeflate(last)), ZlibRawDeflate(last));
  archive.central = zip.Size();
  zip.Finish();

  archive.bytes = zip.Bytes();
  archive.totalSize = zip.TotalSize();
  archive.files = {{"first.txt", "alpha\n"}, {"data/big.bin", big}, {"secret.txt", secret}, {"last.txt", last}};
  return archive;
}

enum class Names { kExe, kZip };

const char* NamesText(Names names) { return names == Names::kExe ? ".EXE volumes" : ".ZIP volumes"; }

class SpannedRunTest : public SpannedTest {
 protected:
  // Writes the set: the archive cut at `cuts` (positions in it), one volume
  // per disk. Disk 1 holds the self-extractor (a stand-in stub and its
  // config block), with the first volume in it or beside it. Returns the
  // self-extractor as written, before any truncation.
  SelfExtractor WriteSet(const Archive& archive, std::vector<uint32_t> cuts, Names names,
                         int64_t endRecordOffset = 0) {
    cuts.insert(cuts.begin(), 0);
    cuts.push_back(static_cast<uint32_t>(archive.bytes.size()));
    drive_.Make(cuts.size() - 1);
    std::vector<std::string> volumes;
    for (size_t i = 0; i + 1 < cuts.size(); ++i) volumes.push_back(archive.bytes.substr(cuts[i], cuts[i + 1] - cuts[i]));

    SfxOptions options;
    options.flags = kFlagSpanned | kFlagEncrypted | (names == Names::kExe ? kFlagExeVolumes : 0);
    options.totalSize = archive.totalSize;
    options.endRecordOffset = endRecordOffset;
    options.config = ConfigBlock("", "", "", "", "");
    SelfExtractor sfx = MakeSelfExtractor(FakeStub(), names == Names::kExe ? volumes[0] : "", options);
    if (names == Names::kExe) {
      // The first volume ends where the archive's first part ends.
      WriteBinaryFile(drive_.Join(1, "SETUP.EXE"), sfx.bytes.substr(0, sfx.archiveOffset + volumes[0].size()));
    } else {
      WriteBinaryFile(drive_.Join(1, "SETUP.EXE"), sfx.bytes);
      WriteBinaryFile(drive_.Join(1, "SETUP.ZIP"), volumes[0]);
    }
    const char* volumeName = names == Names::kExe ? "SETUP.EXE" : "SETUP.ZIP";
    for (size_t disk = 2; disk <= volumes.size(); ++disk) WriteBinaryFile(drive_.Join(disk, volumeName), volumes[disk - 1]);
    return sfx;
  }

  // Start-up from disk 1 of the set in drive A:, as the headless runner
  // starts it. The start-up outcome.
  int StartUp() {
    ResetProcessState();
    HostClearBoxes();
    drive_.Insert(1);
    std::string bytes = ReadBinaryFile(drive_.Join(1, "SETUP.EXE"));
    CopyBytes(&g_settings, bytes.data() + bytes.find(SettingsMarkerText()), sizeof(StubSettings));
    CopyText(g_executablePath, "A:\\SETUP.EXE", kExecutablePathSize);
    char tail[] = "";
    return PrepareRun(nullptr, tail);
  }

  // One Unzip to X:\target; the pass's jump code.
  int Pass() {
    CopyText(g_outputPaths.targetFolder, "X:\\target", kTargetFolderSize);
    StorePasswordBytes(password_);
    g_outputPaths.overwriteSetting = 1;  // a second pass replaces the files of the first
    ResetPassCounters();
    return RunPass();
  }

  void ExpectFiles(const Archive& archive) const {
    for (const auto& file : archive.files) {
      EXPECT_EQ(ReadBinaryFile(target_.Join("target/" + file.first)), file.second) << file.first;
    }
  }

  char password_[3] = {'p', 'w', 0};
};

TEST_F(SpannedRunTest, VolumesEndingAnywhereExtractTheSame) {
  const Archive archive = MakeArchive();
  struct Cut {
    const char* where;
    std::vector<uint32_t> cuts;
  };
  const std::vector<Cut> rows = {
      {"inside the spanning signature", {2}},
      {"at a record boundary", {archive.firstHeader}},
      {"inside a local header's signature", {archive.firstHeader + 1}},
      {"inside a local header's fixed part", {archive.firstHeader + 17}},
      {"inside a name", {archive.firstName + 4}},
      {"inside an extra field", {archive.firstExtra + 3}},
      {"inside entry data, part of the way into a refill", {archive.bigData + 2048}},
      {"inside entry data at a refill boundary", {archive.bigData + kInputBufferSize}},
      {"inside entry data 100 bytes into a refill", {archive.bigData + kInputBufferSize + 100}},
      {"inside an encryption header", {archive.cryptHeader + 5}},
      {"inside a data descriptor", {archive.descriptor + 6}},
      {"inside deflated data", {archive.lastHeader + 100}},
      {"just behind the last entry", {archive.central}},
      {"four disks", {archive.firstName + 2, archive.bigData + 4096, archive.cryptHeader + 11}},
  };
  for (Names names : {Names::kExe, Names::kZip}) {
    for (const Cut& row : rows) {
      SCOPED_TRACE(std::string(row.where) + ", " + NamesText(names));
      WriteSet(archive, row.cuts, names);
      ASSERT_EQ(StartUp(), kStartupShowDialog) << testing::PrintToString(Texts(HostShownBoxes()));
      EXPECT_EQ(Pass(), kJumpCompleted);
      ExpectFiles(archive);
      EXPECT_EQ(g_outputSink.fileCounter, 4u);
      std::vector<std::string> prompts;
      for (size_t disk = 2; disk <= drive_.disks.size(); ++disk) prompts.push_back(InsertDisk(static_cast<int>(disk)));
      EXPECT_EQ(Texts(HostShownBoxes()), prompts);
    }
  }
}

TEST_F(SpannedRunTest, ScanEndsAtTheFirstCentralHeaderWithoutTheEndRecordCheck) {
  Archive archive = MakeArchive();
  // Nothing of the directory after its first signature is read: damage it,
  // and leave out the disk that would hold the rest.
  for (size_t at = archive.central + 4; at < archive.bytes.size(); ++at) archive.bytes[at] = '\xEE';
  for (Names names : {Names::kExe, Names::kZip}) {
    SCOPED_TRACE(NamesText(names));
    // An end record offset that points nowhere: a spanned set skips that check.
    WriteSet(archive, {archive.lastHeader + 7, archive.central + 9}, names, 0x7777);
    drive_.disks.pop_back();
    ASSERT_EQ(StartUp(), kStartupShowDialog) << testing::PrintToString(Texts(HostShownBoxes()));
    EXPECT_EQ(Pass(), kJumpCompleted);
    ExpectFiles(archive);
    EXPECT_EQ(Texts(HostShownBoxes()), (std::vector<std::string>{InsertDisk(2)}));
  }
}

TEST_F(SpannedRunTest, EachPassStartsAgainAtDiskOne) {
  const Archive archive = MakeArchive();
  for (Names names : {Names::kExe, Names::kZip}) {
    SCOPED_TRACE(NamesText(names));
    WriteSet(archive, {archive.firstName + 3, archive.bigData + 3000}, names);
    ASSERT_EQ(StartUp(), kStartupShowDialog);
    EXPECT_EQ(Pass(), kJumpCompleted);
    HostClearBoxes();
    EXPECT_EQ(Pass(), kJumpCompleted);
    ExpectFiles(archive);
    EXPECT_EQ(Texts(HostShownBoxes()), (std::vector<std::string>{InsertDisk(1), InsertDisk(2), InsertDisk(3)}));
  }
}

TEST_F(SpannedRunTest, AnEmptyNextVolumeEndsTheEntryShortAndDamaged) {
  // Disk 1 ends at a refill boundary inside big.bin, and disk 2's volume is
  // empty: the refill that reads again from it gets nothing, the entry ends
  // short of its declared size, and the pass reports the damage.
  const Archive archive = MakeArchive();
  WriteSet(archive, {archive.bigData + kInputBufferSize}, Names::kZip);
  WriteBinaryFile(drive_.Join(2, "SETUP.ZIP"), "");
  ASSERT_EQ(StartUp(), kStartupShowDialog);
  EXPECT_EQ(Pass(), kJumpAborted);
  EXPECT_EQ(Texts(HostShownBoxes()), (std::vector<std::string>{InsertDisk(2), MessageText(kMessageDamaged)}));
  EXPECT_EQ(g_outputSink.file, 0);
}

TEST_F(SpannedRunTest, AnIncompleteSetEndsInMessages) {
  const Archive archive = MakeArchive();
  const std::string cannotRead = "Error reading A:\\SETUP.EXE.  Possible cause: bad disk or file transfer error. <8>";

  // The last disk is missing: asked for, then the drive stays empty.
  WriteSet(archive, {archive.bigData + 100}, Names::kExe);
  drive_.disks.pop_back();
  ASSERT_EQ(StartUp(), kStartupShowDialog);
  EXPECT_EQ(Pass(), kJumpAborted);
  EXPECT_EQ(Texts(HostShownBoxes()), (std::vector<std::string>{InsertDisk(2), WrongDisk(2)}));

  // Disk 2 has the right label but no volume file.
  WriteSet(archive, {archive.bigData + 100}, Names::kZip);
  std::remove(drive_.Join(2, "SETUP.ZIP").c_str());
  ASSERT_EQ(StartUp(), kStartupShowDialog);
  EXPECT_EQ(Pass(), kJumpAborted);
  EXPECT_EQ(Texts(HostShownBoxes()), (std::vector<std::string>{InsertDisk(2), kHeaderCorrupt}));

  // A set cut short after an entry: the next disk's volume is empty.
  WriteSet(archive, {archive.lastHeader}, Names::kZip);
  WriteBinaryFile(drive_.Join(2, "SETUP.ZIP"), "");
  ASSERT_EQ(StartUp(), kStartupShowDialog);
  EXPECT_EQ(Pass(), kJumpAborted);
  std::vector<std::string> expected = {InsertDisk(2), cannotRead};
  EXPECT_EQ(Texts(HostShownBoxes()), expected);

  // Disk 1 is not in the drive at start-up: asked for before any window.
  WriteSet(archive, {archive.bigData + 100}, Names::kExe);
  ResetProcessState();
  std::string bytes = ReadBinaryFile(drive_.Join(1, "SETUP.EXE"));
  CopyBytes(&g_settings, bytes.data() + bytes.find(SettingsMarkerText()), sizeof(StubSettings));
  HostMapDrive('A', drive_.disks[0]->Path());  // the program itself was started from disk 1
  HostSetVolumeLabel('A', "PKBACK# 002");
  CopyText(g_executablePath, "A:\\SETUP.EXE", kExecutablePathSize);
  HostClearBoxes();
  HostQueueAnswer(kAnswerCancel);
  char tail[] = "";
  EXPECT_EQ(PrepareRun(nullptr, tail), kExitCancelled);
  EXPECT_EQ(Texts(HostShownBoxes()), std::vector<std::string>{InsertDisk(1)});
}

}  // namespace
