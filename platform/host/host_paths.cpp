#include "platform/host/host_paths.h"

#include <cctype>
#include <map>

namespace {

struct PathTables {
  std::map<char, std::string> drives;
  std::map<char, uint32_t> driveTypes;
  std::map<std::string, std::string> shares;  // "server\share", lower case
};

PathTables& Tables() {
  static PathTables tables;
  return tables;
}

char DriveKey(char letter) { return static_cast<char>(std::toupper(static_cast<unsigned char>(letter))); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Reads one component of a network path: up to the next separator or the end.
std::string TakeComponent(const char*& cursor) {
  std::string component;
  while (*cursor != 0 && !IsSeparator(*cursor)) component += *cursor++;
  return component;
}

}  // namespace

void HostMapDrive(char letter, const std::string& folder) {
  if (folder.empty()) {
    Tables().drives.erase(DriveKey(letter));
  } else {
    Tables().drives[DriveKey(letter)] = folder;
  }
}

void HostMapShare(const std::string& server, const std::string& share, const std::string& folder) {
  std::string key = Lower(server) + "\\" + Lower(share);
  if (folder.empty()) {
    Tables().shares.erase(key);
  } else {
    Tables().shares[key] = folder;
  }
}

void HostSetDriveType(char letter, uint32_t type) { Tables().driveTypes[DriveKey(letter)] = type; }

uint32_t HostDriveType(char letter) {
  auto typed = Tables().driveTypes.find(DriveKey(letter));
  if (typed != Tables().driveTypes.end()) return typed->second;
  return Tables().drives.count(DriveKey(letter)) != 0 ? 3 : 1;
}

void HostResetPaths() { Tables() = PathTables(); }

std::string HostPathFromWindows(const char* path) {
  std::string result;
  const char* rest = path;
  if (std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    auto found = Tables().drives.find(DriveKey(path[0]));
    result = found != Tables().drives.end() ? found->second
                                             : std::string("/nonexistent-drive-") + DriveKey(path[0]);
    rest = path + 2;
    if (*rest != '\\' && *rest != '/' && *rest != 0) result += '/';
  } else if (IsSeparator(path[0]) && IsSeparator(path[1])) {
    rest = path + 2;
    std::string server = TakeComponent(rest);
    if (IsSeparator(*rest)) ++rest;
    std::string share = TakeComponent(rest);
    auto found = Tables().shares.find(Lower(server) + "\\" + Lower(share));
    result = found != Tables().shares.end() ? found->second : std::string("/nonexistent-share-") + server;
  }
  for (; *rest != 0; ++rest) result += (*rest == '\\') ? '/' : *rest;
  return result;
}
