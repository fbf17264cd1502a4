#include "platform/win32/held_folders.h"

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

}  // namespace

int HoldFoldersBelow(const char* path, uint32_t trustedLength, wchar_t* wide, HeldFolders* held,
                     uint32_t* linkLength) {
  held->count = 0;
  ToWidePath(path, wide);
  // The long-path prefix, when ToWidePath put one in front, comes before the
  // trusted part too.
  int prefixUnits = lstrlenW(wide) - (MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0) - 1);
  int start = prefixUnits + MultiByteToWideChar(CP_UTF8, 0, path, static_cast<int>(trustedLength), nullptr, 0);
  if (wide[start] == 0) return kFoldersFailed;
  // A component ends at a separator that follows no other one.
  for (int end = start + 1; wide[end] != 0; ++end) {
    if (!IsWideSeparator(wide[end]) || IsWideSeparator(wide[end - 1])) continue;
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
    if (found != kFoldersHeld) return found;
  }
  return kFoldersHeld;
}

void ReleaseFolders(HeldFolders* held) {
  while (held->count > 0) CloseHandle(held->handles[--held->count]);
}
