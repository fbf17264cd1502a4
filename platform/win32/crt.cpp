// The two routines of a C runtime that the compiler itself calls (for struct
// copies and for the copy builtins of platform/bytes.h). Only the stub links
// this file; programs with a C runtime use the runtime's own.
#include <stddef.h>

#include "platform/long_division.h"

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

// 64-bit division, which the compiler calls for 64-bit quotients on this
// 32-bit target; a declaration of either alone, which the compiler leaves
// wherever it might have needed one, would pull in the runtime library's.
extern "C" unsigned long long __udivdi3(unsigned long long numerator, unsigned long long divisor) {
  return DivideUnsigned64(numerator, divisor);
}

extern "C" long long __divdi3(long long numerator, long long divisor) {
  return DivideSigned64(numerator, divisor);
}
