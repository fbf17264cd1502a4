// The path routines and the output paths of entries, on real folders. These
// run on the host and as the 32-bit build under Wine, so they stay on the
// paths that show no message box; the refusals are in tests/host.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/entry.h"
#include "paths/default_folder.h"
#include "paths/entry_name.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/directories.h"
#include "tests/support/scratch_folder.h"

namespace {

std::string Native(std::string path) {
#if defined(_WIN32)
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
#endif
  return path;
}

TEST(FileNamePart, IsTheTextBehindTheLastSeparatorButTheFirst) {
  struct Case { const char* path; const char* name; };
  const Case cases[] = {
      {"C:\\A\\B.TXT", "B.TXT"},
      {"DIR/", ""},
      {"\\B.TXT", "\\B.TXT"},       // a separator in front does not count
      {"/B.TXT", "/B.TXT"},
      {"a/b\\c", "c"},              // either separator
      {"B.TXT", "B.TXT"},
      {"", ""},
      {"\\\\srv", "srv"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_STREQ(FileNamePart(c.path), c.name);
  }
}

TEST(AppendSeparator, AddsABackslashUnlessOneIsThere) {
  struct Case { const char* text; const char* result; };
  const Case cases[] = {
      {"C:\\OUT", "C:\\OUT\\"}, {"C:\\OUT\\", "C:\\OUT\\"}, {"C:/OUT/", "C:/OUT/"},
      {"", "\\"},  // an empty text gets one too
      {"C:", "C:\\"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char buffer[32];
    CopyText(buffer, c.text, sizeof buffer);
    AppendSeparator(buffer);
    EXPECT_STREQ(buffer, c.result);
  }
}

TEST(StripTrailingSeparator, KeepsRootsAndDoubleSeparators) {
  struct Case { const char* text; const char* result; };
  const Case cases[] = {
      {"C:\\TEMP\\", "C:\\TEMP"}, {"C:\\", "C:\\"}, {"\\\\", "\\\\"},
      {"C:\\TEMP\\\\", "C:\\TEMP\\\\"},  // the character before is a separator
      {"C:\\TEMP/", "C:\\TEMP/"},        // only a backslash is removed
      {"AB\\", "AB"}, {"A\\", "A\\"},    // two characters are kept whole
      {"C:\\TEMP", "C:\\TEMP"}, {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char buffer[32];
    CopyText(buffer, c.text, sizeof buffer);
    StripTrailingSeparator(buffer);
    EXPECT_STREQ(buffer, c.result);
  }
}

TEST(HasUnsafeComponent, RefusesWhatCouldLeaveTheTargetFolderOrReachADevice) {
  const char* unsafe[] = {
      "..", "../x.txt", "a/../../x.txt", "a\\..\\x.txt", "/../x", "a/..", "...", ".. ", ". .",
      " ", "a/ /x.txt", ". /x.txt", "a/ ./x", "  \\x",  // dots and blanks that would drop to nothing
      "C:x.txt", "C:/x.txt", "x.txt:stream", "a/b:c/d",
      "con", "CON", "Con.txt", "con .txt", "NUL.tar.gz", "aux/x.txt", "a/prn/b.txt", "x/nul", "con. ",
      "COM1", "com9.log", "LPT1", "lpt5.txt", "COM0", "lpt0.txt", "conin$", "CONOUT$.x",
      "COM\xC2\xB9", "com\xC2\xB2.log", "LPT\xC2\xB3 .txt", "a/Lpt\xC2\xB9./b",  // superscripts 1, 2, 3
  };
  for (const char* name : unsafe) {
    SCOPED_TRACE(name);
    EXPECT_EQ(HasUnsafeComponent(name), 1);
  }
  const char* safe[] = {
      "x.txt", "/x.txt", "//x.txt", "a//b.txt", "..a", "a..", "a..b/c", ".hidden", "./x.txt",
      "CONSOLE", "icon.txt", "COM10", "LPT", "nul_", "AUXX.txt", "con1.txt", "docs/sub/",
      "a b/c d.txt", "a./b.txt", "e /f.txt", "x. . ",
      "COM\xC2\xB4", "LPT\xC2\xB9\xC2\xB9", "COM\xE2\x81\xB4",  // acute accent, two superscripts, superscript 4
  };
  for (const char* name : safe) {
    SCOPED_TRACE(name);
    EXPECT_EQ(HasUnsafeComponent(name), 0);
  }
}

// Names as the scanner reads them, and the output path ResolveOutputPath
// makes of them.
class OutputPathTest : public testing::Test {
 protected:
  void SetUp() override {
    saved_ = g_outputPaths.targetFolder;
    g_outputPaths.overwriteSetting = false;
  }
  void TearDown() override { CopyText(g_outputPaths.targetFolder, saved_.c_str(), kTargetFolderSize); }

  static std::string Build(const std::string& target, const std::string& name) {
    CopyText(g_outputPaths.targetFolder, target.c_str(), kTargetFolderSize);
    char path[kPathBufferSize];
    EXPECT_FALSE(ResolveOutputPath(name.c_str(), path));
    return path;
  }

  std::string saved_;
};

TEST_F(OutputPathTest, JoinsTargetAndNameWithBackslashes) {
  struct Case { const char* target; const char* name; const char* path; };
  const Case cases[] = {
      {"C:\\OUT", "a/b/c.txt", "C:\\OUT\\a\\b\\c.txt"},
      {"C:\\OUT\\", "/x.txt", "C:\\OUT\\x.txt"},
      {"C:\\OUT\\", "//x.txt", "C:\\OUT\\\\x.txt"},     // only one leading separator is dropped
      {"C:/OUT/", "x.txt", "C:\\OUT\\x.txt"},           // the target's slashes too
      {"C:", "x.txt", "C:\\x.txt"},
      {"", "a/x.txt", "a\\x.txt"},                      // no target: relative to the current folder
      {"", "/x.txt", "x.txt"},                          // and it stays relative
      {"", "\\\\srv\\share\\x.txt", "srv\\share\\x.txt"},
      // Every component loses its trailing dots and blanks, as Windows drops
      // them from a short path; "." stays.
      {"C:\\OUT", "a./b.txt", "C:\\OUT\\a\\b.txt"},
      {"C:\\OUT", "e /f.txt", "C:\\OUT\\e\\f.txt"},
      {"C:\\OUT", "g. ./h .\\i.txt. ", "C:\\OUT\\g\\h\\i.txt"},
      {"C:\\OUT", "./x..", "C:\\OUT\\.\\x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.target) + " + " + c.name);
    EXPECT_EQ(Build(c.target, c.name), c.path);
  }
}

TEST_F(OutputPathTest, AcceptsAJoinedPathOf263Characters) {
  std::string target = "C:\\" + std::string(59, 't');  // 62 characters, then the separator
  std::string name(200, 'n');
  EXPECT_EQ(Build(target, name).size(), 263u);
}

// Folders are made on a real disk under a scratch folder.
class CreateFoldersTest : public OutputPathTest {
 protected:
  void SetTarget(const std::string& relative) {
    CopyText(g_outputPaths.targetFolder, Native(scratch_.Path() + "/" + relative).c_str(), kTargetFolderSize);
  }
  void RunFileEntry(const char* name) {
    ASSERT_FALSE(ResolveOutputPath(name, outputPath_));
    CreateFolders(outputPath_);
  }
  void RunFolderEntry(const char* name) {
    ASSERT_TRUE(ResolveOutputPath(name, outputPath_));
    CreateFolders(outputPath_);
  }

  char outputPath_[kPathBufferSize] = {};
  ScratchFolder scratch_;
};

TEST_F(CreateFoldersTest, MakesEveryFolderOnTheWayButNotTheFile) {
  SetTarget("OUT");
  RunFileEntry("a/b/c.txt");
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"OUT/", "OUT/a/", "OUT/a/b/"}));
  std::string expected = scratch_.Path() + "/OUT/a/b/c.txt";
  for (char& c : expected) {
    if (c == '/') c = '\\';  // the target's own slashes too
  }
  EXPECT_EQ(std::string(outputPath_), expected);
}

TEST_F(CreateFoldersTest, MakesEveryComponentOfAFolderEntry) {
  SetTarget("OUT");
  RunFolderEntry("docs/sub/");
  RunFolderEntry("/lead\\back\\");  // the leading separator kept: an empty component, passed over
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"OUT/", "OUT/docs/", "OUT/docs/sub/", "OUT/lead/",
                                                       "OUT/lead/back/"}));
}

TEST_F(CreateFoldersTest, PassesOverEmptyComponents) {
  SetTarget("OUT\\");
  RunFileEntry("//x.txt");
  RunFileEntry("a//b/c.txt");
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"OUT/", "OUT/a/", "OUT/a/b/"}));
}

TEST_F(CreateFoldersTest, TakesAnythingUnderAFoldersNameAsTheFolder) {
  WriteTextFile(scratch_.Join("a"), "a file");
  SetTarget("");
  RunFileEntry("a/x.txt");  // the file creation fails later, not here
  EXPECT_TRUE(IsFile(scratch_.Join("a")));
}

TEST_F(CreateFoldersTest, ExistingFoldersAreLeftAlone) {
  SetTarget("OUT");
  RunFileEntry("a/one.txt");
  WriteTextFile(scratch_.Join("OUT/a/one.txt"), "kept");
  RunFileEntry("a/two.txt");
  EXPECT_EQ(ReadTextFile(scratch_.Join("OUT/a/one.txt")), "kept");
}

TEST_F(CreateFoldersTest, ConfirmOverwriteAsksNothingWhenTheFileIsNewOrOverwriteIsOn) {
  SetTarget("OUT");
  RunFileEntry("x.txt");
  EXPECT_TRUE(ConfirmOverwrite(outputPath_));  // nothing there: no question
  WriteTextFile(scratch_.Join("OUT/x.txt"), "old");
  g_outputPaths.overwriteSetting = true;
  EXPECT_TRUE(ConfirmOverwrite(outputPath_));  // there, but overwrite is on: no question
}

TEST(PathExists, ReportsFilesFoldersAndNothing) {
  ScratchFolder scratch;
  WriteTextFile(scratch.Join("file.txt"), "x");
  EXPECT_EQ(KindOfPath(scratch.Path().c_str()), PathKind::kFolder);
  EXPECT_EQ(KindOfPath(scratch.Join("file.txt").c_str()), PathKind::kFile);
  EXPECT_EQ(KindOfPath(scratch.Join("missing").c_str()), PathKind::kNothing);
  EXPECT_TRUE(PathExists(scratch.Join("file.txt").c_str()));
  EXPECT_FALSE(PathExists(scratch.Join("missing").c_str()));
  // A search for "folder\" finds nothing on the platform.
  EXPECT_FALSE(PathExists((scratch.Path() + Native("/")).c_str()));
}

TEST(CreateFolder, MakesOneFolderOnly) {
  ScratchFolder scratch;
  EXPECT_TRUE(CreateFolder(scratch.Join("one").c_str()));
  EXPECT_TRUE(IsFolder(scratch.Join("one")));
  EXPECT_FALSE(CreateFolder(scratch.Join("one").c_str()));      // already there
  EXPECT_FALSE(CreateFolder(scratch.Join("two/three").c_str()));  // no parent
}

TEST(LongModuleName, ReplacesTheLastComponentWhenFound) {
  ScratchFolder scratch;
  WriteTextFile(scratch.Join("Setup Program.exe"), "x");
  char path[261];
  CopyText(path, scratch.Join("Setup Program.exe").c_str(), sizeof path);
  LongModuleName(path);
  EXPECT_EQ(std::string(path), scratch.Join("Setup Program.exe"));
  CopyText(path, scratch.Join("missing.exe").c_str(), sizeof path);
  LongModuleName(path);
  EXPECT_EQ(std::string(path), scratch.Join("missing.exe"));  // unchanged
}

}  // namespace
