#include "platform/text.h"
#include "platform/win32/wide.h"

uint32_t SysAnsiToUtf8(const char* ansi, char* utf8, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  if (MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, kWideTextUnits) == 0) wide[0] = 0;
  return ToUtf8(wide, utf8, size);
}
