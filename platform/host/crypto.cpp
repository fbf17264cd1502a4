// Host side of the cryptographic primitives: OpenSSL's libcrypto.
#include "platform/crypto.h"

#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <cstdlib>
#include <cstring>

namespace {

struct HostCryptoState {
  EVP_CIPHER_CTX* cipher;
  EVP_MAC* hmac;
  EVP_MAC_CTX* code;
};
HostCryptoState g_hostCrypto;

// A library that cannot do what it is asked here is a broken installation,
// not a condition of the archive.
void Require(bool done) {
  if (!done) std::abort();
}

const EVP_CIPHER* EcbCipherFor(uint32_t keyBytes) {
  switch (keyBytes) {
    case 16: return EVP_aes_128_ecb();
    case 24: return EVP_aes_192_ecb();
    case 32: return EVP_aes_256_ecb();
    default: return nullptr;
  }
}

}  // namespace

bool SysDeriveKey(const char* password, const uint8_t* salt, uint32_t saltLength, uint32_t iterations,
                  uint8_t* derived, uint32_t length) {
  Require(PKCS5_PBKDF2_HMAC_SHA1(password, static_cast<int>(std::strlen(password)), salt, static_cast<int>(saltLength),
                                 static_cast<int>(iterations), static_cast<int>(length), derived) == 1);
  return true;
}

bool SysAesSetKey(const uint8_t* key, uint32_t keyBytes) {
  const EVP_CIPHER* cipher = EcbCipherFor(keyBytes);
  if (cipher == nullptr) return false;
  if (g_hostCrypto.cipher == nullptr) g_hostCrypto.cipher = EVP_CIPHER_CTX_new();
  Require(g_hostCrypto.cipher != nullptr);
  Require(EVP_EncryptInit_ex(g_hostCrypto.cipher, cipher, nullptr, key, nullptr) == 1);
  EVP_CIPHER_CTX_set_padding(g_hostCrypto.cipher, 0);
  return true;
}

void SysAesEncryptBlocks(uint8_t* blocks, uint32_t count) {
  int written = 0;
  Require(EVP_EncryptUpdate(g_hostCrypto.cipher, blocks, &written, blocks,
                            static_cast<int>(count * kAesBlockBytes)) == 1);
}

void SysHmacStart(const uint8_t* key, uint32_t keyBytes) {
  if (g_hostCrypto.hmac == nullptr) g_hostCrypto.hmac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
  Require(g_hostCrypto.hmac != nullptr);
  if (g_hostCrypto.code != nullptr) EVP_MAC_CTX_free(g_hostCrypto.code);
  g_hostCrypto.code = EVP_MAC_CTX_new(g_hostCrypto.hmac);
  Require(g_hostCrypto.code != nullptr);
  char digest[] = "SHA1";
  OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0), OSSL_PARAM_construct_end()};
  Require(EVP_MAC_init(g_hostCrypto.code, key, keyBytes, params) == 1);
}

void SysHmacAdd(const uint8_t* bytes, uint32_t count) {
  Require(EVP_MAC_update(g_hostCrypto.code, bytes, count) == 1);
}

void SysHmacFinish(uint8_t code[kSha1Bytes]) {
  size_t length = 0;
  Require(EVP_MAC_final(g_hostCrypto.code, code, &length, kSha1Bytes) == 1 && length == kSha1Bytes);
}

void SysResetCrypto() {
  EVP_CIPHER_CTX_free(g_hostCrypto.cipher);
  EVP_MAC_CTX_free(g_hostCrypto.code);
  EVP_MAC_free(g_hostCrypto.hmac);
  g_hostCrypto = HostCryptoState{};
}
