// Byte and text helpers for code that runs without a C runtime.
//
// The copies go through the compiler's builtins: on the host they become the C
// library's fast routines, in the stub they call the small memcpy/memset of
// platform/win32/crt.cpp (the compiler emits such calls for struct copies
// anyway).
#pragma once

#include "platform/types.h"

inline void CopyBytes(void* destination, const void* source, uint32_t count) {
  __builtin_memcpy(destination, source, count);
}

inline void FillBytes(void* destination, uint8_t value, uint32_t count) {
  __builtin_memset(destination, value, count);
}

// Zeroes a buffer that held a secret. The stores go through a volatile
// pointer: a plain fill of a buffer that is never read again is a store the
// compiler may leave out.
inline void WipeBytes(void* destination, uint32_t count) {
  volatile uint8_t* bytes = static_cast<volatile uint8_t*>(destination);
  while (count-- != 0) *bytes++ = 0;
}

// 0 when the two ranges hold the same bytes.
int CompareBytes(const void* first, const void* second, uint32_t count);

// Length of a NUL-terminated text.
uint32_t TextLength(const char* text);

// Copies a NUL-terminated text into a buffer of `capacity` bytes, cutting it
// so that the terminator always fits. Returns the length copied.
uint32_t CopyText(char* destination, const char* source, uint32_t capacity);

inline uint16_t ReadLe16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

inline uint32_t ReadLe32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}
