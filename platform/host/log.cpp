#include "platform/log.h"

#include <cstdio>
#include <ctime>

#include "platform/host/host_paths.h"

void SysAppendLogLine(const char* path, const char* text) {
  std::FILE* file = std::fopen(HostPathFromWindows(path).c_str(), "ab");
  if (file == nullptr) return;
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S ", &local);
  std::fprintf(file, "%s%s\r\n", stamp, text);
  std::fclose(file);
}
