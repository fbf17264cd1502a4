// The inflate tool's side of the calls through which the output path shows
// progress, hears a cancel and reports an error. The tool has no window, so
// the Windows build takes these instead of the user interface's and the
// window library's formatting: it then loads no window library, and its
// start-up under Wine costs what any console program's does.
#include <cstdarg>
#include <cstdio>

#include "platform/format.h"
#include "base/boxes.h"
#include "base/progress.h"

void ShowCurrentEntry(const char*) {}

void ShowUnzipping(const char*) {}

void ShowMeterStep(uint32_t) {}

void ShowProgressBeforeQuestion() {}

bool PassCancelRequested() { return false; }

int ShowBox(WindowHandle, const char* text, const char*, uint32_t) {
  std::fprintf(stderr, "arcula-inflate: %s\n", text);
  return 0;
}

int SysFormat(char* destination, const char* format, ...) {
  va_list arguments;
  va_start(arguments, format);
  int length = std::vsnprintf(destination, kFormatLimit, format, arguments);
  va_end(arguments);
  return length;
}
