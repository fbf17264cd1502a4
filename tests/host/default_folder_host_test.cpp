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

}  // namespace
