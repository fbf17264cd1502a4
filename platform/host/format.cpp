// Host side of SysFormat: the platform's 'l' means 32 bits, so it is dropped
// before the C library sees the format (its 'l' would read 64-bit arguments).
#include "platform/format.h"

#include <cstdarg>
#include <cstdio>
#include <string>

int SysFormat(char* destination, const char* format, ...) {
  std::string plain;
  for (const char* p = format; *p != 0; ++p) {
    plain += *p;
    if (*p != '%') continue;
    for (++p; *p != 0 && std::string("-+ #0123456789.").find(*p) != std::string::npos; ++p) plain += *p;
    if (*p == 'l') ++p;
    if (*p == 0) break;
    plain += *p;
  }
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(destination, 1024, plain.c_str(), arguments);
  va_end(arguments);
  return length < 0 ? 0 : (length > 1023 ? 1023 : length);
}
