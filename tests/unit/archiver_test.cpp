// The command line that Run Arcula starts, built from the registered command,
// the executable's path and the spanned-set flags.
#include <gtest/gtest.h>

#include <string>

#include "platform/bytes.h"
#include "ui/archiver.h"

namespace {

struct CommandCase {
  const char* registered;
  const char* executable;
  int spanned;
  int exeVolumes;
  const char* expected;
};

std::string Built(const CommandCase& row) {
  char command[kCommandBufferSize + 16];
  FillBytes(command, 0x55, sizeof command);
  CopyText(command, row.registered, kCommandBufferSize);
  EXPECT_EQ(BuildArchiverCommand(command, row.executable, row.spanned, row.exeVolumes), 1);
  for (uint32_t i = kCommandBufferSize; i < sizeof command; ++i) EXPECT_EQ(command[i], 0x55) << i;
  return command;
}

const CommandCase kCommandCases[] = {
    // The registered arguments go, the program and one blank stay.
    {"C:\\ARCULA\\ARCULA.EXE \"%1\"", "C:\\DL\\setup.exe", 0, 0,
     "C:\\ARCULA\\ARCULA.EXE \"C:\\DL\\setup.exe\""},
    {"C:\\ARCULA\\ARCULA.EXE %1 /open", "C:\\DL\\setup.exe", 0, 1,
     "C:\\ARCULA\\ARCULA.EXE \"C:\\DL\\setup.exe\""},
    // An unquoted program path with a blank is cut at that blank.
    {"C:\\Program Files\\Arcula\\arcula.exe \"%1\"", "C:\\DL\\setup.exe", 0, 0,
     "C:\\Program \"C:\\DL\\setup.exe\""},
    // A quoted one is kept whole: cut inside the quotes it would name
    // another program.
    {"\"C:\\Program Files\\Arcula\\arcula.exe\" \"%1\"", "C:\\My Files\\setup.exe", 0, 0,
     "\"C:\\Program Files\\Arcula\\arcula.exe\" \"C:\\My Files\\setup.exe\""},
    // A command with no blank at all is all program.
    {"C:\\ARCULA\\ARCULA.EXE", "C:\\DL\\setup.exe", 0, 0, "C:\\ARCULA\\ARCULA.EXE \"C:\\DL\\setup.exe\""},
    {"\"C:\\Program Files\\arcula.exe\"", "C:\\DL\\setup.exe", 0, 0,
     "\"C:\\Program Files\\arcula.exe\" \"C:\\DL\\setup.exe\""},
    // Spanned with ZIP volumes: the ZIP file of the same name, replaced by
    // position whatever the extension was.
    {"A.EXE %1", "C:\\DL\\setup.exe", 1, 0, "A.EXE \"C:\\DL\\setup.zip\""},
    {"A.EXE %1", "C:\\DL\\SETUP.EXE", 1, 0, "A.EXE \"C:\\DL\\SETUP.zip\""},
    {"A.EXE %1", "C:\\DL\\setup.bin", 1, 0, "A.EXE \"C:\\DL\\setup.zip\""},
    // By characters, not bytes: an extension of accented letters goes whole.
    {"A.EXE %1", "C:\\DL\\setup.\xC3\xA9x\xC3\xA9", 1, 0, "A.EXE \"C:\\DL\\setup.zip\""},
    // EXE volumes, or no spanned set: the executable itself.
    {"A.EXE %1", "C:\\DL\\setup.exe", 1, 1, "A.EXE \"C:\\DL\\setup.exe\""},
    {"A.EXE %1", "C:\\DL\\setup.exe", 0, 1, "A.EXE \"C:\\DL\\setup.exe\""},
};

TEST(ArchiverCommand, BuildsFromRegisteredCommandPathAndFlags) {
  for (const CommandCase& row : kCommandCases) {
    SCOPED_TRACE(row.registered);
    EXPECT_EQ(Built(row), row.expected);
  }
}

// The command line may have 263 UTF-16 units: program part and blank, the
// path and its two quotes. One unit more does not fit, however few bytes it
// takes, and nothing is ever written past the buffer.
TEST(ArchiverCommand, RefusesCommandLinesOfMoreThan263Units) {
  auto repeat = [](const std::string& piece, size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  const std::string program(100, 'P');                     // 101 units with its blank
  const std::string cjk = "\xE6\x97\xA5";                  // one unit, three bytes
  const std::string pair = "\xF0\x9F\x98\x80";             // two units, four bytes
  struct Case { const char* label; std::string registered; std::string path; bool fits; };
  const Case cases[] = {
      {"ASCII, 263 units", program + " %1", "C:\\" + std::string(157, 'x'), true},
      {"ASCII, 264 units", program + " %1", "C:\\" + std::string(158, 'x'), false},
      {"CJK path, 263 units (583 bytes)", program + " %1", "C:\\" + repeat(cjk, 157), true},
      {"CJK path, 264 units", program + " %1", "C:\\" + repeat(cjk, 158), false},
      {"a pair makes 264 units", program + " %1", "C:\\" + repeat(cjk, 156) + pair, false},
      {"CJK program and path, 263 units (787 bytes)", repeat(cjk, 100) + " %1", "C:\\" + repeat(cjk, 157), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    char command[kCommandBufferSize + 16];
    FillBytes(command, 0x55, sizeof command);
    CopyText(command, c.registered.c_str(), kCommandBufferSize);
    ASSERT_EQ(BuildArchiverCommand(command, c.path.c_str(), 0, 0), c.fits);
    if (c.fits) {
      std::string expected = c.registered.substr(0, c.registered.size() - 2) + "\"" + c.path + "\"";
      EXPECT_EQ(std::string(command), expected);
    }
    for (uint32_t i = kCommandBufferSize; i < sizeof command; ++i) ASSERT_EQ(command[i], 0x55) << i;
  }
}

}  // namespace
