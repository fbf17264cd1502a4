// The password dialog driven through its real procedure by a scripted dialog
// (platform/host/host_dialog_script.h): what each way of ending it leaves in
// the stored password, and the end of the program when there is no memory
// for the dialog at all.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "platform/host/host_dialog_script.h"
#include "base/settings.h"
#include "platform/host/host_system.h"
#include "platform/host/host_memory.h"
#include "platform/memory.h"
#include "tests/host/guarded_run.h"
#include "ui/cjk_font.h"
#include "ui/password.h"
#include "base/exit_codes.h"

namespace {

// Anything but null: the scripted dialog never looks at it.
WindowHandle const kOwner = reinterpret_cast<WindowHandle>(0x1234);

class PasswordDialog : public WithMessages {
 protected:
  void SetUp() override {
    WithMessages::SetUp();
    HostResetDialogScript();
    g_entry.encryptionFlag = 1;
    ResetPassword();
  }
  void TearDown() override {
    ResetPassword();
    g_entry.encryptionFlag = 0;
    g_cjkFont = nullptr;
    HostFailAllocations(0);
    HostResetDialogScript();
    WithMessages::TearDown();
  }

  // A password stored as an earlier OK would have stored it.
  static void StorePrevious(const char* text) { StorePasswordBytes(text); }

  static std::string Stored() { return StoredPassword() == nullptr ? "(none)" : StoredPassword(); }
};

TEST_F(PasswordDialog, NotShownWhenTheEncryptionFlagIsClear) {
  g_entry.encryptionFlag = 0;
  HostQueuePress(kIdCancel);
  EXPECT_EQ(AskPassword(kOwner), 1);
  EXPECT_TRUE(HostDialogRuns().empty());
}

TEST_F(PasswordDialog, OkStoresTheTypedPassword) {
  HostQueueTyping(kPasswordField, "Sesame 0pen!");
  HostQueuePress(kIdOk);
  EXPECT_EQ(AskPassword(kOwner), 1);
  EXPECT_EQ(Stored(), "Sesame 0pen!");
  ASSERT_EQ(HostDialogRuns().size(), 1u);
  const HostDialogRun& run = HostDialogRuns()[0];
  EXPECT_EQ(run.caption, "Arcula Self-Extractor - Password");
  EXPECT_EQ(run.owner, kOwner);
  EXPECT_EQ(run.centred, 1);
  EXPECT_TRUE(run.fontControls.empty());  // no CJK font: the template's font stays
  EXPECT_EQ(run.result, 1);
}

// The typed password (UTF-8 from the wide field) reaches the keys as the
// builder fed it: UTF-8 in this builder's files, the ANSI code page in files
// from builders that took it from the ANSI code page. The field takes 254
// characters, however many bytes they make.
TEST_F(PasswordDialog, PasswordBytesFollowTheFilesTextFlag) {
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const std::string typed = "p\xC3\xA4ssw\xC3\xB6rd";  // "pässwörd"
  const std::string e = "\xC3\xA9";                      // "é"
  const std::string pair = "\xF0\x9F\x98\x80";           // two UTF-16 units
  struct Case { const char* label; uint32_t flags; uint32_t codePage; std::string typed; std::string stored; };
  const Case cases[] = {
      {"UTF-8 texts", kFlagUtf8Texts, 1252, typed, typed},
      {"ANSI texts, code page 1252", 0, 1252, typed, "p\xE4ssw\xF6rd"},
      {"ANSI texts, code page 932: no such letters", 0, 932, typed, "p?ssw?rd"},
      {"UTF-8 texts, 300 accented letters: 254 of them", kFlagUtf8Texts, 1252, repeat(e, 300), repeat(e, 254)},
      {"ANSI texts, 300 accented letters: 254 bytes", 0, 1252, repeat(e, 300), std::string(254, '\xE9')},
      {"UTF-8 texts, a pair that would be the 254th and 255th unit goes", kFlagUtf8Texts, 1252,
       std::string(253, 'k') + pair, std::string(253, 'k')},
      // Only names move to the OEM code page (437 here); the password does not.
      {"ANSI texts, names in the OEM code page", kFlagOemNames, 1252, typed, "p\xE4ssw\xF6rd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ResetPassword();
    g_settings.flags = c.flags;
    HostSetCodePage(c.codePage);
    HostResetDialogScript();
    HostQueueTyping(kPasswordField, c.typed);
    HostQueuePress(kIdOk);
    EXPECT_TRUE(AskPassword(kOwner));
    EXPECT_EQ(Stored(), c.stored);
  }
  HostSetCodePage(1252);
  g_settings.flags = 0;
}

// One thing the user does in the dialog: types into the field, or presses
// a button (`press` not 0).
struct Step {
  std::string typed;
  int press;
};
Step Type(const std::string& text) { return Step{text, 0}; }
Step Press(int id) { return Step{std::string(), id}; }

// Each row: what the user does, what AskPassword answers and what is stored.
struct Session {
  const char* name;
  const char* previous;  // stored before the dialog; null for none
  std::vector<Step> steps;
  int expectedAnswer;
  std::string expectedStored;
};

TEST_F(PasswordDialog, WaysOfEndingTheDialog) {
  const std::string longTyped(300, 'k');
  const Session sessions[] = {
      {"empty OK is ignored, Cancel then ends it", nullptr, {Press(kIdOk), Press(kIdCancel)}, 0, "(none)"},
      {"Cancel keeps the previous password", "old", {Type("new"), Press(kIdCancel)}, 0, "old"},
      {"empty OK keeps the dialog open for a second try", "old",
       {Press(kIdOk), Type("second"), Press(kIdOk)}, 1, "second"},
      {"OK replaces the previous password", "old", {Type("new"), Press(kIdOk)}, 1, "new"},
      {"a long password is cut to 254 bytes", nullptr, {Type(longTyped), Press(kIdOk)}, 1,
       longTyped.substr(0, 254)},
      {"taken as typed: blanks and case stay", nullptr, {Type(" Mixed Case "), Press(kIdOk)}, 1,
       " Mixed Case "},
      // A dialog the system cannot make ends as this one, with -1: the pass
      // goes on with the password as it was.
      {"a dialog that never ends normally goes on", "old", {Type("new")}, 1, "old"},
  };
  for (const Session& session : sessions) {
    SCOPED_TRACE(session.name);
    ResetPassword();
    if (session.previous != nullptr) StorePrevious(session.previous);
    HostResetDialogScript();
    for (const Step& step : session.steps) {
      if (step.press != 0) {
        HostQueuePress(step.press);
      } else {
        HostQueueTyping(kPasswordField, step.typed);
      }
    }
    EXPECT_EQ(AskPassword(kOwner), session.expectedAnswer);
    EXPECT_EQ(Stored(), session.expectedStored);
    EXPECT_EQ(HostDialogRuns().size(), 1u);
  }
}

// The password has a place of its own: OK stores it with no memory to be
// had, and the dialog ends.
TEST_F(PasswordDialog, OkStoresThePasswordWithoutMemory) {
  StorePrevious("old");
  HostQueueTyping(kPasswordField, "new");
  HostQueueAction([] { HostFailAllocations(1); });
  HostQueuePress(kIdOk);
  EXPECT_EQ(AskPassword(kOwner), 1);
  EXPECT_EQ(Stored(), "new");
}

// A password that replaces a longer one leaves none of the old one's bytes
// behind it, and the end of the run wipes it all.
TEST_F(PasswordDialog, ReplacedAndResetPasswordsAreWiped) {
  StorePrevious("a much longer secret");
  StorePrevious("new");
  const char* bytes = g_password.bytes;
  EXPECT_EQ(std::string(bytes, 4), std::string("new", 4));
  EXPECT_EQ(std::string(bytes + 4, kPasswordCapacity - 4), std::string(kPasswordCapacity - 4, '\0'));
  ResetPassword();
  EXPECT_EQ(std::string(bytes, kPasswordCapacity), std::string(kPasswordCapacity, '\0'));
  EXPECT_EQ(StoredPassword(), nullptr);
}

// On a CJK code page the field takes the CJK font when the dialog manager
// announces the template's font and again when the dialog gives itself the
// CJK font; the prompt keeps the template's font.
TEST_F(PasswordDialog, CjkFontGoesToTheFieldOnly) {
  int font = 0;
  g_cjkFont = &font;
  HostQueuePress(kIdCancel);
  EXPECT_EQ(AskPassword(kOwner), 0);
  ASSERT_EQ(HostDialogRuns().size(), 1u);
  EXPECT_EQ(HostDialogRuns()[0].fontControls, (std::vector<int>{kPasswordField, 0, kPasswordField}));
}

// The abort point was last armed by a pass that has returned. No memory for
// the template must not jump there: the box, then the program ends with 1.
TEST_F(PasswordDialog, NoMemoryForTheTemplateEndsTheProgram) {
  ASSERT_EQ(RunGuarded([] {}), kJumpCompleted);  // a pass that armed the abort point and ended
  EXPECT_EXIT(
      {
        HostFailAllocations(1);
        AskPassword(kOwner);
      },
      testing::ExitedWithCode(kExitFailure),
      "\\[Arcula Self-Extractor\\] no memory for resources \\[OK\\]");
}

}  // namespace
