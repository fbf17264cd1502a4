#include "platform/log.h"
#include "platform/win32/wide.h"

void SysAppendLogLine(const char* path, const char* text) {
  wchar_t wide[kWideTextUnits];
  HANDLE file = CreateFileW(ToWidePath(path, wide), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  char stamp[32];
  int length = wsprintfA(stamp, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                         now.wMinute, now.wSecond);
  DWORD written;
  WriteFile(file, stamp, static_cast<DWORD>(length), &written, nullptr);
  WriteFile(file, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
  WriteFile(file, "\r\n", 2, &written, nullptr);
  CloseHandle(file);
}
