// The default target folder with the environment, the Windows directory and
// the ANSI code page set up by the test.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "paths/default_folder.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_system.h"
#include "tests/host/guarded_run.h"
#include "tests/support/scratch_folder.h"

namespace {

class DefaultFolderHost : public WithMessages {
 protected:
  void SetUp() override {
    WithMessages::SetUp();
    HostResetPaths();
    HostMapDrive('C', scratch_.Path());
    ASSERT_TRUE(CreateFolder(scratch_.Join("WINDOWS").c_str()));
    HostClearEnvironmentOverrides();
    HostSetEnvironment("TMP", nullptr);
    HostSetEnvironment("TEMP", nullptr);
    HostSetWindowsDirectory("C:\\WINDOWS");
    HostSetCodePage(1252);
  }
  void TearDown() override {
    HostClearEnvironmentOverrides();
    HostSetWindowsDirectory(nullptr);
    HostSetCodePage(1252);
    HostResetPaths();
    WithMessages::TearDown();
  }

  // DefaultFolder into a destination that holds "untouched" beforehand.
  std::string Default(int expected) {
    char destination[kTargetFolderSize] = "untouched";
    EXPECT_EQ(DefaultFolder(destination), expected);
    return destination;
  }

  ScratchFolder scratch_;
};

TEST_F(DefaultFolderHost, EnvironmentComesFirstAndIsTakenAsItIs) {
  struct Case { const char* tmp; const char* temp; const char* folder; };
  const Case cases[] = {
      {"C:\\WORK\\", "D:\\T", "C:\\WORK"},   // one trailing separator goes
      {"C:\\", nullptr, "C:\\"},              // not from a root
      {nullptr, "D:\\T", "D:\\T"},            // TEMP need not exist
      {"", "D:\\T", "D:\\T"},                 // empty counts as unset
      {"\\\\srv\\share\\", nullptr, "\\\\srv\\share"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.tmp ? c.tmp : "(unset)") + " / " + (c.temp ? c.temp : "(unset)"));
    HostSetEnvironment("TMP", c.tmp);
    HostSetEnvironment("TEMP", c.temp);
    EXPECT_EQ(Default(1), c.folder);
  }
  EXPECT_EQ(scratch_.Tree(), (std::vector<std::string>{"WINDOWS/"}));  // nothing made for them
}

// A value fits when it has at most 260 UTF-16 units, however many bytes its
// UTF-8 takes; a longer one is passed over for the next candidate.
TEST_F(DefaultFolderHost, ValueThatDoesNotFitIsPassedOver) {
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const std::string cjk = "\xE6\x97\xA5";      // one unit, three bytes
  const std::string pair = "\xF0\x9F\x98\x80";  // two units, four bytes
  struct Case { const char* label; std::string tmp; bool taken; };
  const Case cases[] = {
      {"260 ASCII characters", "C:\\" + std::string(257, 'x'), true},
      {"261 ASCII characters", "C:\\" + std::string(258, 'x'), false},
      {"100 CJK characters", "C:\\" + repeat(cjk, 100), true},
      {"260 units of CJK characters (780 bytes)", "C:\\" + repeat(cjk, 257), true},
      {"261 units of CJK characters", "C:\\" + repeat(cjk, 258), false},
      {"a pair that makes 261 units", "C:\\" + repeat(cjk, 256) + pair, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HostSetEnvironment("TMP", c.tmp.c_str());
    HostSetEnvironment("TEMP", "D:\\T");
    EXPECT_EQ(Default(1), c.taken ? c.tmp : "D:\\T");
  }
}

TEST_F(DefaultFolderHost, WindowsTempIsMadeWhenNeitherVariableIsSet) {
  EXPECT_EQ(Default(1), "C:\\WINDOWS\\TEMP");
  EXPECT_TRUE(IsFolder(scratch_.Join("WINDOWS/TEMP")));
  EXPECT_EQ(Default(1), "C:\\WINDOWS\\TEMP");  // and taken as it is the next time
  HostSetWindowsDirectory("C:\\");
  EXPECT_EQ(Default(1), "C:\\TEMP");  // no second separator behind a root
}

TEST_F(DefaultFolderHost, NoCandidateLeavesTheDestinationUntouched) {
  WriteTextFile(scratch_.Join("WINDOWS/TEMP"), "a file in the way");
  EXPECT_EQ(Default(0), "untouched");
  HostSetWindowsDirectory(nullptr);  // no Windows directory at all
  EXPECT_EQ(Default(0), "untouched");
  HostSetWindowsDirectory(("C:\\" + std::string(246, 'w')).c_str());  // 249 characters: fits
  ASSERT_TRUE(CreateFolder(("C:\\" + std::string(246, 'w')).c_str()));
  EXPECT_EQ(Default(1), "C:\\" + std::string(246, 'w') + "\\TEMP");
  HostSetWindowsDirectory(("C:\\" + std::string(247, 'w')).c_str());  // 250: passed over
  ASSERT_TRUE(CreateFolder(("C:\\" + std::string(247, 'w')).c_str()));
  EXPECT_EQ(Default(0), "untouched");
  EXPECT_FALSE(IsFolder(scratch_.Join(std::string(247, 'w') + "/TEMP")));
}

// TEMP under the Windows directory is taken only as a folder: a link is
// taken when it leads to one, never when it leads to a file or to nothing
// (making the folder there would make it wherever the link points).
TEST_F(DefaultFolderHost, WindowsTempThatIsALinkIsTakenOnlyToAFolder) {
  ASSERT_TRUE(CreateFolder(scratch_.Join("elsewhere").c_str()));
  WriteTextFile(scratch_.Join("file"), "a file");
  struct Case { const char* label; const char* target; bool taken; };
  const Case cases[] = {
      {"a link to a folder", "elsewhere", true},
      {"a link to a file", "file", false},
      {"a link to nothing", "missing", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string link = scratch_.Join("WINDOWS/TEMP");
    std::remove(link.c_str());
    ASSERT_EQ(symlink(scratch_.Join(c.target).c_str(), link.c_str()), 0);
    EXPECT_EQ(Default(c.taken ? 1 : 0), c.taken ? "C:\\WINDOWS\\TEMP" : "untouched");
  }
  EXPECT_FALSE(PathExists(scratch_.Join("missing").c_str()));  // nothing made through the link
}

}  // namespace
