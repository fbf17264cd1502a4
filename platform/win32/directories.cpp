#include "platform/directories.h"
#include "platform/win32/win32.h"

int SysFindItem(const char* path, FoundItem* found) {
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(path, &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  found->attributes = data.dwFileAttributes;
  static_assert(sizeof(data.cFileName) == kFoundNameSize, "the platform's name buffer");
  __builtin_memcpy(found->name, data.cFileName, kFoundNameSize);
  return 1;
}

int SysCreateDirectory(const char* path) { return CreateDirectoryA(path, nullptr); }

uint32_t SysGetDriveType(const char* root) { return GetDriveTypeA(root); }

uint32_t SysGetCurrentDirectory(char* buffer, uint32_t size) {
  return GetCurrentDirectoryA(size, buffer);
}

uint32_t SysGetWindowsDirectory(char* buffer, uint32_t size) {
  return GetWindowsDirectoryA(buffer, size);
}
