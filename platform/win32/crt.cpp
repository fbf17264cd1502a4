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
