#include "paths/path_routines.h"

#include "platform/bytes.h"
#include "platform/directories.h"
#include "base/run_facts.h"

const char* FileNamePart(const char* path) {
  const char* name = path;
  if (path[0] == 0) return name;
  for (const char* p = path + 1; *p != 0; ++p) {
    if (IsPathSeparator(*p)) name = p + 1;
  }
  return name;
}

PathKind KindOfPath(const char* path) {
  FoundItem found;
  if (SysFindItem(path, &found) == 0) return PathKind::kNothing;
  if ((found.attributes & kAttributeReparsePoint) != 0) return PathKind::kLink;
  return (found.attributes & kAttributeFolder) != 0 ? PathKind::kFolder : PathKind::kFile;
}

void CutToUnits(char* text, uint32_t units) {
  uint32_t used = 0;
  uint32_t at = 0;
  while (text[at] != 0) {
    uint32_t needed = Utf16UnitsStartedBy(text[at]);
    if (used + needed > units) break;
    used += needed;
    ++at;
    while (Utf16UnitsStartedBy(text[at]) == 0) ++at;  // its continuation bytes
  }
  text[at] = 0;
}

bool CreateFolder(const char* path) { return SysCreateDirectory(path) != 0; }

void AppendSeparator(char* text) {
  uint32_t length = TextLength(text);
  if (length != 0 && IsPathSeparator(text[length - 1])) return;
  text[length] = '\\';
  text[length + 1] = 0;
}

void StripTrailingSeparator(char* text) {
  uint32_t length = TextLength(text);
  if (length <= 2 || text[length - 1] != '\\') return;
  if (text[length - 2] == '\\' || text[length - 2] == ':') return;
  text[length - 1] = 0;
}

bool IsUsableDrive(const char* path) {
  // 0 means the type is unknown, 1 that there is no such root.
  char root[4] = {path[0], ':', '\\', 0};
  return SysGetDriveType(root) > kDriveNoRootDir;
}

void LongModuleName(char* path) {
  FoundItem found;
  if (SysFindItem(path, &found) == 0) return;
  char* name = FileNamePart(path);
  uint32_t room = kExecutablePathSize - static_cast<uint32_t>(name - path);
  // A cut name would name another file: better the short name, which works.
  if (TextLength(found.name) >= room) return;
  CopyText(name, found.name, room);
}
