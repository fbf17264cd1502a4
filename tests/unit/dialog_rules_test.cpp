// The main dialog's decisions that need no window, and the command-line
// options start-up reads before it.
#include <gtest/gtest.h>

#include <string>

#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "stub/startup.h"
#include "base/work_memory.h"
#include "ui/dialog_rules.h"

namespace {

class DialogRules : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateWorkMemory());
    ASSERT_NO_FATAL_FAILURE(Load());
    g_unattendedMode = 0;
    g_outputPaths.targetFolder[0] = 0;
  }
  void TearDown() override {
    FreeResources();
    FreeWorkMemory();
  }
  // The abort point lives in this frame for the whole call.
  static void Load() {
    if (ARM_ABORT_POINT() != kJumpCompleted) FAIL() << "unpacking the string table aborted";
    LoadResources();
  }
};

// The rule counts the characters a person reads, whatever their UTF-8 or
// UTF-16 lengths.
TEST_F(DialogRules, IntroductionQuotesNamesUpToTwentyFourCharacters) {
  const char kGeneric[] = "this self-extractor file";
  struct Case { const char* label; const char* name; bool quoted; };
  const Case cases[] = {
      {"24 ASCII characters", "abcdefghijklmnopqrst.exe", true},
      {"25 ASCII characters", "abcdefghijklmnopqrstu.exe", false},
      {"24 characters, three of them accented (27 bytes)", "caf\xC3\xA9-r\xC3\xA9sum\xC3\xA9-setup123.exe", true},
      {"25 characters, three of them accented", "caf\xC3\xA9-r\xC3\xA9sum\xC3\xA9-setup1234.exe", false},
      {"24 characters, 20 of them CJK (64 bytes)",
       "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x82\xBB\xE3\x83\x83\xE3\x83\x88\xE3\x82\xA2"
       "\xE3\x83\x83\xE3\x83\x97\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x81\xA7\xE3\x81\x99"
       "\xE3\x81\xAD\xE3\x81\x88\xE6\x97\xA5\xE6\x9C\xAC.exe",
       true},
      {"24 characters, one beyond the first plane (25 UTF-16 units)", "\xF0\x9F\x98\x80" "bcdefghijklmnopqrst.exe",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char text[500];
    FormatIntroduction(text, c.name);
    EXPECT_EQ(std::string(text), std::string("To unzip all files in ") + (c.quoted ? c.name : kGeneric) +
                                     " to the specified folder press the Unzip button.");
  }
}

TEST_F(DialogRules, CaptionIsTheFullNameOrTheTitle) {
  struct Case { const char* name; uint32_t flags; const char* title; const char* caption; };
  const Case cases[] = {
      {"setup.exe", 0, "", "Arcula Self-Extractor - setup.exe"},
      {"abcdefghijklmnopqrstu.exe", 0, "", "Arcula Self-Extractor - abcdefghijklmnopqrstu.exe"},
      {"setup.exe", 0, "Ignored without the flag", "Arcula Self-Extractor - setup.exe"},
      {"setup.exe", kFlagTitleCaption, "My Files", "My Files"},
      {"setup.exe", kFlagTitleCaption, "", "Setup"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    char caption[500];
    FormatCaption(caption, c.name, c.flags, c.title);
    EXPECT_STREQ(caption, c.caption);
  }
}

TEST(DialogRulesPlain, MeterTimerRule) {
  EXPECT_EQ(WaitsForMeterTimer(0x7FFFF, 0), 1);
  EXPECT_EQ(WaitsForMeterTimer(0x80000, 0), 0) << "a large archive shows the meter at once";
  EXPECT_EQ(WaitsForMeterTimer(100, kFlagSpanned), 0) << "so does a spanned one";

  // On the tick: only while a pass runs with less than a third written.
  EXPECT_EQ(ShowsMeterOnTick(1, 1, 99, 300), 1);
  EXPECT_EQ(ShowsMeterOnTick(1, 1, 100, 300), 0);
  EXPECT_EQ(ShowsMeterOnTick(1, 1, 100, 302), 0) << "a third by integer division";
  EXPECT_EQ(ShowsMeterOnTick(1, 0, 0, 300), 0) << "no pass";
  EXPECT_EQ(ShowsMeterOnTick(0, 1, 0, 300), 0) << "no meter control";
  EXPECT_EQ(ShowsMeterOnTick(1, 1, 0, 0), 0) << "nothing to write";
}

TEST(DialogRulesPlain, CodePagesAndShellVersion) {
  for (uint32_t page : {874u, 932u, 936u, 949u, 950u}) EXPECT_EQ(IsCjkCodePage(page), 1) << page;
  for (uint32_t page : {437u, 1250u, 1252u, 65001u, 951u}) EXPECT_EQ(IsCjkCodePage(page), 0) << page;
  EXPECT_EQ(HasShellVersion(0x80000004u), 1);  // 9x family, version 4
  EXPECT_EQ(HasShellVersion(0x23F00206u), 1);  // NT 6.2
  EXPECT_EQ(HasShellVersion(0x00000003u), 0);  // NT 3.x: no folder browser
}

}  // namespace
