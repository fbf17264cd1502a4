// The traditional decryption against encryption headers and data written by
// other tools: Info-ZIP zip (flag bit 3 set, so the check byte is the high
// byte of the time) and 7-Zip (bit 3 clear: the high byte of the CRC). Both
// hold the same 43-byte file, stored, with the password "secret".
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/crc32.h"
#include "platform/files.h"
#include "tests/support/scratch_folder.h"

namespace {

const char kPlainText[] = "Stored and encrypted: the quick brown fox.\n";
const uint16_t kModTime = 0x28C4;
const uint32_t kCrc = 0xF8A5CCBD;

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

struct Sample {
  const char* maker;
  uint16_t flags;
  const char* hex;  // encryption header and data, as stored
};

const Sample kSamples[] = {
    {"Info-ZIP zip", 0x9,
     "de828716fb2d1e06804584101a6af2e6ea8df5ad222a64f7e5bd2c815934709926d03dd12f79e0b88a17ba3c55fb5cdd1a3f61f9f24933"},
    {"7-Zip", 0x1,
     "e4a4c68c8f4393042cdec888d3d1c9d859b668e93e9ff08fdb9f35a49fca843690be13649205eba7452f4f069530e3c0bd1f2bbc50fce3"},
};

// The entry's stored bytes as the archive: a scratch file, opened as the
// archive handle, with the local header record of the entry.
class CheckPasswordTest : public testing::Test {
 protected:
  void SetUp() override { BuildCrcTable(); }
  void TearDown() override {
    if (g_archiveInput.handle > 0) SysClose(g_archiveInput.handle);
    g_archiveInput.handle = 0;
    ResetPassword();
  }

  void OpenEntry(const Sample& sample, const std::vector<uint8_t>& trailer = {}) {
    stored_ = FromHex(sample.hex);
    std::vector<uint8_t> file = stored_;
    file.insert(file.end(), trailer.begin(), trailer.end());
    std::string path = scratch_.Join("entry.bin");
    WriteTextFile(path, std::string(file.begin(), file.end()));
    if (g_archiveInput.handle > 0) SysClose(g_archiveInput.handle);
    g_archiveInput.handle = SysOpen(path.c_str(), kOpenRead);
    ASSERT_GT(g_archiveInput.handle, 0);
    g_entry.localHeader = LocalHeader();
    g_entry.localHeader.flags = sample.flags;
    g_entry.localHeader.modTime = kModTime;
    g_entry.localHeader.crc32 = kCrc;
    g_entry.localHeader.compressedSize = static_cast<uint32_t>(stored_.size());
    TakeEntryFlags();
    g_archiveInput.remainingCompressed = g_entry.localHeader.compressedSize;
  }

  std::string DecryptRest(uint32_t chunk) {
    std::vector<uint8_t> data(g_archiveInput.remainingCompressed);
    EXPECT_EQ(SysRead(g_archiveInput.handle, data.data(), static_cast<uint32_t>(data.size())),
              static_cast<int32_t>(data.size()));
    for (uint32_t at = 0; at < data.size(); at += chunk) {
      uint32_t count = std::min<uint32_t>(chunk, static_cast<uint32_t>(data.size()) - at);
      DecryptBuffer(data.data() + at, count);
    }
    return std::string(data.begin(), data.end());
  }

  char password_[16] = "secret";
  ScratchFolder scratch_;
  std::vector<uint8_t> stored_;
};

TEST_F(CheckPasswordTest, RightPasswordLeavesTheKeysReadyForTheData) {
  for (const Sample& sample : kSamples) {
    for (uint32_t chunk : {1u, 7u, 43u}) {  // refills of any size continue the key stream
      SCOPED_TRACE(std::string(sample.maker) + ", chunks of " + std::to_string(chunk));
      OpenEntry(sample);
      StorePasswordBytes(password_);
      ASSERT_EQ(CheckPassword(), 1);
      EXPECT_EQ(g_archiveInput.remainingCompressed, 43u);  // the header is taken off
      EXPECT_EQ(DecryptRest(chunk), kPlainText);
    }
  }
}

TEST_F(CheckPasswordTest, WrongPasswordFails) {
  char wrong[16] = "Secret";  // the password is taken as typed: no case folding
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.maker);
    OpenEntry(sample);
    StorePasswordBytes(wrong);
    EXPECT_EQ(CheckPassword(), 0);
  }
}

TEST_F(CheckPasswordTest, NoPasswordFailsWithoutReading) {
  OpenEntry(kSamples[0]);
  ResetPassword();
  EXPECT_EQ(CheckPassword(), 0);
  EXPECT_EQ(SysSeek(g_archiveInput.handle, 0, kSeekCurrent), 0);
  EXPECT_EQ(g_archiveInput.remainingCompressed, 55u);
}

TEST_F(CheckPasswordTest, CheckByteFollowsTheDataDescriptorFlag) {
  // Each sample's header was made for its own check byte: with the other
  // flag the same header fails (the two check bytes, 0x28 and 0xF8, differ).
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.maker);
    Sample swapped = sample;
    swapped.flags = static_cast<uint16_t>(sample.flags ^ kEntryFlagDataDescriptor);
    OpenEntry(swapped);
    StorePasswordBytes(password_);
    EXPECT_EQ(CheckPassword(), 0);
  }
}

TEST_F(CheckPasswordTest, EachEntryStartsFromThePasswordAgain) {
  // Two encrypted entries back to back: nothing of the first carries over.
  OpenEntry(kSamples[1], FromHex(kSamples[1].hex));
  StorePasswordBytes(password_);
  for (int entry = 0; entry < 2; ++entry) {
    SCOPED_TRACE(entry);
    g_archiveInput.remainingCompressed = 55;
    ASSERT_EQ(CheckPassword(), 1);
    EXPECT_EQ(DecryptRest(2048), kPlainText);
  }
}

TEST(Keys, FollowThePublishedSchedule) {
  BuildCrcTable();
  InitKeys("");
  EXPECT_EQ(g_cipher.keys[0], 0x12345678u);
  EXPECT_EQ(g_cipher.keys[1], 0x23456789u);
  EXPECT_EQ(g_cipher.keys[2], 0x34567890u);
  // One step by hand: key 0 is a CRC step, key 1 a linear congruence on its
  // low byte, key 2 a CRC step on key 1's high byte.
  uint32_t key0 = (0x12345678u >> 8) ^ g_crc.table[(0x12345678u ^ 'a') & 0xFF];
  uint32_t key1 = (0x23456789u + (key0 & 0xFF)) * 134775813u + 1;
  uint32_t key2 = (0x34567890u >> 8) ^ g_crc.table[(0x34567890u ^ (key1 >> 24)) & 0xFF];
  UpdateKeys('a');
  EXPECT_EQ(g_cipher.keys[0], key0);
  EXPECT_EQ(g_cipher.keys[1], key1);
  EXPECT_EQ(g_cipher.keys[2], key2);
  uint32_t t = (key2 | 2) & 0xFFFF;
  EXPECT_EQ(DecryptByte(), static_cast<uint8_t>((t * (t ^ 1)) >> 8));
  EXPECT_EQ(g_cipher.keys[2], key2);  // the key stream byte changes no key
}

TEST(Keys, PasswordBytesAreUnsigned) {
  // A byte above 0x7F must step the keys like the same value as a plain byte.
  BuildCrcTable();
  InitKeys("\xE9t\xE9");
  uint32_t fromText[3] = {g_cipher.keys[0], g_cipher.keys[1], g_cipher.keys[2]};
  InitKeys("");
  UpdateKeys(0xE9);
  UpdateKeys('t');
  UpdateKeys(0xE9);
  EXPECT_EQ(g_cipher.keys[0], fromText[0]);
  EXPECT_EQ(g_cipher.keys[1], fromText[1]);
  EXPECT_EQ(g_cipher.keys[2], fromText[2]);
}

}  // namespace
