// The default target folder with the environment, the Windows directory and
// the ANSI code page set up by the test.
#include <gtest/gtest.h>

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

TEST_F(DefaultFolderHost, ValueThatDoesNotFitIsPassedOver) {
  std::string longest = "C:\\" + std::string(257, 'x');  // 260 characters: fits
  HostSetEnvironment("TMP", (longest + "y").c_str());
  HostSetEnvironment("TEMP", longest.c_str());
  EXPECT_EQ(Default(1), longest);
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

TEST_F(DefaultFolderHost, UnsupportedCharactersDependOnTheCodePage) {
  // 0x83 0x5C is one character in code page 932 whose second byte is '\'.
  const char kSjisWithBackslash[] = "C:\\\x83\x5C" "dir";
  struct Case { uint32_t codePage; const char* text; int unsupported; };
  const Case cases[] = {
      {932, kSjisWithBackslash, 1},
      {932, "C:\\\x83\x2F", 1},             // a second byte of '/'
      {932, "C:\\\x83\x41\\x", 0},          // double-byte, but no separator byte in it
      {932, "C:\\\xA0\\x", 0},              // 0xA0 is no lead byte in 932
      {932, "C:\\x\x83", 0},                // a lead byte at the end stands alone
      {936, "C:\\\xA0\x5C", 1},
      {1252, kSjisWithBackslash, 0},        // two ordinary characters here
      {1252, "C:\\\xE9\\x", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.codePage) + ": " + c.text);
    HostSetCodePage(c.codePage);
    EXPECT_EQ(HasUnsupportedChars(c.text), c.unsupported);
  }
}

TEST_F(DefaultFolderHost, RefusedCandidatesGiveWayToTheNext) {
  HostSetCodePage(932);
  HostSetEnvironment("TMP", "C:\\\x83\x5C");
  HostSetEnvironment("TEMP", "D:\\T");
  EXPECT_EQ(Default(1), "D:\\T");
  HostSetEnvironment("TEMP", "D:\\\x83\x5C");
  EXPECT_EQ(Default(1), "C:\\WINDOWS\\TEMP");
  // A Windows directory with such a character is refused, but its TEMP is
  // made first.
  std::string odd = "C:\\\x83\x5C";
  ASSERT_TRUE(CreateFolder(odd.c_str()));
  HostSetWindowsDirectory(odd.c_str());
  EXPECT_EQ(Default(0), "untouched");
  EXPECT_TRUE(IsFolder(scratch_.Join("\x83/TEMP")));
}

}  // namespace
