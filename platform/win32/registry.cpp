#include "platform/registry.h"
#include "platform/win32/win32.h"

int SysReadClassesRootValue(const char* key, char* buffer, uint32_t size) {
  LONG length = static_cast<LONG>(size);
  if (RegQueryValueA(HKEY_CLASSES_ROOT, key, buffer, &length) != ERROR_SUCCESS) return 0;
  buffer[size - 1] = 0;  // a value stored without its terminator
  return 1;
}
