#include "tests/host/aes_oracle.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstdlib>

std::string EncryptAes(const std::string& password, uint8_t strength, const std::string& plain, uint8_t saltByte) {
  const int keyBytes = 8 + 8 * strength;
  std::string salt;
  for (int i = 0; i < keyBytes / 2; ++i) salt += static_cast<char>(saltByte + i);
  unsigned char derived[66];
  PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()),
                         reinterpret_cast<const unsigned char*>(salt.data()), static_cast<int>(salt.size()), 1000,
                         2 * keyBytes + 2, derived);
  const EVP_CIPHER* cipher = strength == 1 ? EVP_aes_128_ecb() : strength == 2 ? EVP_aes_192_ecb() : EVP_aes_256_ecb();
  EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
  EVP_EncryptInit_ex(context, cipher, nullptr, derived, nullptr);
  EVP_CIPHER_CTX_set_padding(context, 0);
  std::string encrypted = plain;
  for (size_t block = 0; block * 16 < plain.size(); ++block) {
    unsigned char counter[16] = {};
    uint64_t value = block + 1;
    for (int i = 0; i < 8; ++i) counter[i] = static_cast<unsigned char>(value >> (8 * i));
    unsigned char stream[16];
    int written = 0;
    EVP_EncryptUpdate(context, stream, &written, counter, 16);
    for (size_t i = block * 16; i < plain.size() && i < block * 16 + 16; ++i) encrypted[i] ^= static_cast<char>(stream[i % 16]);
  }
  EVP_CIPHER_CTX_free(context);
  unsigned char code[20];
  unsigned int codeBytes = 0;
  HMAC(EVP_sha1(), derived + keyBytes, keyBytes, reinterpret_cast<const unsigned char*>(encrypted.data()),
       encrypted.size(), code, &codeBytes);
  return salt + std::string(reinterpret_cast<char*>(derived + 2 * keyBytes), 2) + encrypted +
         std::string(reinterpret_cast<char*>(code), 10);
}

std::string AesExtraField(uint16_t version, uint8_t strength, uint16_t method) {
  std::string field = "\x01\x99\x07";
  field += '\0';
  field += static_cast<char>(version);
  field += static_cast<char>(version >> 8);
  field += "AE";
  field += static_cast<char>(strength);
  field += static_cast<char>(method);
  field += static_cast<char>(method >> 8);
  return field;
}
