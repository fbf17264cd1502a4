// The cryptographic primitives of AES-encrypted entries against published
// vectors: PBKDF2-HMAC-SHA1 (those of the AES ZIP format's documentation,
// which are RFC 3962's, and RFC 6070's), HMAC-SHA1 (RFC 2202) and AES
// (FIPS-197). The same on both sides: libcrypto on the host, the stub's own
// code and the system's cipher on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/crypto.h"

namespace {

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

const uint8_t* Bytes(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

TEST(Crypto, Pbkdf2HmacSha1Vectors) {
  struct Row {
    std::string password;
    std::string salt;
    uint32_t rounds;
    const char* expected;
  };
  const Row rows[] = {
      {"password", "ATHENA.MIT.EDUraeburn", 1, "cdedb5281bb2f801565a1122b25635150ad1f7a04bb9f3a333ecc0e2e1f70837"},
      {"password", "ATHENA.MIT.EDUraeburn", 1200, "5c08eb61fdf71e4e4ec3cf6ba1f5512ba7e52ddbc5e5142f708a31e2e62b1e13"},
      {std::string(64, 'X'), "pass phrase equals block size", 1200,
       "139c30c0966bc32ba55fdbf212530ac9c5ec59f1a452f5cc9ad940fea0598ed1"},
      {std::string(65, 'X'), "pass phrase exceeds block size", 1200,
       "9ccad6d468770cd51b10e6a68721be611a8b4d282601db3b36be9246915ec82a"},
      {"password", "salt", 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
      {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096,
       "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.password + " / " + row.salt);
    uint8_t derived[66];
    size_t length = std::string(row.expected).size() / 2;
    SysDeriveKey(row.password.c_str(), Bytes(row.salt), static_cast<uint32_t>(row.salt.size()), row.rounds, derived,
                 static_cast<uint32_t>(length));
    EXPECT_EQ(Hex(derived, length), row.expected);
  }
  SysResetCrypto();
}

TEST(Crypto, HmacSha1VectorsWholeAndInPieces) {
  struct Row {
    std::string key;
    std::string message;
    const char* expected;
  };
  const Row rows[] = {
      {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
      {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
       "e8e99d0f45237d786d6bbaa7965c7808bbff1a91"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    for (size_t piece : {row.message.size(), size_t{1}, size_t{7}, size_t{63}}) {
      SysHmacStart(Bytes(row.key), static_cast<uint32_t>(row.key.size()));
      for (size_t at = 0; at < row.message.size(); at += piece) {
        size_t count = std::min(piece, row.message.size() - at);
        SysHmacAdd(Bytes(row.message) + at, static_cast<uint32_t>(count));
      }
      uint8_t code[kSha1Bytes];
      SysHmacFinish(code);
      EXPECT_EQ(Hex(code, kSha1Bytes), row.expected) << "in pieces of " << piece;
    }
  }
  SysResetCrypto();
}

TEST(Crypto, AesVectorsOfEveryKeySizeBlockByBlock) {
  struct Row {
    uint32_t keyBytes;
    const char* expected;
  };
  for (const Row& row : {Row{16, "69c4e0d86a7b0430d8cdb78070b4c55a"}, Row{24, "dda97ca4864cdfe06eaf70a0ec0d7191"},
                         Row{32, "8ea2b7ca516745bfeafc49904b496089"}}) {
    SCOPED_TRACE(row.keyBytes);
    uint8_t key[32];
    for (uint8_t i = 0; i < 32; ++i) key[i] = i;
    ASSERT_TRUE(SysAesSetKey(key, row.keyBytes));
    // Three copies of the plaintext: each block is enciphered on its own.
    uint8_t blocks[3 * kAesBlockBytes];
    for (uint32_t i = 0; i < sizeof blocks; ++i) blocks[i] = static_cast<uint8_t>((i % 16) * 0x11);
    SysAesEncryptBlocks(blocks, 3);
    for (uint32_t b = 0; b < 3; ++b) EXPECT_EQ(Hex(blocks + b * kAesBlockBytes, kAesBlockBytes), row.expected);
  }
  SysResetCrypto();
}

}  // namespace
