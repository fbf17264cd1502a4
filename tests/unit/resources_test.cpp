// The embedded messages and dialog templates, unpacked by the stub's own
// decoder: exact texts, the offset table, and both templates byte for byte
// against layouts written out here from the dialog tables.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "platform/format.h"
#include "platform/memory.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/resource_data.h"
#include "ui/resources.h"
#include "base/work_memory.h"
#include "tests/support/inflate_harness.h"

namespace {

// A dialog template in the binary form the dialog manager reads: little
// endian, UTF-16 texts ended by a 0 unit, each control on a 4-byte boundary.
struct TemplateBytes {
  std::vector<uint8_t> bytes;

  void U16(uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
  }
  void Text(const char* text) {
    for (; *text != 0; ++text) U16(static_cast<uint8_t>(*text));
    U16(0);
  }
  void Header(uint32_t style, uint16_t controls, uint16_t x, uint16_t y, uint16_t width,
              uint16_t height, const char* caption) {
    U32(style);
    U32(0);  // extended style
    U16(controls);
    U16(x);
    U16(y);
    U16(width);
    U16(height);
    U16(0);  // no menu
    U16(0);  // the standard dialog class
    Text(caption);
    U16(8);  // point size
    Text("MS Sans Serif");
  }
  // `atom` is 0x80 button, 0x81 edit, 0x82 static, or 0 with `className`.
  void Control(uint16_t id, uint16_t atom, const char* className, uint32_t style, uint16_t x,
               uint16_t y, uint16_t width, uint16_t height, const char* text) {
    while (bytes.size() % 4 != 0) bytes.push_back(0);
    U32(style);
    U32(0);
    U16(x);
    U16(y);
    U16(width);
    U16(height);
    U16(id);
    if (atom != 0) {
      U16(0xFFFF);
      U16(atom);
    } else {
      Text(className);
    }
    Text(text);
    U16(0);  // no creation data
  }
};

const uint16_t kButton = 0x80;
const uint16_t kEdit = 0x81;
const uint16_t kStatic = 0x82;

std::vector<uint8_t> ExpectedMainDialog() {
  TemplateBytes t;
  t.Header(0x90C800C4, 14, 94, 23, 230, 114, "");
  t.Control(101, kStatic, nullptr, 0x50020080, 6, 6, 162, 24, "");
  t.Control(105, kStatic, nullptr, 0x50020000, 6, 32, 74, 8, "Unzip to &folder: ");
  t.Control(106, kEdit, nullptr, 0x50810080, 6, 40, 108, 12, "");
  t.Control(115, kButton, nullptr, 0x50010000, 118, 39, 50, 14, "&Browse...");
  t.Control(102, kButton, nullptr, 0x50010003, 6, 56, 161, 10, "&Overwrite files without prompting");
  t.Control(111, kButton, nullptr, 0x50010003, 6, 70, 166, 10, "");
  t.Control(1, kButton, nullptr, 0x50010001, 174, 6, 50, 14, "&Unzip");
  t.Control(113, kButton, nullptr, 0x50010000, 174, 24, 50, 14, "&Run Arcula");
  t.Control(2, kButton, nullptr, 0x50010000, 174, 42, 50, 14, "&Close");
  t.Control(112, kButton, nullptr, 0x50010000, 174, 60, 50, 14, "&About");
  t.Control(104, kButton, nullptr, 0x50010000, 174, 78, 50, 14, "&Help");
  t.Control(103, kStatic, nullptr, 0x50020080, 17, 82, 153, 8, "");
  t.Control(109, kStatic, nullptr, 0x50020081, 0, 101, 230, 8, "");
  t.Control(201, 0, "meter", 0x50800000, 6, 98, 218, 12, "");
  return t.bytes;
}

std::vector<uint8_t> ExpectedPasswordDialog() {
  TemplateBytes t;
  t.Header(0x90C800C4, 4, 71, 71, 186, 76, "Arcula Self-Extractor - Password");
  t.Control(401, kStatic, nullptr, 0x50020000, 6, 6, 174, 24,
            "This self-extracting Zip file is password protected.\n\nPlease type the &password:");
  t.Control(402, kEdit, nullptr, 0x508100A0, 6, 38, 174, 12, "");
  t.Control(1, kButton, nullptr, 0x50010001, 35, 56, 50, 14, "OK");
  t.Control(2, kButton, nullptr, 0x50010000, 101, 56, 50, 14, "Cancel");
  return t.bytes;
}

std::vector<uint8_t> Bytes(const void* start, uint32_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(start);
  return std::vector<uint8_t>(bytes, bytes + count);
}

class Resources : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AllocateWorkMemory()); }
  void TearDown() override {
    FreeResources();
    FreeWorkMemory();
  }
};

// Each runs with the abort point armed in its own frame, which stays alive
// for the whole call; an abort comes back as a failed assertion.
void LoadResourcesOrFail() {
  if (ARM_ABORT_POINT() != kJumpCompleted) FAIL() << "unpacking the string table aborted";
  LoadResources();
}

uint8_t* UnpackPasswordTemplateOrFail() {
  if (ARM_ABORT_POINT() != kJumpCompleted) {
    ADD_FAILURE() << "unpacking the password template aborted";
    return nullptr;
  }
  return UnpackPasswordTemplate();
}

#define LOAD_RESOURCES() ASSERT_NO_FATAL_FAILURE(LoadResourcesOrFail())

TEST_F(Resources, MessagesHoldTheirExactTexts) {
  EXPECT_STREQ(MessageText(0), "") << "nothing can be fetched before the table is loaded";
  LOAD_RESOURCES();
  EXPECT_EQ(MessageText(0), g_stringTableBlock);
  struct Case { int number; const char* text; };
  const Case cases[] = {
      {0, "This is an incomplete self-extractor;\nplease re-create the file and try again."},
      {15, "Error changing to \"Unzip To\" folder"},
      {18, "\\TEMP"},  // the backslash is a character of its own
      {21, "%d file(s) unzipped successfully"},
      {26, "Arcula Self-Extractor will not unzip %s: its name points outside the target folder "
           "or to a device."},
      {31, "Invalid ZIP header.  Possible cause: file transfer error."},
      {36, "Error reading %s.  Possible cause: bad disk or file transfer error."},
      {39, "Zip file is damaged, truncated, or has been changed since it was created.   If you "
           "downloaded this file, try downloading again."},
      {41, ""},
      {49, "TEMP"},
      {50, "Zip contains filenames longer than are allowed by\nWindows. Arcula Self-Extractor "
           "cannot process this\nZip file."},
      {51, "this self-extractor file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_STREQ(MessageText(c.number), c.text);
  }
}

TEST_F(Resources, OurOwnTextsKeepTheirFixedBeginnings) {
  LOAD_RESOURCES();
  const std::string archiver = MessageText(27);
  EXPECT_EQ(archiver.rfind("Arcula not found on your system.\n\n", 0), 0u) << archiver;
  const std::string about = MessageText(43);
  EXPECT_EQ(about.rfind("This self-extracting Zip file was created by\n", 0), 0u) << about;
  EXPECT_EQ(about.find('%'), std::string::npos) << "the About box uses it as a format";
  EXPECT_EQ(about, MessageText(44));
  EXPECT_EQ(std::string(MessageText(40)).rfind("This self-extracting Zip file was created by\n\n", 0), 0u);

  // The unsafe-name message takes the longest entry name and still fits the
  // 500-byte formatting buffer.
  char formatted[1024];
  std::string name(263, 'n');
  int length = SysFormat(formatted, MessageText(26), name.c_str());
  EXPECT_LT(length, 500);
  EXPECT_NE(std::string(formatted).find(name), std::string::npos);
}

TEST_F(Resources, EachMessageEndsWithOneNulRightBeforeTheNext) {
  LOAD_RESOURCES();
  for (int number = 0; number < kMessageCount; ++number) {
    SCOPED_TRACE(number);
    const char* text = MessageText(number);
    std::string copy = text;
    EXPECT_EQ(MessageText(number + 1) - text, static_cast<ptrdiff_t>(copy.size() + 1));
    for (char c : copy) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
  }
  EXPECT_EQ(MessageText(kMessageCount) - g_stringTableBlock,
            static_cast<ptrdiff_t>(kMessageOffsets[kMessageCount]));
}

TEST_F(Resources, LaterMessagesFollowTheTemplateAndEndTheTable) {
  LOAD_RESOURCES();
  // The template's copy lies between: the template, then zeros.
  const char* expectedStart = MessageText(kMessageMainDialog) + kMainDialogCopySize;
  for (int number = kMessageMainDialog + 1; number < kMessageTableEntries; ++number) {
    SCOPED_TRACE(number);
    const char* text = MessageText(number);
    EXPECT_EQ(text, expectedStart);
    std::string copy = text;
    EXPECT_FALSE(copy.empty());
    for (char c : copy) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7F)) << static_cast<int>(c);
    expectedStart = text + copy.size() + 1;
  }
  EXPECT_EQ(expectedStart - g_stringTableBlock, static_cast<ptrdiff_t>(kStringTableLength));
  EXPECT_STREQ(MessageText(kMessageLogFailed), "Cannot write the log %s.");
}

TEST_F(Resources, MainDialogTemplateIsByteExact) {
  LOAD_RESOURCES();
  std::vector<uint8_t> expected = ExpectedMainDialog();
  ASSERT_EQ(expected.size(), 642u);
  ASSERT_EQ(kMessageOffsets[kMessageMainDialog + 1], kMessageOffsets[kMessageCount] + kMainDialogCopySize);
  // What start-up copies for the dialog manager: the template, then zeros.
  expected.resize(kMainDialogCopySize, 0);
  EXPECT_EQ(Bytes(MessageText(kMessageCount), kMainDialogCopySize), expected);
  // Behind the table the block is zero up to its guard bytes.
  std::vector<uint8_t> rest = Bytes(g_stringTableBlock + kStringTableLength,
                                    kStringTableBlockSize - kGuardByteCount - kStringTableLength);
  EXPECT_EQ(rest, std::vector<uint8_t>(rest.size(), 0));
}

TEST_F(Resources, PasswordTemplateIsByteExactInAFreshBlock) {
  std::vector<uint8_t> expected = ExpectedPasswordDialog();
  ASSERT_EQ(expected.size(), 406u);
  ASSERT_EQ(kPasswordTemplateLength, 414u);
  expected.resize(kPasswordTemplateBlockSize, 0);
  for (int showing = 0; showing < 2; ++showing) {  // unpacked afresh each time the dialog shows
    uint8_t* block = UnpackPasswordTemplateOrFail();
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(Bytes(block, kPasswordTemplateBlockSize), expected);
    SysFree(block);
  }
}

// The decoder takes every byte of each stream and stops at its end: it needs
// the last byte, and leaves nothing unread, so the byte source never has to
// be refilled from the archive.
TEST_F(Resources, EachStreamIsConsumedExactly) {
  struct Case { const char* name; const uint8_t* packed; uint32_t length; uint32_t unpacked; };
  const Case cases[] = {
      {"string table", kPackedStringTable, kPackedStringTableLength, kStringTableLength},
      {"password template", kPackedPasswordTemplate, kPackedPasswordTemplateLength,
       kPasswordTemplateLength},
  };
  std::vector<uint8_t> block(kStringTableBlockSize);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryDecode decoded = DecodeInMemory(std::vector<uint8_t>(c.packed, c.packed + c.length),
                                          static_cast<uint32_t>(block.size()));
    EXPECT_EQ(decoded.inputLeft, 0);
    EXPECT_EQ(decoded.pulled, c.length);
    EXPECT_EQ(decoded.result, kInflateOk);
    EXPECT_EQ(decoded.output.size(), c.unpacked);

    uint32_t produced = 0;
    int result = InflateToMemory(c.packed, c.length - 1, block.data(), static_cast<uint32_t>(block.size()),
                             &produced);
    EXPECT_TRUE(result != kInflateOk || produced != c.unpacked) << "the last byte was not needed";
  }
}

}  // namespace
