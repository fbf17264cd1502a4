// 64-bit division by shifting and subtracting, one quotient bit at a time:
// the stub's own runtime routines for it (platform/win32/crt.cpp) are built
// on these, a handful of instructions instead of the runtime library's
// routines and the unwind tables that come with them. Division by zero
// gives all ones.
#pragma once

#include "platform/types.h"

inline uint64_t DivideUnsigned64(uint64_t numerator, uint64_t divisor) {
  uint64_t quotient = 0;
  uint64_t remainder = 0;
  for (int bit = 63; bit >= 0; --bit) {
    // The bit shifted out of the remainder counts too: with it the
    // remainder is above any divisor.
    uint64_t carry = remainder >> 63;
    remainder = (remainder << 1) | ((numerator >> bit) & 1);
    quotient <<= 1;
    if (carry != 0 || remainder >= divisor) {
      remainder -= divisor;
      quotient |= 1;
    }
  }
  return quotient;
}

// Truncates toward zero, as the language's division does.
inline int64_t DivideSigned64(int64_t numerator, int64_t divisor) {
  uint64_t magnitude = DivideUnsigned64(numerator < 0 ? 0 - static_cast<uint64_t>(numerator) : numerator,
                                        divisor < 0 ? 0 - static_cast<uint64_t>(divisor) : divisor);
  bool negative = (numerator < 0) != (divisor < 0);
  return static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
}
