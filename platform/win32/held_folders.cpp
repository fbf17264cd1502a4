#include "platform/win32/held_folders.h"

#include "platform/directories.h"

namespace {

bool IsWideSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// Opens the folder `wide` names, or the link there itself. Without
// FILE_SHARE_DELETE no one can rename or remove it while it is held; the
// list access makes the handle count in that share check (one for
// attributes only would not).
HANDLE OpenFolderItself(const wchar_t* wide) {
  return CreateFileW(wide, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

int CheckHeldFolder(HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folder, &info)) return kFoldersFailed;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return kFoldersLink;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? kFoldersHeld : kFoldersFailed;
}

// The folders a pass holds from one item to the next: every item of a
// folder then goes through handles opened once. Held without
// FILE_SHARE_DELETE, none of them can be renamed or removed until the pass
// ends, so none can turn into a link meanwhile.
struct PassFolders {
  bool active;
  HeldFolders held;
  int ends[kMaxHeldFolders];     // where each held folder's path ends in `path`
  wchar_t path[kWideTextUnits];  // the path the held folders were opened for
};
PassFolders g_passFolders;

// The number of leading units `wide` shares with the held folders' path.
int SharedUnits(const wchar_t* wide) {
  int shared = 0;
  while (wide[shared] != 0 && wide[shared] == g_passFolders.path[shared]) ++shared;
  return shared;
}

// Lets the pass's held folders from index `from` on go.
void ReleasePassFoldersFrom(int from) {
  while (g_passFolders.held.count > from) CloseHandle(g_passFolders.held.handles[--g_passFolders.held.count]);
}

}  // namespace

void SysBeginPassFolders() {
  ReleasePassFoldersFrom(0);
  g_passFolders.active = true;
}

void SysEndPassFolders() {
  ReleasePassFoldersFrom(0);
  g_passFolders.active = false;
}

int HoldFoldersBelow(const char* path, uint32_t trustedLength, wchar_t* wide, HeldFolders* held,
                     uint32_t* linkLength) {
  held->count = 0;
  // In a pass the folders go into the pass's own list, which outlives the call.
  const bool inPass = g_passFolders.active;
  if (inPass) held = &g_passFolders.held;
  ToWidePath(path, wide);
  // The long-path prefix, when ToWidePath put one in front, comes before the
  // trusted part too.
  int prefixUnits = lstrlenW(wide) - (MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0) - 1);
  int start = prefixUnits + MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(trustedLength), nullptr, 0);
  if (wide[start] == 0) return kFoldersFailed;
  const int shared = inPass ? SharedUnits(wide) : 0;
  int index = 0;  // of the folder the component names among those held
  // A component ends at a separator that follows no other one.
  for (int end = start + 1; wide[end] != 0; ++end) {
    if (!IsWideSeparator(wide[end]) || IsWideSeparator(wide[end - 1])) continue;
    if (inPass) {
      // Held already for an earlier item, on the same path up to here.
      if (index < held->count && g_passFolders.ends[index] == end && end < shared) {
        ++index;
        continue;
      }
      ReleasePassFoldersFrom(index);
      __builtin_memcpy(g_passFolders.path, wide, (end + 1) * sizeof(wchar_t));
      g_passFolders.path[end + 1] = 0;
      g_passFolders.ends[index] = end;
    }
    ++index;
    if (held->count == kMaxHeldFolders) return kFoldersFailed;
    wchar_t separator = wide[end];
    wide[end] = 0;
    HANDLE folder = OpenFolderItself(wide);
    wide[end] = separator;
    if (folder == INVALID_HANDLE_VALUE) return kFoldersFailed;
    held->handles[held->count++] = folder;
    int found = CheckHeldFolder(folder);
    if (found == kFoldersLink) {
      *linkLength = static_cast<uint32_t>(WideCharToMultiByte(CP_UTF8, 0, wide + prefixUnits, end - prefixUnits,
                                                              nullptr, 0, nullptr, nullptr));
    }
    if (found != kFoldersHeld) {
      // Not kept for the next item: it is no folder, or a link.
      if (inPass) ReleasePassFoldersFrom(held->count - 1);
      return found;
    }
  }
  return kFoldersHeld;
}

void ReleaseFolders(HeldFolders* held) {
  while (held->count > 0) CloseHandle(held->handles[--held->count]);
}
