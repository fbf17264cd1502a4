// Host side of the folder calls: real Linux folders under the paths that
// host_paths maps, with the platform's answers for drives and lookups.
#include "platform/directories.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>

#include "platform/host/host_calls.h"
#include "platform/host/host_paths.h"
#include "platform/host/host_system.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The platform's convention for texts returned into a caller's buffer.
uint32_t ReturnText(const std::string& text, char* buffer, uint32_t size) {
  if (text.size() + 1 > size) return static_cast<uint32_t>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return static_cast<uint32_t>(text.size());
}

}  // namespace

int SysFindItem(const char* path, FoundItem* found) {
  size_t length = std::strlen(path);
  // FindFirstFileA finds nothing for "dir\" or for a root such as "C:\".
  if (length == 0 || IsSeparator(path[length - 1])) return 0;
  std::string hostPath = HostPathFromWindows(path);
  // The lookup sees a link itself, as the platform does, dangling or not; a
  // link to a folder also carries the folder attribute.
  struct stat status;
  if (::lstat(hostPath.c_str(), &status) != 0) return 0;
  if (S_ISLNK(status.st_mode)) {
    struct stat target;
    bool toFolder = ::stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    found->attributes = kAttributeReparsePoint | (toFolder ? kAttributeFolder : 0);
  } else {
    found->attributes = S_ISDIR(status.st_mode) ? kAttributeFolder : 0x20;  // FILE_ATTRIBUTE_ARCHIVE
  }
  size_t slash = hostPath.find_last_of('/');
  std::string name = slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
  if (name.size() >= kFoundNameSize) name.resize(kFoundNameSize - 1);
  std::memcpy(found->name, name.c_str(), name.size() + 1);
  return 1;
}

int SysLeadsToFolder(const char* path) {
  struct stat status;
  return ::stat(HostPathFromWindows(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? 1 : 0;
}

int SysCreateDirectory(const char* path) {
  std::string hostPath = HostPathFromWindows(path);
  if (g_hostCalls.makeFolder(hostPath.c_str(), 0755) != 0) return 0;
  HostNoteCreatedPath(hostPath, true);
  return 1;
}

int SysCreateDirectoryBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength) {
  HostParentFolder parent;
  int folder = HostOpenParentBelow(path, trustedLength, &parent, linkLength);
  if (folder == kHostFolderLink) return kFolderLink;
  if (folder < 0) return 0;
  std::string spelt = HostSpellingIn(folder, parent.key, parent.name);
  int made = g_hostCalls.makeFolderAt(folder, spelt.c_str(), 0755) == 0 ? 1 : 0;
  if (made != 0) HostNoteCreated(parent.key, spelt, true);
  HostCloseParent(parent);
  return made;
}

uint32_t SysGetDriveType(const char* root) { return HostDriveType(root[0]); }

uint32_t SysGetCurrentDirectory(char* buffer, uint32_t size) {
  char current[PATH_MAX];
  if (::getcwd(current, sizeof current) == nullptr) return 0;
  return ReturnText(current, buffer, size);
}

uint32_t SysGetWindowsDirectory(char* buffer, uint32_t size) {
  const char* folder = HostWindowsDirectory();
  if (folder == nullptr) return 0;
  return ReturnText(folder, buffer, size);
}
