#include "platform/files.h"
#include "platform/win32/held_folders.h"
#include "platform/win32/wide.h"

namespace {

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)); }

FileHandle FromHandle(HANDLE handle) { return static_cast<FileHandle>(reinterpret_cast<intptr_t>(handle)); }

}  // namespace

// INVALID_HANDLE_VALUE is -1, the failure value of the stub's file handles.
// A kernel handle is 32 bits wide in a 64-bit process too (Windows keeps
// them so, for handles shared with 32-bit processes): it is truncated to
// 32 bits and sign-extended back, which gives -1 back for -1.
static_assert(sizeof(HANDLE) >= sizeof(FileHandle), "a handle holds the stub's file handle");

FileHandle SysOpen(const char* path, uint32_t mode) {
  wchar_t wide[kWideTextUnits];
  // Others may always read; they may write too unless the mode denies it.
  DWORD share = (mode & kOpenShareDenyWrite) != 0 ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
  return FromHandle(CreateFileW(ToWidePath(path, wide), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle SysCreate(const char* path) {
  wchar_t wide[kWideTextUnits];
  return FromHandle(CreateFileW(ToWidePath(path, wide), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Replaced, not written into: the name gets a file of its own. An item that
// cannot be removed (read-only, in use, a folder) stays, and the create fails
// on it as it failed to truncate it.
FileHandle SysCreateBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength) {
  wchar_t wide[kWideTextUnits];
  HeldFolders held;
  int found = HoldFoldersBelow(path, trustedLength, wide, &held, linkLength);
  FileHandle result = found == kFoldersLink ? kFileLink : kFileError;
  if (found == kFoldersHeld) {
    DeleteFileW(wide);
    result = FromHandle(CreateFileW(wide, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  ReleaseFolders(&held);
  return result;
}

bool SysDeleteBelow(const char* path, uint32_t trustedLength) {
  wchar_t wide[kWideTextUnits];
  HeldFolders held;
  uint32_t linkLength = 0;
  bool removed = HoldFoldersBelow(path, trustedLength, wide, &held, &linkLength) == kFoldersHeld && DeleteFileW(wide);
  ReleaseFolders(&held);
  return removed;
}

int32_t SysRead(FileHandle file, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(AsHandle(file), buffer, count, &got, nullptr)) return -1;
  return static_cast<int32_t>(got);
}

int32_t SysWrite(FileHandle file, const void* buffer, uint32_t count) {
  DWORD written = 0;
  if (!WriteFile(AsHandle(file), buffer, count, &written, nullptr)) return -1;
  return static_cast<int32_t>(written);
}

int32_t SysSeek(FileHandle file, int32_t offset, int origin) {
  // The origins are the platform's FILE_BEGIN, FILE_CURRENT and FILE_END.
  return static_cast<int32_t>(SetFilePointer(AsHandle(file), offset, nullptr, static_cast<DWORD>(origin)));
}

void SysClose(FileHandle file) { CloseHandle(AsHandle(file)); }

void SysSetFileDosTime(FileHandle file, uint16_t dosDate, uint16_t dosTime) {
  FILETIME local;
  FILETIME universal;
  DosDateTimeToFileTime(dosDate, dosTime, &local);
  LocalFileTimeToFileTime(&local, &universal);
  SetFileTime(AsHandle(file), &universal, &universal, &universal);
}
