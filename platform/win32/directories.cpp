#include "platform/directories.h"
#include "platform/win32/held_folders.h"
#include "platform/win32/wide.h"

int SysFindItem(const char* path, FoundItem* found) {
  wchar_t wide[kWideTextUnits];
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(ToWidePath(path, wide), &data);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  found->attributes = data.dwFileAttributes;
  ToUtf8(data.cFileName, found->name, kFoundNameSize);
  return 1;
}

int SysLeadsToFolder(const char* path) {
  wchar_t wide[kWideTextUnits];
  // Opening follows links where a lookup sees the link itself; backup
  // semantics let a folder be opened at all.
  HANDLE handle = CreateFileW(ToWidePath(path, wide), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION information;
  int folder = GetFileInformationByHandle(handle, &information) != 0 &&
               (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  CloseHandle(handle);
  return folder;
}

int SysCreateDirectory(const char* path) {
  wchar_t wide[kWideTextUnits];
  return CreateDirectoryW(ToWidePath(path, wide), nullptr);
}

int SysCreateDirectoryBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength) {
  wchar_t wide[kWideTextUnits];
  HeldFolders held;
  int found = HoldFoldersBelow(path, trustedLength, wide, &held, linkLength);
  int result = found == kFoldersLink ? kFolderLink : 0;
  if (found == kFoldersHeld) result = CreateDirectoryW(wide, nullptr) ? 1 : 0;
  ReleaseFolders(&held);
  return result;
}

uint32_t SysGetDriveType(const char* root) {
  wchar_t wide[kWideTextUnits];
  return GetDriveTypeW(ToWide(root, wide));
}

uint32_t SysGetCurrentDirectory(char* buffer, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  return ReturnUtf8(wide, GetCurrentDirectoryW(kWideTextUnits, wide), buffer, size);
}

uint32_t SysGetWindowsDirectory(char* buffer, uint32_t size) {
  wchar_t wide[kWideTextUnits];
  return ReturnUtf8(wide, GetWindowsDirectoryW(wide, kWideTextUnits), buffer, size);
}
