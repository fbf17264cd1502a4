#include "platform/bytes.h"

int CompareBytes(const void* first, const void* second, uint32_t count) {
  const uint8_t* a = static_cast<const uint8_t*>(first);
  const uint8_t* b = static_cast<const uint8_t*>(second);
  for (uint32_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return 1;
  }
  return 0;
}

uint32_t TextLength(const char* text) {
  uint32_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

uint32_t CopyText(char* destination, const char* source, uint32_t capacity) {
  if (capacity == 0) return 0;
  uint32_t length = 0;
  while (length + 1 < capacity && source[length] != 0) {
    destination[length] = source[length];
    ++length;
  }
  destination[length] = 0;
  return length;
}
