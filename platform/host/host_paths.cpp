#include "platform/host/host_paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <map>

#include "platform/host/host_pass_folders.h"

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

// Windows folds case for letters beyond ASCII too: here those of the
// single-byte Western code page, in which the host side's names are written.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  return c;
}

bool SameNameOnWindows(const std::string& first, const std::string& second) {
  if (first.size() != second.size()) return false;
  for (size_t i = 0; i < first.size(); ++i) {
    if (FoldCase(static_cast<unsigned char>(first[i])) != FoldCase(static_cast<unsigned char>(second[i]))) return false;
  }
  return true;
}

// Windows drops trailing dots and blanks from a component ("a.txt. " is
// "a.txt"); "." and ".." keep theirs.
std::string WithoutTrailingDotsAndBlanks(const std::string& component) {
  if (component == "." || component == "..") return component;
  size_t end = component.size();
  while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
  return component.substr(0, end);
}

// The name under which the folder open as `folder` holds `component` as
// Windows would find it: the component itself when it exists there, else an
// entry that differs only in case, else the component (a new name).
std::string ExistingSpelling(int folder, const std::string& component) {
  struct stat status;
  if (component == "." || component == ".." ||
      ::fstatat(folder, component.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
    return component;
  }
  int listingHandle = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listingHandle < 0) return component;
  DIR* listing = ::fdopendir(listingHandle);
  if (listing == nullptr) {
    ::close(listingHandle);
    return component;
  }
  std::string found = component;
  while (dirent* entry = ::readdir(listing)) {
    if (SameNameOnWindows(entry->d_name, component)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(listing);
  return found;
}

// The components behind the mapped root, each spelt as Windows would find it.
// The walk holds each folder open and looks up the next component in it, so
// that a path of n components costs n lookups, not n path walks of up to n
// components each (a deep folder being made looks up every prefix of its
// path). Below a component that is not a folder, nothing exists: the rest is
// taken as it is, as the lookups would find it.
std::string FollowWindowsNames(std::string result, const char* rest) {
  // A path whose every component exists as written is spelt as it is: one
  // look at the whole path instead of one per component.
  std::string asWritten = result;
  for (const char* cursor = rest; *cursor != 0;) {
    if (IsSeparator(*cursor)) {
      asWritten += '/';
      ++cursor;
    } else {
      asWritten += WithoutTrailingDotsAndBlanks(TakeComponent(cursor));
    }
  }
  struct stat status;
  if (!asWritten.empty() && ::lstat(asWritten.c_str(), &status) == 0) return asWritten;
  bool absolute = !result.empty() || IsSeparator(*rest);
  std::string base = result.empty() ? (absolute ? "/" : ".") : result;
  int folder = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  while (*rest != 0) {
    if (IsSeparator(*rest)) {
      result += '/';
      ++rest;
      continue;
    }
    std::string component = WithoutTrailingDotsAndBlanks(TakeComponent(rest));
    if (folder < 0) {
      result += component;
      continue;
    }
    std::string spelt = ExistingSpelling(folder, component);
    result += spelt;
    int next = ::openat(folder, spelt.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(folder);
    folder = next;
  }
  if (folder >= 0) ::close(folder);
  return result;
}

// The same walk in a pass, from the folders' indexes: no folder is opened
// but to list it the first time. A folder that cannot be listed (nothing
// there, a file, no right to read it) leaves the component as it is, as the
// walk above does.
std::string FollowIndexedNames(std::string result, const char* rest) {
  std::string folderKey = HostFolderKey(result.empty() && IsSeparator(*rest) ? "/" : result);
  while (*rest != 0) {
    if (IsSeparator(*rest)) {
      result += '/';
      ++rest;
      continue;
    }
    std::string component = WithoutTrailingDotsAndBlanks(TakeComponent(rest));
    std::string spelt;
    if (!HostIndexedSpelling(folderKey, component, &spelt)) spelt = component;
    result += spelt;
    folderKey = HostJoinFolderKey(folderKey, spelt);
  }
  return result;
}

}  // namespace

std::string HostSpellingIn(int folder, const std::string& folderKey, const std::string& component) {
  std::string trimmed = WithoutTrailingDotsAndBlanks(component);
  std::string spelt;
  if (HostIndexedSpelling(folderKey, trimmed, &spelt)) return spelt;
  return ExistingSpelling(folder, trimmed);
}

namespace {

// The target folder's descriptor, opened as the system follows it; held in
// a pass.
int OpenTrustedFolder(const std::string& key, bool* held) {
  int folder = HostHeldFolder(key);
  *held = folder >= 0;
  if (folder >= 0) return folder;
  folder = ::open(key.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) *held = HostHoldFolder(key, folder);
  return folder;
}

}  // namespace

int HostOpenParentBelow(const char* path, uint32_t trustedLength, HostParentFolder* parent, uint32_t* linkLength) {
  std::string trusted(path, trustedLength);
  std::string key = HostFolderKey(trusted.empty() ? "." : HostPathFromWindows(trusted.c_str()));
  HostHoldBelow(key);
  bool held = false;
  int folder = OpenTrustedFolder(key, &held);
  if (folder < 0) return -1;
  const char* rest = path + trustedLength;
  for (;;) {
    while (IsSeparator(*rest)) ++rest;
    std::string component = TakeComponent(rest);
    if (*rest == 0) {
      parent->fd = folder;
      parent->held = held;
      parent->key = key;
      parent->name = component;
      return folder;
    }
    std::string spelt = HostSpellingIn(folder, key, component);
    std::string nextKey = HostJoinFolderKey(key, spelt);
    // A folder held since the walk first opened it is the folder it
    // checked then, whatever has happened to its name since.
    int next = HostHeldFolder(nextKey);
    if (next >= 0) {
      if (!held) ::close(folder);
      folder = next;
      held = true;
      key = nextKey;
      continue;
    }
    // What is opened is looked at, not the name a second time: that could
    // find the folder swapped back.
    next = ::openat(folder, spelt.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (!held) ::close(folder);
    if (next < 0) return -1;
    struct stat status;
    if (::fstat(next, &status) != 0) status.st_mode = 0;
    if (!S_ISDIR(status.st_mode)) {
      ::close(next);
      if (!S_ISLNK(status.st_mode)) return -1;
      *linkLength = static_cast<uint32_t>(rest - path);
      return kHostFolderLink;
    }
    folder = next;
    key = nextKey;
    held = HostHoldFolder(key, folder);
  }
}

void HostCloseParent(const HostParentFolder& parent) {
  if (!parent.held && parent.fd >= 0) ::close(parent.fd);
}

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
  return HostPassFoldersActive() ? FollowIndexedNames(result, rest) : FollowWindowsNames(result, rest);
}
