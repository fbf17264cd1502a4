#include "platform/starter.h"
#include "platform/win32/wide.h"

namespace {

// A standard error that a script redirected: a file or a pipe. A GUI
// program started from a console gets no handle, or one of the console's.
bool IsRedirected(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  DWORD type = GetFileType(handle);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

}  // namespace

bool SysTellStarter(const char* text) {
  DWORD written;
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (IsRedirected(error)) {
    WriteFile(error, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    WriteFile(error, "\r\n", 2, &written, nullptr);
    return true;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  // The standard handles are not set up by attaching: the console's screen
  // buffer is opened by name.
  HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  bool told = console != INVALID_HANDLE_VALUE;
  if (told) {
    wchar_t wide[kWideTextUnits];
    ToWide(text, wide);
    WriteConsoleW(console, wide, static_cast<DWORD>(lstrlenW(wide)), &written, nullptr);
    WriteConsoleW(console, L"\r\n", 2, &written, nullptr);
    CloseHandle(console);
  }
  FreeConsole();
  return told;
}
