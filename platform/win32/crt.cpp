// The two routines of a C runtime that the compiler itself calls (for struct
// copies and for the copy builtins of platform/bytes.h). Only the stub links
// this file; programs with a C runtime use the runtime's own.
#include <stddef.h>

extern "C" void* memcpy(void* destination, const void* source, size_t count) {
  void* result = destination;
  __asm__ volatile("rep movsb" : "+D"(destination), "+S"(source), "+c"(count) : : "memory");
  return result;
}

extern "C" void* memset(void* destination, int value, size_t count) {
  void* result = destination;
  __asm__ volatile("rep stosb" : "+D"(destination), "+c"(count) : "a"(value) : "memory");
  return result;
}

// Unsigned 64-bit division, which the compiler calls for a 64-bit quotient
// on this 32-bit target. Shift and subtract, one quotient bit at a time: a
// handful of instructions instead of the runtime library's routine and the
// unwind tables that come with it. Division by zero gives all ones.
extern "C" unsigned long long __udivdi3(unsigned long long numerator, unsigned long long divisor) {
  unsigned long long quotient = 0;
  unsigned long long remainder = 0;
  for (int bit = 63; bit >= 0; --bit) {
    remainder = (remainder << 1) | ((numerator >> bit) & 1);
    quotient <<= 1;
    if (remainder >= divisor) {
      remainder -= divisor;
      quotient |= 1;
    }
  }
  return quotient;
}

// Signed 64-bit division, on top of the unsigned one. The compiler declares
// it wherever it might need it, and a declaration alone would pull in the
// runtime library's routine.
extern "C" long long __divdi3(long long numerator, long long divisor) {
  bool negative = (numerator < 0) != (divisor < 0);
  unsigned long long magnitude =
      __udivdi3(numerator < 0 ? 0 - static_cast<unsigned long long>(numerator) : numerator,
                divisor < 0 ? 0 - static_cast<unsigned long long>(divisor) : divisor);
  return negative ? static_cast<long long>(0 - magnitude) : static_cast<long long>(magnitude);
}
