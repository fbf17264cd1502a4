// The embedded resources against zlib, and damaged string tables: every one
// stops start-up with the header-corrupt message, writes nothing past the
// block, and leaves the table that was loaded before untouched.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "platform/memory.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/resource_data.h"
#include "ui/resources.h"
#include "base/work_memory.h"
#include "tests/host/zlib_oracle.h"

namespace {

std::vector<uint8_t> RawDeflate(const std::string& data) {
  std::string packed = ZlibRawDeflate(data, 9);
  return std::vector<uint8_t>(packed.begin(), packed.end());
}

// zlib's reading of a stream that must end exactly at its last byte.
std::vector<uint8_t> RawInflateExactly(const uint8_t* packed, uint32_t length) {
  z_stream stream = {};
  EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
  std::vector<uint8_t> unpacked(kStringTableBlockSize);
  stream.next_in = const_cast<Bytef*>(packed);
  stream.avail_in = length;
  stream.next_out = unpacked.data();
  stream.avail_out = static_cast<uInt>(unpacked.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  EXPECT_EQ(stream.avail_in, 0u);
  unpacked.resize(stream.total_out);
  inflateEnd(&stream);
  return unpacked;
}

// The jump code LoadStringTable ended with (kJumpCompleted when it returned),
// with the abort point armed in this frame for the whole call.
int LoadStringTableCaught(const std::vector<uint8_t>& packed) {
  g_jumpCode = kJumpCompleted;
  if (ARM_ABORT_POINT() != kJumpCompleted) return g_jumpCode;
  LoadStringTable(packed.data(), static_cast<uint32_t>(packed.size()));
  return kJumpCompleted;
}

class ResourcesHost : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(AllocateWorkMemory()); }
  void TearDown() override {
    FreeResources();
    FreeWorkMemory();
  }
};

TEST_F(ResourcesHost, BothStreamsUnpackAsZlibReadsThem) {
  std::vector<uint8_t> real(kPackedStringTable, kPackedStringTable + kPackedStringTableLength);
  ASSERT_EQ(LoadStringTableCaught(real), kJumpCompleted);
  std::vector<uint8_t> table = RawInflateExactly(kPackedStringTable, kPackedStringTableLength);
  ASSERT_EQ(table.size(), kStringTableLength);
  EXPECT_EQ(std::vector<uint8_t>(g_stringTableBlock, g_stringTableBlock + kStringTableLength), table);

  uint8_t* block = UnpackPasswordTemplate();
  ASSERT_NE(block, nullptr);
  std::vector<uint8_t> password = RawInflateExactly(kPackedPasswordTemplate, kPackedPasswordTemplateLength);
  ASSERT_EQ(password.size(), kPasswordTemplateLength);
  EXPECT_EQ(std::vector<uint8_t>(block, block + kPasswordTemplateLength), password);
  SysFree(block);
}

TEST_F(ResourcesHost, DamagedStringTableStopsWithHeaderCorrupt) {
  std::vector<uint8_t> real(kPackedStringTable, kPackedStringTable + kPackedStringTableLength);
  std::vector<uint8_t> flipped = real;
  // In the block's code lengths: a changed literal deeper in would unpack to
  // a table of the right length, which nothing could tell from the real one.
  flipped[1] ^= 0x10;
  std::string table(reinterpret_cast<const char*>(RawInflateExactly(real.data(), real.size()).data()),
                    kStringTableLength);
  std::string longer = table + "x";  // one byte more than recorded
  struct Case { const char* name; std::vector<uint8_t> packed; };
  const Case cases[] = {
      {"cut in half", std::vector<uint8_t>(real.begin(), real.begin() + real.size() / 2)},
      {"one bit changed", flipped},
      {"one byte too many", RawDeflate(longer)},
      {"far larger than the block", RawDeflate(std::string(3 * kStringTableBlockSize, 'A'))},
      {"too short", RawDeflate("short")},
      {"reserved block type", {0x07, 0x00}},
      {"empty", {}},
  };

  ASSERT_EQ(LoadStringTableCaught(real), kJumpCompleted);
  char* loaded = g_stringTableBlock;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::internal::CaptureStderr();
    EXPECT_EQ(LoadStringTableCaught(c.packed), kJumpAborted);
    std::string shown = testing::internal::GetCapturedStderr();  // the host prints each box
    EXPECT_NE(shown.find(std::string("[Arcula Self-Extractor] ") + kHeaderCorruptText), std::string::npos)
        << shown;
    EXPECT_EQ(g_stringTableBlock, loaded);
    EXPECT_STREQ(MessageText(51), "this self-extractor file");
  }
}

}  // namespace
