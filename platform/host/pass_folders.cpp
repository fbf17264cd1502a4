// The per-pass folder index and held folders of the host side (see
// host_pass_folders.h).
#include "platform/host/host_pass_folders.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/directories.h"

namespace {

// Windows folds case for letters beyond ASCII too: here those of the
// single-byte Western code page, in which the host side's names are written.
// The same rule as host_paths' comparison.
unsigned char FoldCase(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 'a' + 'A');
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
  return c;
}

std::string Folded(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return folded;
}

// One folder's names, by their folded form; those sharing one in the order
// the listing gave them, the pass's own after them.
struct FolderIndex {
  bool listable = false;
  std::unordered_map<std::string, std::vector<std::string>> byFolded;
};

// Every held folder is one descriptor: past this many the pass lets them
// all go and opens again what it needs (it works in few folders at a time).
const size_t kMaxHeldFolders = 256;

struct PassFolders {
  bool active = false;
  std::unordered_map<std::string, FolderIndex> indexes;
  // Items found under their exact name in a folder not listed: the folders
  // above the target are each looked at once, never listed.
  std::unordered_set<std::string> present;
  std::unordered_map<std::string, int> held;
  std::string trustedKey;  // the folder the held ones lie below
};

PassFolders& Folders() {
  static PassFolders folders;
  return folders;
}

void ListInto(const std::string& folderKey, FolderIndex* index) {
  int fd = ::open(folderKey.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  index->listable = true;
  while (dirent* entry = ::readdir(listing)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    index->byFolded[Folded(name)].push_back(name);
  }
  ::closedir(listing);
}

FolderIndex& IndexOf(const std::string& folderKey) {
  auto found = Folders().indexes.find(folderKey);
  if (found != Folders().indexes.end()) return found->second;
  FolderIndex& index = Folders().indexes[folderKey];
  ListInto(folderKey, &index);
  return index;
}

void CloseHeld() {
  for (auto& entry : Folders().held) ::close(entry.second);
  Folders().held.clear();
}

}  // namespace

std::string HostJoinFolderKey(const std::string& folderKey, const std::string& name) {
  if (name.empty() || name == ".") return folderKey;
  if (folderKey == ".") return name;
  if (folderKey == "/") return "/" + name;
  return folderKey + "/" + name;
}

std::string HostFolderKey(const std::string& hostPath) {
  std::string key = !hostPath.empty() && hostPath[0] == '/' ? "/" : ".";
  size_t start = 0;
  while (start <= hostPath.size()) {
    size_t slash = hostPath.find('/', start);
    if (slash == std::string::npos) slash = hostPath.size();
    key = HostJoinFolderKey(key, hostPath.substr(start, slash - start));
    start = slash + 1;
  }
  return key;
}

bool HostPassFoldersActive() { return Folders().active; }

bool HostIndexedSpelling(const std::string& folderKey, const std::string& component, std::string* spelling) {
  if (!Folders().active) return false;
  if (component == "." || component == "..") {
    *spelling = component;
    return true;
  }
  if (Folders().indexes.count(folderKey) == 0) {
    std::string itemKey = HostJoinFolderKey(folderKey, component);
    struct stat status;
    if (Folders().present.count(itemKey) != 0 || ::lstat(itemKey.c_str(), &status) == 0) {
      Folders().present.insert(itemKey);
      *spelling = component;
      return true;
    }
  }
  // Not there as written: the folder's names tell whether it is there in
  // another case.
  FolderIndex& index = IndexOf(folderKey);
  if (!index.listable) return false;
  *spelling = component;
  auto found = index.byFolded.find(Folded(component));
  if (found == index.byFolded.end()) return true;
  for (const std::string& name : found->second) {
    if (name == component) return true;  // the name itself is there
  }
  *spelling = found->second.front();
  return true;
}

void HostNoteCreated(const std::string& folderKey, const std::string& name, bool isFolder) {
  if (!Folders().active) return;
  // A folder the pass made holds nothing yet; one looked into before it
  // existed is listed again when next needed.
  std::string itemKey = HostJoinFolderKey(folderKey, name);
  Folders().indexes.erase(itemKey);
  if (isFolder) Folders().indexes[itemKey].listable = true;
  auto found = Folders().indexes.find(folderKey);
  if (found == Folders().indexes.end()) return;  // listed when first needed
  std::vector<std::string>& names = found->second.byFolded[Folded(name)];
  for (const std::string& known : names) {
    if (known == name) return;
  }
  names.push_back(name);
}

void HostNoteRemoved(const std::string& folderKey, const std::string& name) {
  if (!Folders().active) return;
  Folders().present.erase(HostJoinFolderKey(folderKey, name));
  auto found = Folders().indexes.find(folderKey);
  if (found == Folders().indexes.end()) return;
  auto folded = found->second.byFolded.find(Folded(name));
  if (folded == found->second.byFolded.end()) return;
  std::vector<std::string>& names = folded->second;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == name) {
      names.erase(names.begin() + static_cast<long>(i));
      break;
    }
  }
  if (names.empty()) found->second.byFolded.erase(folded);
}

void HostNoteCreatedPath(const std::string& hostPath, bool isFolder) {
  std::string key = HostFolderKey(hostPath);
  size_t slash = key.find_last_of('/');
  if (slash == std::string::npos) {
    HostNoteCreated(".", key, isFolder);
  } else {
    HostNoteCreated(slash == 0 ? "/" : key.substr(0, slash), key.substr(slash + 1), isFolder);
  }
}

void HostHoldBelow(const std::string& trustedKey) {
  if (trustedKey == Folders().trustedKey) return;
  CloseHeld();
  Folders().trustedKey = trustedKey;
}

int HostHeldFolder(const std::string& folderKey) {
  auto found = Folders().held.find(folderKey);
  return found == Folders().held.end() ? -1 : found->second;
}

bool HostHoldFolder(const std::string& folderKey, int fd) {
  if (!Folders().active) return false;
  if (Folders().held.size() >= kMaxHeldFolders) CloseHeld();
  int& slot = Folders().held[folderKey];
  if (slot > 0 && slot != fd) ::close(slot);
  slot = fd;
  return true;
}

void HostEndPassFolders() {
  CloseHeld();
  Folders() = PassFolders();
}

void SysBeginPassFolders() {
  HostEndPassFolders();
  Folders().active = true;
}

void SysEndPassFolders() { HostEndPassFolders(); }
