// Win32 side of the cryptographic primitives. AES comes from the system's
// CryptoAPI (advapi32, imported already; a key blob in ECB mode, asked for
// many blocks at once). SHA-1, HMAC and PBKDF2 are written here: the key
// derivation calls HMAC-SHA1 thousands of times per entry, and with the
// padded keys hashed once up front each call costs two compressions, far
// less than a round trip to the system's providers.
#include "platform/crypto.h"
#include "platform/bytes.h"
#include "platform/win32/win32.h"

#include <wincrypt.h>

namespace {

const uint32_t kSha1BlockBytes = 64;

struct Sha1 {
  uint32_t state[5];
  uint8_t block[kSha1BlockBytes];
  uint32_t used;   // bytes in block
  uint64_t total;  // bytes hashed
};

struct Hmac {
  Sha1 inner;  // holds the key padded with 0x36, then the message
  Sha1 outer;  // holds the key padded with 0x5C
};

struct AesKeyBlob {
  BLOBHEADER header;
  DWORD keyBytes;
  uint8_t key[32];
};

struct Win32CryptoState {
  HCRYPTPROV provider;
  HCRYPTKEY key;
  Hmac code;
};
Win32CryptoState g_crypto;

uint32_t RotateLeft(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

uint32_t ReadBe32(const uint8_t* bytes) {
  return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
         (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

void Sha1Compress(uint32_t state[5], const uint8_t* block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = ReadBe32(block + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f;
    uint32_t k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDC;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6;
    }
    uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

void Sha1Start(Sha1* hash) {
  static const uint32_t kInitial[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
  CopyBytes(hash->state, kInitial, sizeof kInitial);
  hash->used = 0;
  hash->total = 0;
}

void Sha1Add(Sha1* hash, const uint8_t* bytes, uint32_t count) {
  hash->total += count;
  for (uint32_t i = 0; i < count; ++i) {
    hash->block[hash->used++] = bytes[i];
    if (hash->used == kSha1BlockBytes) {
      Sha1Compress(hash->state, hash->block);
      hash->used = 0;
    }
  }
}

void Sha1Finish(Sha1* hash, uint8_t digest[kSha1Bytes]) {
  uint64_t bits = hash->total * 8;
  uint8_t pad = 0x80;
  Sha1Add(hash, &pad, 1);
  pad = 0;
  while (hash->used != kSha1BlockBytes - 8) Sha1Add(hash, &pad, 1);
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Sha1Add(hash, length, 8);
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(hash->state[i / 4] >> (24 - 8 * (i % 4)));
}

void HmacStart(Hmac* mac, const uint8_t* key, uint32_t keyBytes) {
  uint8_t hashedKey[kSha1Bytes];
  if (keyBytes > kSha1BlockBytes) {  // a long key stands for its hash
    Sha1Start(&mac->inner);
    Sha1Add(&mac->inner, key, keyBytes);
    Sha1Finish(&mac->inner, hashedKey);
    key = hashedKey;
    keyBytes = kSha1Bytes;
  }
  uint8_t inner[kSha1BlockBytes];
  uint8_t outer[kSha1BlockBytes];
  for (uint32_t i = 0; i < kSha1BlockBytes; ++i) {
    uint8_t k = i < keyBytes ? key[i] : 0;
    inner[i] = static_cast<uint8_t>(k ^ 0x36);
    outer[i] = static_cast<uint8_t>(k ^ 0x5C);
  }
  Sha1Start(&mac->inner);
  Sha1Add(&mac->inner, inner, kSha1BlockBytes);
  Sha1Start(&mac->outer);
  Sha1Add(&mac->outer, outer, kSha1BlockBytes);
}

// Finishes a copy of the keyed state, so that one keyed HMAC serves many messages.
void HmacOf(const Hmac& keyed, const uint8_t* first, uint32_t firstBytes, const uint8_t* second, uint32_t secondBytes,
            uint8_t code[kSha1Bytes]) {
  Hmac mac = keyed;
  Sha1Add(&mac.inner, first, firstBytes);
  Sha1Add(&mac.inner, second, secondBytes);
  Sha1Finish(&mac.inner, code);
  Sha1Add(&mac.outer, code, kSha1Bytes);
  Sha1Finish(&mac.outer, code);
}

}  // namespace

void SysDeriveKey(const char* password, const uint8_t* salt, uint32_t saltLength, uint32_t iterations,
                  uint8_t* derived, uint32_t length) {
  Hmac keyed;
  uint32_t passwordBytes = 0;
  while (password[passwordBytes] != 0) ++passwordBytes;
  HmacStart(&keyed, reinterpret_cast<const uint8_t*>(password), passwordBytes);
  for (uint32_t blockNumber = 1; length != 0; ++blockNumber) {
    uint8_t index[4] = {static_cast<uint8_t>(blockNumber >> 24), static_cast<uint8_t>(blockNumber >> 16),
                        static_cast<uint8_t>(blockNumber >> 8), static_cast<uint8_t>(blockNumber)};
    uint8_t u[kSha1Bytes];
    uint8_t t[kSha1Bytes];
    HmacOf(keyed, salt, saltLength, index, 4, u);
    CopyBytes(t, u, kSha1Bytes);
    for (uint32_t round = 1; round < iterations; ++round) {
      HmacOf(keyed, u, kSha1Bytes, nullptr, 0, u);
      for (uint32_t i = 0; i < kSha1Bytes; ++i) t[i] ^= u[i];
    }
    uint32_t take = length < kSha1Bytes ? length : kSha1Bytes;
    CopyBytes(derived, t, take);
    derived += take;
    length -= take;
  }
}

bool SysAesSetKey(const uint8_t* key, uint32_t keyBytes) {
  if (g_crypto.key != 0) CryptDestroyKey(g_crypto.key);
  g_crypto.key = 0;
  if (g_crypto.provider == 0 &&
      !CryptAcquireContextW(&g_crypto.provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
    return false;
  }
  AesKeyBlob blob;
  blob.header.bType = PLAINTEXTKEYBLOB;
  blob.header.bVersion = CUR_BLOB_VERSION;
  blob.header.reserved = 0;
  // CALG_AES_128, _192 and _256 follow one another.
  blob.header.aiKeyAlg = CALG_AES_128 + (keyBytes - 16) / 8;
  blob.keyBytes = keyBytes;
  CopyBytes(blob.key, key, keyBytes);
  bool made = CryptImportKey(g_crypto.provider, reinterpret_cast<const BYTE*>(&blob), sizeof blob.header + 4 + keyBytes,
                             0, 0, &g_crypto.key) != 0;
  FillBytes(&blob, 0, sizeof blob);
  DWORD mode = CRYPT_MODE_ECB;
  return made && CryptSetKeyParam(g_crypto.key, KP_MODE, reinterpret_cast<const BYTE*>(&mode), 0) != 0;
}

void SysAesEncryptBlocks(uint8_t* blocks, uint32_t count) {
  DWORD bytes = count * kAesBlockBytes;
  CryptEncrypt(g_crypto.key, 0, FALSE, 0, blocks, &bytes, bytes);
}

void SysHmacStart(const uint8_t* key, uint32_t keyBytes) { HmacStart(&g_crypto.code, key, keyBytes); }

void SysHmacAdd(const uint8_t* bytes, uint32_t count) { Sha1Add(&g_crypto.code.inner, bytes, count); }

void SysHmacFinish(uint8_t code[kSha1Bytes]) { HmacOf(g_crypto.code, nullptr, 0, nullptr, 0, code); }

void SysResetCrypto() {
  if (g_crypto.key != 0) CryptDestroyKey(g_crypto.key);
  if (g_crypto.provider != 0) CryptReleaseContext(g_crypto.provider, 0);
  FillBytes(&g_crypto, 0, sizeof g_crypto);
}
