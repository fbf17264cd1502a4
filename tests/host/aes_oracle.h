// Host tests only: AES-encrypted ZIP entry data made with libcrypto, apart
// from the stub's reader, so that the two check each other.
#pragma once

#include <cstdint>
#include <string>

// The data of an AES entry: salt | verifier | `plain` encrypted | code.
// `strength` 1, 2, 3 is a 128-, 192-, 256-bit key; the salt is 4, 6 or 8
// times `saltByte`'s pattern.
std::string EncryptAes(const std::string& password, uint8_t strength, const std::string& plain, uint8_t saltByte = 0x5A);

// The extra field record 0x9901 of such an entry.
std::string AesExtraField(uint16_t version, uint8_t strength, uint16_t method);
