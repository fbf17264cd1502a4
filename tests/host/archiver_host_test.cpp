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

// 260 UTF-16 units are read, however many bytes they make; one more and the
// value counts as missing.
TEST_F(RunArcula, RegisteredCommandLongerThan260UnitsCountsAsMissing) {
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const std::string cjk = "\xE6\x97\xA5";  // one unit, three bytes
  struct Case { const char* label; std::string registered; bool found; };
  const Case cases[] = {
      {"ASCII, 260 units", "A.EXE " + std::string(254, 'x'), true},
      {"ASCII, 261 units", "A.EXE " + std::string(255, 'x'), false},
      {"CJK, 260 units (780 bytes)", repeat(cjk, 100) + " " + repeat(cjk, 159), true},
      {"CJK, 261 units", repeat(cjk, 100) + " " + repeat(cjk, 160), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HostResetProcess();
    HostClearBoxes();
    HostSetClassesRootValue(kArchiverCommandKey, c.registered.c_str());
    EXPECT_EQ(OpenInArchiver(), c.found);
    if (c.found) {
      EXPECT_TRUE(HostShownBoxes().empty());
    } else {
      ExpectNotFoundBox();
    }
  }
}

// A command line that cannot take this file's path is said so, and nothing
// is started; one of 263 UTF-16 units still starts.
TEST_F(RunArcula, CommandLineThatDoesNotFitIsReported) {
  const std::string cjk = "\xE6\x97\xA5";
  std::string path = "C:\\";
  for (int i = 0; i < 237; ++i) path += cjk;  // 240 units, 714 bytes
  const char kProgram[] = "C:\\ARCULA\\ARCULA.EXE \"%1\"";  // 21 units kept
  HostSetClassesRootValue(kArchiverCommandKey, kProgram);
  CopyText(g_executablePath, path.c_str(), kExecutablePathSize);
  EXPECT_EQ(OpenInArchiver(), 1);
  ASSERT_EQ(HostStartedPrograms().size(), 1u);
  EXPECT_EQ(HostStartedPrograms()[0], "C:\\ARCULA\\ARCULA.EXE \"" + path + "\"");

  HostResetProcess();
  HostSetClassesRootValue(kArchiverCommandKey, kProgram);
  CopyText(g_executablePath, (path + "x").c_str(), kExecutablePathSize);
  EXPECT_EQ(OpenInArchiver(), 0);
  EXPECT_TRUE(HostStartedPrograms().empty());
  EXPECT_EQ(OnlyBoxText(), MessageText(kMessageArchiverTooLong));
  ASSERT_FALSE(HostShownBoxes().empty());
  EXPECT_EQ(HostShownBoxes()[0].caption, kStubCaption);
  EXPECT_EQ(HostShownBoxes()[0].style, kBoxOk | kBoxIconError);
}

TEST_F(RunArcula, ProgramThatDoesNotStartIsNotReported) {
  HostSetClassesRootValue(kArchiverCommandKey, kRegistered);
  HostSetStartResult(2);  // the platform's "file not found"
  EXPECT_EQ(OpenInArchiver(), 0);
  EXPECT_EQ(HostStartedPrograms().size(), 1u);
  EXPECT_TRUE(HostShownBoxes().empty());
}

}  // namespace
