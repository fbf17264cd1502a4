#include "platform/text.h"
#include "platform/win32/wide.h"

namespace {

uint32_t CodePageToUtf8(UINT codePage, const char* text, char* utf8, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  if (MultiByteToWideChar(codePage, 0, text, -1, wide, kWideTextUnits) == 0) wide[0] = 0;
  return ToUtf8(wide, utf8, size);
}

}  // namespace

uint32_t SysAnsiToUtf8(const char* ansi, char* utf8, uint32_t size) { return CodePageToUtf8(CP_ACP, ansi, utf8, size); }

uint32_t SysOemToUtf8(const char* oem, char* utf8, uint32_t size) { return CodePageToUtf8(CP_OEMCP, oem, utf8, size); }

uint32_t SysUtf8ToAnsi(const char* utf8, char* ansi, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  int written = WideCharToMultiByte(CP_ACP, 0, ToWide(utf8, wide), -1, ansi, static_cast<int>(size), nullptr, nullptr);
  if (written <= 0) {
    if (size > 0) ansi[0] = 0;
    return 0;
  }
  return static_cast<uint32_t>(written - 1);
}
