#include "platform/files.h"
#include "platform/win32/win32.h"

FileHandle SysOpen(const char* path, uint32_t mode) { return _lopen(path, static_cast<int>(mode)); }

FileHandle SysCreate(const char* path) { return _lcreat(path, 0); }

int32_t SysRead(FileHandle file, void* buffer, uint32_t count) {
  return static_cast<int32_t>(_lread(file, buffer, count));
}

int32_t SysWrite(FileHandle file, const void* buffer, uint32_t count) {
  return static_cast<int32_t>(_lwrite(file, static_cast<LPCCH>(buffer), count));
}

int32_t SysSeek(FileHandle file, int32_t offset, int origin) {
  return _llseek(file, offset, origin);
}

void SysClose(FileHandle file) { _lclose(file); }

void SysSetFileDosTime(FileHandle file, uint16_t dosDate, uint16_t dosTime) {
  FILETIME local;
  FILETIME universal;
  DosDateTimeToFileTime(dosDate, dosTime, &local);
  LocalFileTimeToFileTime(&local, &universal);
  SetFileTime(reinterpret_cast<HANDLE>(static_cast<intptr_t>(file)), &universal, &universal, &universal);
}
