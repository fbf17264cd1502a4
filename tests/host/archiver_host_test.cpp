// Run Arcula against a scripted registry, key state and program start: what
// is started, and when message 27 is shown instead.
#include <gtest/gtest.h>

#include <string>

#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/host/host_process.h"
#include "base/abort.h"
#include "stub/checks.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "stub/startup.h"
#include "tests/host/guarded_run.h"
#include "ui/archiver.h"

namespace {

const char kRegistered[] = "C:\\ARCULA\\ARCULA.EXE \"%1\"";

class RunArcula : public WithMessages {
 protected:
  void SetUp() override {
    WithMessages::SetUp();
    HostResetProcess();
    CopyText(g_executablePath, "C:\\DL\\setup.exe", kExecutablePathSize);
    g_mainDialog = reinterpret_cast<WindowHandle>(0x4321);
  }
  void TearDown() override {
    HostResetProcess();
    g_executablePath[0] = 0;
    g_mainDialog = nullptr;
    g_spannedFlag = 0;
    g_exeVolumesFlag = 0;
    WithMessages::TearDown();
  }

  // Message 27 was the one box shown, as an information box.
  void ExpectNotFoundBox() {
    EXPECT_EQ(OnlyBoxText(), MessageText(kMessageNoArchiver));
    ASSERT_FALSE(HostShownBoxes().empty());
    EXPECT_EQ(HostShownBoxes()[0].caption, kStubCaption);
    EXPECT_EQ(HostShownBoxes()[0].style, kBoxOk);
    EXPECT_TRUE(HostStartedPrograms().empty());
  }
};

TEST_F(RunArcula, StartsTheRegisteredArchiverOnThisFile) {
  HostSetClassesRootValue(kArchiverCommandKey, kRegistered);
  EXPECT_EQ(OpenInArchiver(), 1);
  ASSERT_EQ(HostStartedPrograms().size(), 1u);
  EXPECT_EQ(HostStartedPrograms()[0], "C:\\ARCULA\\ARCULA.EXE \"C:\\DL\\setup.exe\"");
  EXPECT_TRUE(HostShownBoxes().empty());
}

TEST_F(RunArcula, SpannedSetWithZipVolumesOpensTheZipFile) {
  HostSetClassesRootValue(kArchiverCommandKey, kRegistered);
  g_spannedFlag = 1;
  EXPECT_EQ(OpenInArchiver(), 1);
  ASSERT_EQ(HostStartedPrograms().size(), 1u);
  EXPECT_EQ(HostStartedPrograms()[0], "C:\\ARCULA\\ARCULA.EXE \"C:\\DL\\setup.zip\"");
}

TEST_F(RunArcula, MessageWhenNothingIsRegistered) {
  EXPECT_EQ(std::string(MessageText(kMessageNoArchiver)).rfind("Arcula not found on your system.\n\n", 0), 0u);
  EXPECT_EQ(OpenInArchiver(), 0);
  ExpectNotFoundBox();
}

TEST_F(RunArcula, EmptyOrBlankRegisteredCommandCountsAsMissing) {
  for (const char* command : {"", " ", "   "}) {
    SCOPED_TRACE(std::string("\"") + command + "\"");
    HostResetProcess();
    HostClearBoxes();
    HostSetClassesRootValue(kArchiverCommandKey, command);
    EXPECT_FALSE(OpenInArchiver());
    ExpectNotFoundBox();
  }
}

TEST_F(RunArcula, ShiftHeldShowsTheMessageEvenWithAnArchiver) {
  HostSetClassesRootValue(kArchiverCommandKey, kRegistered);
  HostSetShiftKeyDown(1);
  EXPECT_EQ(OpenInArchiver(), 0);
  ExpectNotFoundBox();
}

// 260 characters are read; one more and the value counts as missing.
TEST_F(RunArcula, RegisteredCommandLongerThan260CharactersCountsAsMissing) {
  std::string longest = "A.EXE " + std::string(kRegisteredCommandLimit - 1 - 6, 'x');
  HostSetClassesRootValue(kArchiverCommandKey, longest.c_str());
  EXPECT_EQ(OpenInArchiver(), 1);
  EXPECT_TRUE(HostShownBoxes().empty());

  HostResetProcess();
  HostSetClassesRootValue(kArchiverCommandKey, (longest + "x").c_str());
  EXPECT_EQ(OpenInArchiver(), 0);
  ExpectNotFoundBox();
}

TEST_F(RunArcula, ProgramThatDoesNotStartIsNotReported) {
  HostSetClassesRootValue(kArchiverCommandKey, kRegistered);
  HostSetStartResult(2);  // the platform's "file not found"
  EXPECT_EQ(OpenInArchiver(), 0);
  EXPECT_EQ(HostStartedPrograms().size(), 1u);
  EXPECT_TRUE(HostShownBoxes().empty());
}

}  // namespace
