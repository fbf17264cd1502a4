#include "platform/system.h"
#include "platform/win32/wide.h"

uint32_t SysGetEnvironmentVariable(const char* name, char* buffer, uint32_t size) {
  wchar_t wideName[kWideTextUnits];
  wchar_t value[kWideTextUnits];
  return ReturnUtf8(value, GetEnvironmentVariableW(ToWide(name, wideName), value, kWideTextUnits), buffer, size);
}

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  DWORD units = GetModuleFileNameW(nullptr, wide, kWideTextUnits);
  // A name that fills the buffer was cut: the system says so only that way.
  if (units == 0 || units >= static_cast<DWORD>(kWideTextUnits)) return 0;
  uint32_t length = ReturnUtf8(wide, units, buffer, size);
  return length < size ? length : 0;
}

uint32_t SysTickCount() { return GetTickCount(); }
