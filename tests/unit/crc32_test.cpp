// CRC-32 against a bit-at-a-time reference written out here: the check
// value, the standard table, bytes with the high bit set, and the same value
// whatever ranges the bytes are fed in (including ranges that start at odd
// addresses, where the several-bytes-per-step update loads across words);
// and the folding and the tables alike over every length around the 16-byte
// blocks the folding takes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/crc32.h"

namespace {

// The CRC of the ZIP format one bit at a time, without the preset and the
// final complement (as UpdateCrc works).
uint32_t ReferenceUpdate(uint32_t value, const uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    value ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? (value >> 1) ^ 0xEDB88320u : value >> 1;
  }
  return value;
}

uint32_t ReferenceCrc(const std::vector<uint8_t>& bytes) {
  return ~ReferenceUpdate(0xFFFFFFFFu, bytes.data(), bytes.size());
}

// Preset, one UpdateCrc per range (the ranges are split at `cuts`), complement.
uint32_t CrcInRanges(const std::vector<uint8_t>& bytes, const std::vector<size_t>& cuts) {
  g_crc.running = 0xFFFFFFFF;
  size_t start = 0;
  for (size_t cut : cuts) {
    UpdateCrc(bytes.data() + start, static_cast<uint32_t>(cut - start));
    start = cut;
  }
  UpdateCrc(bytes.data() + start, static_cast<uint32_t>(bytes.size() - start));
  return 0xFFFFFFFF - g_crc.running;
}

std::vector<uint8_t> Digits() {
  const std::string digits = "123456789";
  return std::vector<uint8_t>(digits.begin(), digits.end());
}

std::vector<uint8_t> Noise(size_t size) {
  std::vector<uint8_t> bytes(size);
  uint32_t state = 0x12345678;
  for (size_t i = 0; i < size; ++i) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    bytes[i] = static_cast<uint8_t>(state);
  }
  return bytes;
}

class Crc32 : public testing::Test {
 protected:
  void SetUp() override { BuildCrcTable(); }
};

TEST_F(Crc32, CheckValueAndEmptyStream) {
  EXPECT_EQ(CrcInRanges(Digits(), {}), 0xCBF43926u);
  EXPECT_EQ(CrcInRanges({}, {}), 0u);
}

TEST_F(Crc32, TableIsTheStandardOne) {
  for (uint32_t i = 0; i < 256; ++i) {
    SCOPED_TRACE(i);
    uint8_t byte = static_cast<uint8_t>(i);
    // The remainder of the single byte i: the update from 0 over it.
    EXPECT_EQ(CrcTableEntry(i), ReferenceUpdate(0, &byte, 1));
    EXPECT_EQ(g_crc.table[i], CrcTableEntry(i));
  }
  // A few entries as published.
  EXPECT_EQ(g_crc.table[1], 0x77073096u);
  EXPECT_EQ(g_crc.table[128], 0xEDB88320u);
  EXPECT_EQ(g_crc.table[255], 0x2D02EF8Du);
  EXPECT_EQ(CrcStep(0xFFFFFFFF, '1'), ReferenceUpdate(0xFFFFFFFF, reinterpret_cast<const uint8_t*>("1"), 1));
}

TEST_F(Crc32, CountZeroLeavesTheValueUnchanged) {
  const uint8_t byte = 0xAB;
  for (uint32_t value : {0u, 0xFFFFFFFFu, 0x1234ABCDu}) {
    g_crc.running = value;
    UpdateCrc(&byte, 0);
    EXPECT_EQ(g_crc.running, value);
  }
}

// Bytes 0x80..0xFF index the table by their unsigned value.
TEST_F(Crc32, HighBytesMatchTheReference) {
  std::vector<uint8_t> all(256);
  for (uint32_t i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(CrcInRanges(all, {}), ReferenceCrc(all));
  for (uint32_t i = 0x80; i < 0x100; ++i) {
    SCOPED_TRACE(i);
    std::vector<uint8_t> single(1, static_cast<uint8_t>(i));
    EXPECT_EQ(CrcInRanges(single, {}), ReferenceCrc(single));
    std::vector<uint8_t> eight(8, static_cast<uint8_t>(i));  // one whole multi-byte step
    EXPECT_EQ(CrcInRanges(eight, {}), ReferenceCrc(eight));
  }
}

TEST_F(Crc32, AnySplitIntoRangesGivesTheSameValue) {
  // "123456789" cut at every one and every two places.
  const std::vector<uint8_t> digits = Digits();
  for (size_t first = 0; first <= digits.size(); ++first) {
    EXPECT_EQ(CrcInRanges(digits, {first}), 0xCBF43926u) << first;
    for (size_t second = first; second <= digits.size(); ++second) {
      EXPECT_EQ(CrcInRanges(digits, {first, second}), 0xCBF43926u) << first << "," << second;
    }
  }

  // Longer data: output-buffer ranges with a short last one, ranges of
  // every size from 1 to 17 (so starts fall at every address offset), and
  // one range starting at each of the first 16 offsets.
  const std::vector<uint8_t> noise = Noise(10000);
  const uint32_t expected = ReferenceCrc(noise);
  EXPECT_EQ(CrcInRanges(noise, {}), expected);
  std::vector<size_t> buffers;
  for (size_t cut = 2048; cut < noise.size(); cut += 2048) buffers.push_back(cut);
  EXPECT_EQ(CrcInRanges(noise, buffers), expected);
  for (size_t step = 1; step <= 17; ++step) {
    std::vector<size_t> cuts;
    for (size_t cut = step; cut < noise.size(); cut += step) cuts.push_back(cut);
    EXPECT_EQ(CrcInRanges(noise, cuts), expected) << "step " << step;
  }
  for (size_t offset = 1; offset <= 16; ++offset) {
    EXPECT_EQ(CrcInRanges(noise, {offset}), expected) << "offset " << offset;
  }
}

// Every length up to a few hundred bytes and every start within a block,
// from a preset that is not all ones: the folding (where this processor
// has it) and the tables alone give the reference's value.
TEST_F(Crc32, FoldingAndTablesGiveTheReferenceValue) {
  const std::vector<uint8_t> noise = Noise(400);
  const bool processorFolds = g_crc.folds;
  for (bool folds : {false, processorFolds}) {
    g_crc.folds = folds;
    for (size_t offset = 0; offset < 16; ++offset) {
      for (size_t count = 0; offset + count <= noise.size(); ++count) {
        const uint32_t preset = 0x9E3779B9u ^ static_cast<uint32_t>(count);
        g_crc.running = preset;
        UpdateCrc(noise.data() + offset, static_cast<uint32_t>(count));
        ASSERT_EQ(g_crc.running, ReferenceUpdate(preset, noise.data() + offset, count))
            << (folds ? "folding" : "tables") << ", offset " << offset << ", " << count << " bytes";
      }
    }
  }
  g_crc.folds = processorFolds;
}

}  // namespace
