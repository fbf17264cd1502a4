#include "platform/registry.h"
#include "platform/win32/wide.h"

int SysReadClassesRootValue(const char* key, char* buffer, uint32_t size) {
  wchar_t wideKey[kWideTextUnits];
  wchar_t value[kWideTextUnits];
  LONG valueBytes = sizeof value;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, ToWide(key, wideKey), value, &valueBytes) != ERROR_SUCCESS) return 0;
  value[kWideTextUnits - 1] = 0;  // a value stored without its terminator
  // Longer than the caller takes: counted as missing, as the platform's
  // too-small buffer is.
  char text[kWideTextUnits * 3];
  uint32_t length = ToUtf8(value, text, sizeof text);
  if (length + 1 > size) return 0;
  __builtin_memcpy(buffer, text, length + 1);
  return 1;
}
