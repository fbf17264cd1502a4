// The traditional decryption against archives that Info-ZIP zip, 7-Zip and
// bsdtar encrypt (stored and deflated, with and without flag bit 3), and the
// two ways an encryption header can be broken.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "archive/password.h"
#include "archive/decrypt.h"
#include "archive/entry.h"
#include "archive/input.h"
#include "archive/crc32.h"
#include "platform/bytes.h"
#include "platform/files.h"
#include "base/run_facts.h"
#include "base/work_memory.h"
#include "stub/startup.h"
#include "tests/host/guarded_run.h"
#include "tests/support/scratch_folder.h"

namespace {

// The first entry of a ZIP file as its central directory describes it.
struct FirstEntry {
  uint16_t flags;
  uint16_t method;
  uint16_t modTime;
  uint32_t crc;
  uint32_t compressedSize;
  uint32_t dataOffset;
};

FirstEntry ReadFirstEntry(const std::string& zip) {
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(zip.data());
  size_t end = zip.size() - 22;  // no archive comment
  EXPECT_EQ(ReadLe32(bytes + end), 0x06054B50u);
  const uint8_t* central = bytes + ReadLe32(bytes + end + 16);
  EXPECT_EQ(ReadLe32(central), 0x02014B50u);
  const uint8_t* local = bytes + ReadLe32(central + 42);
  FirstEntry entry;
  entry.flags = ReadLe16(local + 6);
  entry.method = ReadLe16(local + 8);
  entry.modTime = ReadLe16(local + 10);
  entry.crc = ReadLe32(central + 16);  // the local header may hold 0 when bit 3 is set
  entry.compressedSize = ReadLe32(central + 20);
  entry.dataOffset = static_cast<uint32_t>(local - bytes) + 30 + ReadLe16(local + 26) + ReadLe16(local + 28);
  return entry;
}

std::string RawInflate(const std::string& packed, size_t expectedSize) {
  z_stream stream = {};
  EXPECT_EQ(inflateInit2(&stream, -15), Z_OK);
  std::string unpacked(expectedSize + 1, '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.data()));
  stream.avail_in = static_cast<uInt>(packed.size());
  stream.next_out = reinterpret_cast<Bytef*>(unpacked.data());
  stream.avail_out = static_cast<uInt>(unpacked.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  unpacked.resize(stream.total_out);
  inflateEnd(&stream);
  return unpacked;
}

int g_checkResult;
void CheckPasswordStep() { g_checkResult = CheckPassword(); }

class DecryptHost : public WithMessages {
 protected:
  void SetUp() override {
    WithMessages::SetUp();
    BuildCrcTable();
    CopyText(g_executablePath, "C:\\DL\\SETUP.EXE", kExecutablePathSize);
  }
  void TearDown() override {
    if (g_archiveInput.handle > 0) SysClose(g_archiveInput.handle);
    g_archiveInput.handle = 0;
    ResetPassword();
    g_executablePath[0] = 0;
    WithMessages::TearDown();
  }

  // Opens `path` as the archive at `offset`, with the local header record of
  // an entry of `compressedSize` bytes.
  void OpenAt(const std::string& path, uint32_t offset, const FirstEntry& entry) {
    g_archiveInput.handle = SysOpen(path.c_str(), kOpenRead);
    ASSERT_GT(g_archiveInput.handle, 0);
    ASSERT_EQ(SysSeek(g_archiveInput.handle, static_cast<int32_t>(offset), kSeekBegin), static_cast<int32_t>(offset));
    g_entry.localHeader = LocalHeader();
    g_entry.localHeader.flags = entry.flags;
    g_entry.localHeader.method = entry.method;
    g_entry.localHeader.modTime = entry.modTime;
    g_entry.localHeader.crc32 = entry.crc;
    g_entry.localHeader.compressedSize = entry.compressedSize;
    TakeEntryFlags();
    g_archiveInput.remainingCompressed = entry.compressedSize;
  }

  ScratchFolder scratch_;
  char password_[16] = "s3cr\xE9t";  // a byte above 0x7F, as typed in the ANSI code page
};

TEST_F(DecryptHost, DecryptsWhatOtherToolsEncrypt) {
  std::mt19937 random(1234);
  std::string original;
  for (int i = 0; i < 5000; ++i) original += static_cast<char>("abcdefgh \n"[random() % 10] ^ (random() % 50 == 0 ? 0x80 : 0));
  WriteTextFile(scratch_.Join("data.bin"), original);
  // zip and bsdtar take the password's bytes as they are; 7-Zip converts it
  // from the locale first, so it gets a 7-bit one.
  const std::string bytes = password_;
  const std::string ascii = "s3cr3t!";
  struct Case { const char* maker; std::string password; std::string command; };
  const Case cases[] = {
      {"zip stored", bytes, "zip -q -0 -P '" + bytes + "' out.zip data.bin"},
      {"zip deflated", bytes, "zip -q -6 -P '" + bytes + "' out.zip data.bin"},
      {"zip streamed", bytes, "cat data.bin | zip -q -6 -P '" + bytes + "' - - > out.zip"},
      {"7-Zip stored", ascii, "7zz a -bd -tzip -mem=ZipCrypto -mx=0 -p'" + ascii + "' out.zip data.bin > /dev/null"},
      {"7-Zip deflated", ascii, "7zz a -bd -tzip -mem=ZipCrypto -mx=5 -p'" + ascii + "' out.zip data.bin > /dev/null"},
      {"bsdtar stored", bytes, "bsdtar --format zip --options zip:encryption=zipcrypt,zip:compression=store"
                               " --passphrase '" + bytes + "' -cf out.zip data.bin"},
      {"bsdtar deflated", bytes, "bsdtar --format zip --options zip:encryption=zipcrypt,zip:compression=deflate"
                                 " --passphrase '" + bytes + "' -cf out.zip data.bin"},
  };
  bool sawBit3 = false;
  bool sawNoBit3 = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maker);
    std::string zipPath = scratch_.Join("out.zip");
    std::remove(zipPath.c_str());
    ASSERT_EQ(std::system(("cd '" + scratch_.Path() + "' && " + c.command).c_str()), 0);
    std::string zip = ReadTextFile(zipPath);
    FirstEntry entry = ReadFirstEntry(zip);
    ASSERT_EQ(entry.flags & kEntryFlagEncrypted, kEntryFlagEncrypted);
    (entry.flags & kEntryFlagDataDescriptor ? sawBit3 : sawNoBit3) = true;

    OpenAt(zipPath, entry.dataOffset, entry);
    char password[16];
    CopyText(password, c.password.c_str(), sizeof password);
    StorePasswordBytes(password);
    ASSERT_EQ(CheckPassword(), 1);
    ASSERT_EQ(g_archiveInput.remainingCompressed, entry.compressedSize - 12);
    std::string data(g_archiveInput.remainingCompressed, '\0');
    ASSERT_EQ(SysRead(g_archiveInput.handle, data.data(), g_archiveInput.remainingCompressed),
              static_cast<int32_t>(data.size()));
    for (size_t at = 0; at < data.size(); at += 2048) {  // refill by refill
      DecryptBuffer(reinterpret_cast<uint8_t*>(data.data() + at),
                    static_cast<uint32_t>(std::min<size_t>(2048, data.size() - at)));
    }
    EXPECT_EQ(entry.method == 8 ? RawInflate(data, original.size()) : data, original);

    SysClose(g_archiveInput.handle);
    g_archiveInput.handle = 0;
  }
  EXPECT_TRUE(sawBit3);
  EXPECT_TRUE(sawNoBit3);
}

TEST_F(DecryptHost, EntryTooShortForItsHeaderIsAnInvalidHeader) {
  WriteTextFile(scratch_.Join("entry.bin"), std::string(64, 'x'));
  for (uint32_t size : {0u, 1u, 11u}) {
    SCOPED_TRACE(size);
    HostClearBoxes();
    FirstEntry entry = {kEntryFlagEncrypted, 0, 0, 0, size, 0};
    OpenAt(scratch_.Join("entry.bin"), 0, entry);
    StorePasswordBytes(password_);
    EXPECT_EQ(RunGuarded(CheckPasswordStep), kJumpAborted);
    EXPECT_EQ(OnlyBoxText(), "Invalid ZIP header.  Possible cause: file transfer error.");
    EXPECT_EQ(SysSeek(g_archiveInput.handle, 0, kSeekCurrent), 0);  // nothing read
    EXPECT_EQ(g_archiveInput.remainingCompressed, size);
    SysClose(g_archiveInput.handle);
    g_archiveInput.handle = 0;
  }
}

TEST_F(DecryptHost, ShortHeaderIsReadError14) {
  WriteTextFile(scratch_.Join("entry.bin"), std::string(11, 'x'));
  FirstEntry entry = {kEntryFlagEncrypted, 0, 0, 0, 100, 0};
  OpenAt(scratch_.Join("entry.bin"), 0, entry);
  StorePasswordBytes(password_);
  EXPECT_EQ(RunGuarded(CheckPasswordStep), kJumpAborted);
  EXPECT_EQ(OnlyBoxText(),
            "Error reading C:\\DL\\SETUP.EXE.  Possible cause: bad disk or file transfer error. <14>");
}

TEST_F(DecryptHost, StoredEntryOf100BytesReadsExactly100AfterTheCheck) {
  // 12 header bytes and 100 data bytes, then the next record's signature.
  // Encrypt by hand: the header's twelfth byte is the check byte.
  std::string plain(100, '\0');
  for (int i = 0; i < 100; ++i) plain[i] = static_cast<char>(i * 7);
  InitKeys(password_);
  std::string stored;
  for (int i = 0; i < 12; ++i) {
    uint8_t byte = i == 11 ? 0xAB : static_cast<uint8_t>(i);
    stored += static_cast<char>(byte ^ DecryptByte());
    UpdateKeys(byte);
  }
  for (char c : plain) {
    stored += static_cast<char>(static_cast<uint8_t>(c) ^ DecryptByte());
    UpdateKeys(static_cast<uint8_t>(c));
  }
  WriteTextFile(scratch_.Join("entry.bin"), stored + "PK\x03\x04");
  FirstEntry entry = {kEntryFlagEncrypted, 0, 0, 0xAB000000u, 112, 0};
  OpenAt(scratch_.Join("entry.bin"), 0, entry);
  StorePasswordBytes(password_);
  ASSERT_EQ(CheckPassword(), 1);
  EXPECT_EQ(g_archiveInput.remainingCompressed, 100u);
  // Through the archive input, which decrypts as it refills.
  std::string read;
  int32_t got;
  while ((got = RefillInput()) > 0) read.append(reinterpret_cast<const char*>(g_inputBuffer), got);
  EXPECT_EQ(read, plain);
  EXPECT_EQ(SysSeek(g_archiveInput.handle, 0, kSeekCurrent), 112);  // just behind the entry's data
}

}  // namespace
