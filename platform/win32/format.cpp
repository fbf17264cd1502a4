#include <stdarg.h>

#include "platform/format.h"
#include "platform/win32/win32.h"

int SysFormat(char* destination, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = wvsprintfA(destination, format, arguments);
  va_end(arguments);
  return length;
}
