#include "platform/log.h"
#include "platform/format.h"
#include "platform/win32/wide.h"

namespace {

HANDLE g_logFile = INVALID_HANDLE_VALUE;

const DWORD kNotAPlainFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;

// The path could not be opened: a folder (which CreateFileW cannot open
// for writing) or a link to one is refused, anything else failed.
int WhyNotOpened(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kNotAPlainFile) != 0) return kLogRefused;
  return kLogFailed;
}

}  // namespace

int SysOpenLog(const char* path) {
  wchar_t wide[kWideTextUnits];
  ToWidePath(path, wide);
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, never what it leads to;
  // what was opened is then looked at through the handle, so the path cannot
  // be swapped in between. No write sharing: an entry of the archive named
  // like the log fails to be created instead of writing into it.
  HANDLE file = CreateFileW(wide, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return WhyNotOpened(wide);
  BY_HANDLE_FILE_INFORMATION facts;
  if (!GetFileInformationByHandle(file, &facts)) {
    CloseHandle(file);
    return kLogFailed;
  }
  if ((facts.dwFileAttributes & kNotAPlainFile) != 0 || facts.nNumberOfLinks != 1) {
    CloseHandle(file);
    return kLogRefused;
  }
  g_logFile = file;
  return kLogOpen;
}

bool SysAppendLogLine(const char* text) {
  if (g_logFile == INVALID_HANDLE_VALUE) return false;
  // One write per line: a line is in the file whole or reported as lost.
  char line[kFormatLimit + 32];
  SYSTEMTIME now;
  GetLocalTime(&now);
  int length = wsprintfA(line, "%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay, now.wHour,
                         now.wMinute, now.wSecond);
  for (const char* c = text; *c != 0 && length < static_cast<int>(kFormatLimit) + 28; ++c) line[length++] = *c;
  line[length++] = '\r';
  line[length++] = '\n';
  DWORD written = 0;
  return WriteFile(g_logFile, line, static_cast<DWORD>(length), &written, nullptr) &&
         written == static_cast<DWORD>(length);
}

void SysCloseLog() {
  if (g_logFile == INVALID_HANDLE_VALUE) return;
  CloseHandle(g_logFile);
  g_logFile = INVALID_HANDLE_VALUE;
}
