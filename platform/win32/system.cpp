#include "platform/system.h"
#include "platform/win32/win32.h"

uint32_t SysGetEnvironmentVariable(const char* name, char* buffer, uint32_t size) {
  return GetEnvironmentVariableA(name, buffer, size);
}

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
  return GetModuleFileNameA(nullptr, buffer, size);
}

const char* SysCharNext(const char* text) { return CharNextA(text); }
