// Creating an output file, on the host and under Wine: others may read it
// while it is written, and what stood at its name is replaced when it can be
// removed, and refused when it cannot.
#include <gtest/gtest.h>

#include <string>

#include "platform/bytes.h"
#include "platform/directories.h"
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

namespace {

class CreateBelow : public testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(SysCreateDirectory(scratch_.Join("sub").c_str()), 0); }

  // Creates `relative` below the scratch folder, the scratch folder trusted.
  FileHandle Create(const std::string& relative) {
    uint32_t linkLength = 0;
    return SysCreateBelow(scratch_.Join(relative).c_str(), TextLength(scratch_.Path().c_str()), &linkLength);
  }

  ScratchFolder scratch_;
};

TEST_F(CreateBelow, OthersMayReadTheFileWhileItIsWritten) {
  FileHandle writer = Create("sub/out.txt");
  ASSERT_NE(writer, kFileError);
  ASSERT_EQ(SysWrite(writer, "written", 7), 7);
  FileHandle reader = SysOpen(scratch_.Join("sub/out.txt").c_str(), kOpenRead);
  EXPECT_NE(reader, kFileError) << "the file being written cannot be opened for reading";
  if (reader != kFileError) {
    char got[8] = {};
    EXPECT_EQ(SysRead(reader, got, 7), 7);
    EXPECT_STREQ(got, "written");
    SysClose(reader);
  }
  SysClose(writer);
}

TEST_F(CreateBelow, ReplacesAFileButNotAFolder) {
  WriteTextFile(scratch_.Join("sub/old.txt"), "older content");
  FileHandle file = Create("sub/old.txt");
  ASSERT_NE(file, kFileError);
  EXPECT_EQ(SysWrite(file, "new", 3), 3);
  SysClose(file);
  EXPECT_EQ(ReadTextFile(scratch_.Join("sub/old.txt")), "new");

  ASSERT_NE(SysCreateDirectory(scratch_.Join("sub/folder").c_str()), 0);
  EXPECT_EQ(Create("sub/folder"), kFileError);
  EXPECT_TRUE(IsFolder(scratch_.Join("sub/folder")));
}

#if defined(_WIN32)
// A file another handle writes (and does not let others remove) cannot be
// replaced: the create fails, as it did when it truncated the file, and the
// file is left as it is.
TEST_F(CreateBelow, AFileInUseIsNotReplaced) {
  FileHandle first = Create("sub/busy.txt");
  ASSERT_NE(first, kFileError);
  ASSERT_EQ(SysWrite(first, "busy", 4), 4);
  FileHandle second = Create("sub/busy.txt");
  EXPECT_EQ(second, kFileError);
  if (second != kFileError) SysClose(second);
  SysClose(first);
  EXPECT_EQ(ReadTextFile(scratch_.Join("sub/busy.txt")), "busy");
}
#endif

}  // namespace
