#include "platform/host/host_paths.h"

#include <cctype>
#include <map>

namespace {

std::map<char, std::string>& DriveMap() {
  static std::map<char, std::string> drives;
  return drives;
}

}  // namespace

void HostMapDrive(char letter, const std::string& folder) {
  char key = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  if (folder.empty()) {
    DriveMap().erase(key);
  } else {
    DriveMap()[key] = folder;
  }
}

std::string HostPathFromWindows(const char* path) {
  std::string result;
  const char* rest = path;
  if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    char key = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    auto found = DriveMap().find(key);
    result = found != DriveMap().end() ? found->second : std::string("/nonexistent-drive-") + key;
    rest = path + 2;
    if (*rest != '\\' && *rest != '/' && *rest != 0) result += '/';
  }
  for (; *rest != 0; ++rest) result += (*rest == '\\') ? '/' : *rest;
  return result;
}
