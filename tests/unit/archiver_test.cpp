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
  CopyText(command, row.registered, kRegisteredCommandLimit);
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

// Program part, blank, two quotes and terminator: 264 bytes fill the buffer
// exactly; one more does not fit and nothing may be written past it.
TEST(ArchiverCommand, RefusesCommandLinesLongerThanTheBuffer) {
  std::string program(100, 'P');
  std::string fitting = "C:\\" + std::string(kCommandBufferSize - 104 - 3, 'x');
  char command[kCommandBufferSize + 16];
  FillBytes(command, 0x55, sizeof command);
  CopyText(command, (program + " %1").c_str(), kRegisteredCommandLimit);
  ASSERT_EQ(BuildArchiverCommand(command, fitting.c_str(), 0, 0), 1);
  EXPECT_EQ(TextLength(command), kCommandBufferSize - 1);
  EXPECT_EQ(command[kCommandBufferSize], 0x55);

  std::string tooLong = fitting + "y";
  FillBytes(command, 0x55, sizeof command);
  CopyText(command, (program + " %1").c_str(), kRegisteredCommandLimit);
  EXPECT_EQ(BuildArchiverCommand(command, tooLong.c_str(), 0, 0), 0);
  for (uint32_t i = kCommandBufferSize; i < sizeof command; ++i) EXPECT_EQ(command[i], 0x55) << i;
}

}  // namespace
