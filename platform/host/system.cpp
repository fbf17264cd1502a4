// Host side of the system calls: the real environment with test overrides,
// the program's file name, and the lead bytes of the double-byte code pages.
#include "platform/system.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "platform/host/host_system.h"

namespace {

struct SystemSettings {
  std::map<std::string, std::optional<std::string>> environment;
  std::optional<std::string> windowsDirectory;
  std::optional<std::string> moduleFileName;
  uint32_t codePage = 1252;
  uint32_t oemCodePage = 437;
  uint32_t ticks = 0;
  uint32_t tickStep = 0;
};

SystemSettings& Settings() {
  static SystemSettings settings;
  return settings;
}

}  // namespace

void HostSetEnvironment(const char* name, const char* value) {
  Settings().environment[name] = value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

void HostClearEnvironmentOverrides() { Settings().environment.clear(); }

void HostSetWindowsDirectory(const char* folder) {
  Settings().windowsDirectory = folder == nullptr ? std::nullopt : std::optional<std::string>(folder);
}

const char* HostWindowsDirectory() {
  return Settings().windowsDirectory ? Settings().windowsDirectory->c_str() : nullptr;
}

void HostSetClock(uint32_t start, uint32_t step) {
  Settings().ticks = start;
  Settings().tickStep = step;
}

uint32_t SysTickCount() {
  uint32_t now = Settings().ticks;
  Settings().ticks += Settings().tickStep;
  return now;
}

void HostSetCodePage(uint32_t codePage) { Settings().codePage = codePage; }

uint32_t HostCodePage() { return Settings().codePage; }

void HostSetOemCodePage(uint32_t codePage) { Settings().oemCodePage = codePage; }

uint32_t HostOemCodePage() { return Settings().oemCodePage; }

void HostSetModuleFileName(const char* path) {
  Settings().moduleFileName = path == nullptr ? std::nullopt : std::optional<std::string>(path);
}

uint32_t SysGetEnvironmentVariable(const char* name, char* buffer, uint32_t size) {
  std::optional<std::string> value;
  auto overridden = Settings().environment.find(name);
  if (overridden != Settings().environment.end()) {
    value = overridden->second;
  } else if (const char* real = std::getenv(name)) {
    value = std::string(real);
  }
  if (!value || value->empty()) return 0;
  if (value->size() + 1 > size) return static_cast<uint32_t>(value->size() + 1);
  std::memcpy(buffer, value->c_str(), value->size() + 1);
  return static_cast<uint32_t>(value->size());
}

uint32_t SysGetModuleFileName(char* buffer, uint32_t size) {
  if (size == 0) return 0;
  std::string path;
  if (Settings().moduleFileName) {
    path = *Settings().moduleFileName;
  } else {
    char real[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", real, sizeof real - 1);
    if (length <= 0) return 0;
    path.assign(real, static_cast<size_t>(length));
  }
  if (path.size() >= size) return 0;  // refused like the platform
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<uint32_t>(path.size());
}

