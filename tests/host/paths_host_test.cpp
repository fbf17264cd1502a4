// Output paths and folders on the host, where drive letters and network
// shares map to scratch folders and message boxes are scripted: the drive and
// network rules, every refusal with its exact message, and the overwrite
// prompt.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/entry.h"
#include "paths/entry_name.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/directories.h"
#include "platform/host/host_paths.h"
#include "tests/host/guarded_run.h"
#include "tests/support/scratch_folder.h"

namespace {

int g_decision;
char g_resolvedPath[kPathBufferSize];  // what the steps below resolve a name to

// What the scanner does with a file entry's name, and with a folder entry's.
void FileEntryStep() {
  ResolveOutputPath(g_entry.nameBuffer, g_resolvedPath);
  CreateFolders(g_resolvedPath);
  g_decision = ConfirmOverwrite(g_resolvedPath) ? 1 : 0;
}
void FolderEntryStep() {
  ResolveOutputPath(g_entry.nameBuffer, g_resolvedPath);
  CreateFolders(g_resolvedPath);
  g_decision = 1;
}
void CheckNameStep() { CheckEntryName(g_entry.nameBuffer); }

const char kCannotCreate[] = "Could not create \"%s\" - unzip operation cancelled.";

class PathsHost : public WithMessages {
 protected:
  void SetUp() override {
    WithMessages::SetUp();
    HostResetPaths();
    CopyText(savedTarget_, g_outputPaths.targetFolder, kTargetFolderSize);
    WriteTextFile(scratch_.Join("marker"), "");  // the scratch folder holds this and c/
    ASSERT_TRUE(CreateFolder(scratch_.Join("c").c_str()));
    HostMapDrive('C', scratch_.Join("c"));
    g_outputPaths.overwriteSetting = false;
  }
  void TearDown() override {
    HostResetPaths();
    CopyText(g_outputPaths.targetFolder, savedTarget_, kTargetFolderSize);
    WithMessages::TearDown();
  }

  int Run(void (*step)(), const std::string& target, const std::string& name) {
    CopyText(g_outputPaths.targetFolder, target.c_str(), kTargetFolderSize);
    CopyText(g_entry.nameBuffer, name.c_str(), kNameBufferSize);
    g_decision = -1;
    return RunGuarded(step);
  }

  // A fatal stop: jump code 2 and one error box with this text.
  void ExpectFatal(int code, const std::string& text) {
    EXPECT_EQ(code, kJumpAborted);
    ASSERT_EQ(HostShownBoxes().size(), 1u);
    EXPECT_EQ(HostShownBoxes()[0].text, text);
    EXPECT_EQ(HostShownBoxes()[0].caption, "Arcula Self-Extractor");
    EXPECT_EQ(HostShownBoxes()[0].style, kBoxOk | kBoxIconError);
  }

  std::vector<std::string> Untouched() const { return {"c/", "marker"}; }

  ScratchFolder scratch_;
  char savedTarget_[kTargetFolderSize];
};

TEST_F(PathsHost, FoldersOfFileAndFolderEntriesUnderADrive) {
  ASSERT_EQ(Run(FileEntryStep, "C:\\OUT", "a/b/c.txt"), kJumpCompleted);
  EXPECT_EQ(g_decision, 1);
  EXPECT_STREQ(g_resolvedPath, "C:\\OUT\\a\\b\\c.txt");
  ASSERT_EQ(Run(FolderEntryStep, "C:\\OUT", "docs/sub/"), kJumpCompleted);
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"c/", "c/OUT/", "c/OUT/a/", "c/OUT/a/b/", "c/OUT/docs/",
                                                       "c/OUT/docs/sub/", "marker"}));
  EXPECT_TRUE(HostShownBoxes().empty());
}

TEST_F(PathsHost, RelativeDrivePathCreatesTheFolderOnThatDrive) {
  ASSERT_EQ(Run(FileEntryStep, "C:dir", "x.txt"), kJumpCompleted);
  EXPECT_STREQ(g_resolvedPath, "C:dir\\x.txt");
  EXPECT_TRUE(IsFolder(scratch_.Join("c/dir")));
}

TEST_F(PathsHost, BareDriveIsNeverCreated) {
  // E: is a drive whose root is not there: "E:" is passed over, so the first
  // folder tried (and failing) is E:\a.
  HostMapDrive('E', scratch_.Join("e-missing"));
  HostSetDriveType('E', kDriveFixed);
  int code = Run(FileEntryStep, "E:", "a/x.txt");
  ExpectFatal(code, Formatted(32, "E:\\a"));
  EXPECT_EQ(Formatted(32, "E:\\a"), "Could not create \"E:\\a\" - unzip operation cancelled.");
}

TEST_F(PathsHost, NetworkServerAndShareAreNeverCreated) {
  ASSERT_TRUE(CreateFolder(scratch_.Join("share").c_str()));
  HostMapShare("srv", "share", scratch_.Join("share"));
  ASSERT_EQ(Run(FileEntryStep, "\\\\srv\\share\\out", "a/x.txt"), kJumpCompleted);
  ASSERT_EQ(Run(FolderEntryStep, "//SRV/Share/out", "f/"), kJumpCompleted);
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"c/", "marker", "share/", "share/out/", "share/out/a/",
                                                       "share/out/f/"}));
  // On a share that is not there, the first folder looked at is the share's
  // folder, not the server or the share.
  int code = Run(FileEntryStep, "\\\\other\\share\\out", "x.txt");
  char text[1024];
  SysFormat(text, kCannotCreate, "\\\\other\\share\\out");
  ExpectFatal(code, text);
}

TEST_F(PathsHost, UnusableDriveStopsThePassBeforeAnythingIsCreated) {
  HostMapDrive('D', scratch_.Join("c"));
  struct Case { char drive; int type; bool usable; };
  const Case cases[] = {
      {'Q', -1, false},               // not mapped: no such root
      {'D', kDriveUnknown, false},
      {'D', kDriveNoRootDir, false},
      {'D', kDriveRemovable, true},
      {'D', kDriveRemote, true},
      {'D', kDriveCdRom, true},
  };
  for (const Case& c : cases) {
    for (void (*step)() : {FileEntryStep, FolderEntryStep}) {
      SCOPED_TRACE(std::string(1, c.drive) + " type " + std::to_string(c.type) +
                   (step == FileEntryStep ? " file" : " folder"));
      HostClearBoxes();
      if (c.type >= 0) HostSetDriveType(c.drive, static_cast<uint32_t>(c.type));
      std::string target = std::string(1, c.drive) + ":\\OUT";
      int code = Run(step, target, step == FileEntryStep ? "a/x.txt" : "a/");
      if (c.usable) {
        EXPECT_EQ(code, kJumpCompleted);
        EXPECT_TRUE(HostShownBoxes().empty());
      } else {
        std::string letter(1, c.drive);
        ExpectFatal(code, Formatted(45, letter));
        EXPECT_EQ(Formatted(45, letter),
                  "Drive " + letter + " is not a valid drive, unzip operation cancelled.");
        EXPECT_FALSE(IsFolder(scratch_.Join("c/OUT")));
      }
    }
  }
}

TEST_F(PathsHost, FolderThatCannotBeCreatedIsFatal) {
  WriteTextFile(scratch_.Join("c/file"), "in the way");
  int code = Run(FileEntryStep, "C:\\file\\sub", "x.txt");
  ExpectFatal(code, "Could not create \"C:\\file\\sub\" - unzip operation cancelled.");
}

TEST_F(PathsHost, UnsafeNamesAreRefusedBeforeAnythingIsCreated) {
  const char* names[] = {
      "../evil.txt", "a/../../evil.txt", "a\\..\\..\\evil.txt", "/../evil.txt", "\\..\\evil.txt",
      "ok/../../evil/", "../", "...\\evil.txt", ".. /evil.txt",
      "C:/evil.txt", "c:evil.txt", "a/x.txt:stream", "x:/",
      "CON", "con.txt", "a/Nul.tar.gz", "aux/x.txt", "prn .txt", "COM1", "lpt9.log", "a/b/CONOUT$",
      "nul/", "COM0", "lpt0.log", "COM\xC2\xB9", "a/com\xC2\xB2.txt", "LPT\xC2\xB3. ", "Lpt\xC2\xB9 .x/",
      "a/ /x.txt", "a/. /x.txt", " /", "a/ ./",
  };
  for (const char* name : names) {
    std::string entry = name;
    bool folder = entry.back() == '/' || entry.back() == '\\';
    SCOPED_TRACE(entry);
    HostClearBoxes();
    int code = Run(folder ? FolderEntryStep : FileEntryStep, "C:\\OUT", entry);
    ExpectFatal(code, Formatted(26, entry));
    EXPECT_EQ(scratch_.Tree(), Untouched());
  }
  EXPECT_NE(std::string(MessageText(26)).find("%s"), std::string::npos);
}

TEST_F(PathsHost, EmptyNameIsAnInvalidHeader) {
  const char kInvalidHeader[] = "Invalid ZIP header.  Possible cause: file transfer error.";
  for (void (*step)() : {CheckNameStep, FileEntryStep}) {
    HostClearBoxes();
    ExpectFatal(Run(step, "C:\\OUT", ""), kInvalidHeader);
  }
  EXPECT_EQ(scratch_.Tree(), Untouched());
}

// The joined path's limit counts UTF-16 units, not bytes: a folder of 260
// units and a name make up to 1023 units; one more is message 50.
std::string g_longName;
void ResolveLongName() { ResolveOutputPath(g_longName.c_str(), g_resolvedPath); }

TEST_F(PathsHost, JoinedPathLimitCountsUtf16Units) {
  const char kTooLong[] =
      "Zip contains filenames longer than are allowed by\nWindows. Arcula Self-Extractor cannot process this\n"
      "Zip file.";
  std::string target = "C:\\" + std::string(257, 't');  // 260 units, 261 with the separator
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  struct Case { const char* label; std::string name; bool fits; };
  const Case cases[] = {
      {"ASCII, 1023 units", std::string(762, 'n'), true},
      {"ASCII, 1024 units", std::string(763, 'n'), false},
      {"a dropped leading separator does not count, 1023 units", "/" + std::string(762, 'n'), true},
      {"two bytes a unit, 1023 units", repeat("\xC3\xA9", 762), true},
      {"two bytes a unit, 1024 units", repeat("\xC3\xA9", 763), false},
      {"pairs beyond the first plane, 1023 units", repeat("\xF0\x9F\x98\x80", 381), true},
      {"pairs beyond the first plane, 1024 units", repeat("\xF0\x9F\x98\x80", 381) + "n", false},
      {"a folder entry, 1024 units with its separator", "d/" + std::string(760, 'n') + "/", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HostClearBoxes();
    CopyText(g_outputPaths.targetFolder, target.c_str(), kTargetFolderSize);
    g_longName = c.name;
    int code = RunGuarded(ResolveLongName);
    if (c.fits) {
      EXPECT_EQ(code, kJumpCompleted);
      EXPECT_EQ(Utf16Length(g_resolvedPath), 1023u);
    } else {
      ExpectFatal(code, kTooLong);
    }
  }
  EXPECT_EQ(scratch_.Tree(), Untouched());  // nothing made for any of them
}

// A file under a folder longer than the platform's old 260-unit limit.
TEST_F(PathsHost, PathsBeyond260UnitsAreMade) {
  std::string target = "C:\\" + std::string(200, 't');
  std::string name = std::string(100, 'a') + "/" + std::string(100, 'b') + "/x.txt";
  ASSERT_EQ(Run(FileEntryStep, target, name), kJumpCompleted);
  EXPECT_GT(Utf16Length(g_resolvedPath), 400u);
  EXPECT_TRUE(IsFolder(scratch_.Join("c/" + std::string(200, 't') + "/" + std::string(100, 'a') + "/" +
                                     std::string(100, 'b'))));
}

// Trailing dots and blanks leave every component of the name, whatever the
// length of the path: the long form would keep them on disk, where Windows'
// own tools cannot reach them, and the short form keeps them in folder parts.
// The long target makes every path here longer than 260 units.
TEST_F(PathsHost, TrailingDotsAndBlanksLeaveEveryComponentAtAnyLength) {
  struct Case { const char* name; const char* landed; const char* lastFolder; };
  const Case cases[] = {
      {"a./b.txt", "a\\b.txt", "a"},
      {"e /f.txt", "e\\f.txt", "e"},
      {"g. ./h .\\i.txt. ", "g\\h\\i.txt", "g/h"},
      {"j.. /k . /", "j\\k\\", "j/k"},
  };
  // A component of a host file name takes at most 255 bytes: the long target has two.
  const std::string longFolder = std::string(128, 'L') + "/" + std::string(127, 'M');
  for (const std::string& folder : {std::string("short"), longFolder}) {
    std::string target = "C:\\" + folder;
    for (char& ch : target) {
      if (ch == '/') ch = '\\';
    }
    for (const Case& c : cases) {
      SCOPED_TRACE(folder.substr(0, 8) + " + " + c.name);
      std::string name = c.name;
      bool folderEntry = name.back() == '/';
      ASSERT_EQ(Run(folderEntry ? FolderEntryStep : FileEntryStep, target, name), kJumpCompleted);
      EXPECT_EQ(std::string(g_resolvedPath), target + "\\" + c.landed);
      EXPECT_TRUE(IsFolder(scratch_.Join("c/" + folder + "/" + c.lastFolder)));
    }
  }
  EXPECT_TRUE(HostShownBoxes().empty());
}

class OverwriteHost : public PathsHost {
 protected:
  void SetUp() override {
    PathsHost::SetUp();
    ASSERT_TRUE(CreateFolder(scratch_.Join("c/OUT").c_str()));
    WriteTextFile(scratch_.Join("c/OUT/x.txt"), "old");
    ASSERT_TRUE(CreateFolder(scratch_.Join("c/OUT/dir.txt").c_str()));
  }
};

TEST_F(OverwriteHost, AsksAboutEveryExistingFileOrFolder) {
  const char kQuestion[] = "File C:\\OUT\\x.txt already exists.  Overwrite file?";
  struct Case { const char* name; int answer; int code; int decision; };
  const Case cases[] = {
      {"x.txt", kAnswerYes, kJumpCompleted, 1},
      {"x.txt", kAnswerNo, kJumpCompleted, 0},
      {"x.txt", kAnswerCancel, kJumpCancelled, -1},
      {"dir.txt", kAnswerYes, kJumpCompleted, 1},  // a folder under the file's name asks too
      {"new.txt", kAnswerNo, kJumpCompleted, 1},   // nothing there: no question
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " answer " + std::to_string(c.answer));
    HostClearBoxes();
    HostQueueAnswer(c.answer);
    CopyText(g_resolvedPath, "stale", kPathBufferSize);
    EXPECT_EQ(Run(FileEntryStep, "C:\\OUT", c.name), c.code);
    EXPECT_EQ(g_decision, c.decision);
    if (std::string(c.name) == "new.txt") {
      EXPECT_TRUE(HostShownBoxes().empty());
      continue;
    }
    std::string path = std::string("C:\\OUT\\") + c.name;
    ASSERT_EQ(HostShownBoxes().size(), 1u);
    EXPECT_EQ(HostShownBoxes()[0].text, Formatted(16, path));
    EXPECT_EQ(HostShownBoxes()[0].caption, "Arcula Self-Extractor");
    EXPECT_EQ(HostShownBoxes()[0].style, kBoxYesNoCancel);  // no icon
    EXPECT_STREQ(g_resolvedPath, path.c_str());
  }
  EXPECT_EQ(Formatted(16, "C:\\OUT\\x.txt"), kQuestion);
  EXPECT_EQ(ReadTextFile(scratch_.Join("c/OUT/x.txt")), "old");  // the decision writes nothing
}

TEST_F(OverwriteHost, OverwriteSettingSkipsTheQuestion) {
  g_outputPaths.overwriteSetting = 1;
  EXPECT_EQ(Run(FileEntryStep, "C:\\OUT", "x.txt"), kJumpCompleted);
  EXPECT_EQ(g_decision, 1);
  EXPECT_TRUE(HostShownBoxes().empty());
}

TEST_F(OverwriteHost, NoAnswerCoversTheFollowingFiles) {
  HostQueueAnswer(kAnswerNo);
  HostQueueAnswer(kAnswerYes);
  EXPECT_EQ(Run(FileEntryStep, "C:\\OUT", "x.txt"), kJumpCompleted);
  EXPECT_EQ(g_decision, 0);
  EXPECT_EQ(Run(FileEntryStep, "C:\\OUT", "x.txt"), kJumpCompleted);
  EXPECT_EQ(g_decision, 1);
  EXPECT_EQ(HostShownBoxes().size(), 2u);
}

// The host finds names as Windows does, so that host tests see which file a
// name lands on: case folded (Western letters too), trailing dots and blanks
// dropped, on the way as well as at the end.
TEST(HostNames, FollowWindowsNameIdentity) {
  ScratchFolder scratch;
  ASSERT_TRUE(CreateFolder(scratch.Join("Dir").c_str()));
  WriteTextFile(scratch.Join("Dir/Readme.TXT"), "x");
  WriteTextFile(scratch.Join("\xC9t\xE9.txt"), "x");  // "Été.txt" in the Western code page
  HostMapDrive('W', scratch.Path());
  struct Case { const char* windows; const char* host; };
  const Case cases[] = {
      {"W:\\dir\\readme.txt", "/Dir/Readme.TXT"},
      {"W:\\DIR\\README.TXT. ", "/Dir/Readme.TXT"},
      {"W:\\dir.\\readme.txt", "/Dir/Readme.TXT"},
      {"W:\\\xE9T\xC9.TXT", "/\xC9t\xE9.txt"},
      {"W:\\dir\\new.txt...", "/Dir/new.txt"},  // a new name keeps its case, loses its dots
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.windows);
    EXPECT_EQ(HostPathFromWindows(c.windows), scratch.Path() + c.host);
  }
  EXPECT_EQ(KindOfPath("W:\\DIR"), PathKind::kFolder);
  HostResetPaths();
}

}  // namespace
