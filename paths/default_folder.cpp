#include "paths/default_folder.h"

#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/directories.h"
#include "platform/system.h"
#include "base/messages.h"

namespace {

// Both limits count UTF-16 units, as the platform's own folder limit does;
// the candidate's buffer holds them in UTF-8, with the separator and "TEMP"
// behind the Windows directory.
const uint32_t kCandidateSize = kTargetFolderSize;
const uint32_t kEnvironmentValueUnits = 260;
const uint32_t kWindowsDirectoryUnits = 249;

// True when the system gave a text (`length` as it answered) that fits the
// candidate's buffer and has at most `units` units. A longer one is passed
// over rather than cut: a cut folder is another folder.
bool ReadWithin(uint32_t length, const char* buffer, uint32_t units) {
  return length != 0 && length < kCandidateSize && Utf16Length(buffer) <= units;
}

// Appends `count` bytes to the expansion in `buffer` at `*length`; false
// when they would not fit with the terminator.
bool Append(char* buffer, uint32_t* length, const char* bytes, uint32_t count) {
  if (*length + count >= kTargetFolderSize) return false;
  CopyBytes(buffer + *length, bytes, count);
  *length += count;
  return true;
}

// The value of the variable named by the `count` bytes at `name`, appended.
bool AppendVariable(char* buffer, uint32_t* length, const char* name, uint32_t count) {
  char variable[kTargetFolderSize];
  char value[kTargetFolderSize];
  CopyBytes(variable, name, count);
  variable[count] = 0;
  uint32_t valueLength = SysGetEnvironmentVariable(variable, value, kTargetFolderSize);
  if (valueLength == 0 || valueLength >= kTargetFolderSize) return false;
  return Append(buffer, length, value, valueLength);
}

const char* FindPercent(const char* text) {
  while (*text != 0 && *text != '%') ++text;
  return *text == '%' ? text : nullptr;
}

bool SameText(const char* first, const char* second) {
  return CompareBytes(first, second, TextLength(first) + 1) == 0;
}

}  // namespace

bool DefaultFolder(char* destination) {
  char candidate[kCandidateSize];
  if (!FolderFromEnvironment("TMP", candidate) && !FolderFromEnvironment("TEMP", candidate) &&
      !WindowsTempFolder(candidate)) {
    return false;
  }
  StripTrailingSeparator(candidate);
  CopyText(destination, candidate, kTargetFolderSize);
  return true;
}

bool FolderFromEnvironment(const char* name, char* buffer) {
  uint32_t length = SysGetEnvironmentVariable(name, buffer, kCandidateSize);
  return ReadWithin(length, buffer, kEnvironmentValueUnits) && buffer[0] != 0;
}

bool WindowsTempFolder(char* buffer) {
  uint32_t length = SysGetWindowsDirectory(buffer, kCandidateSize);
  if (!ReadWithin(length, buffer, kWindowsDirectoryUnits)) return false;
  return EnsureTempSubfolder(buffer);
}

bool EnsureTempSubfolder(char* buffer) {
  AppendSeparator(buffer);
  uint32_t length = TextLength(buffer);
  CopyText(buffer + length, MessageText(kMessageTempFolder), kCandidateSize - length);
  switch (KindOfPath(buffer)) {
    case PathKind::kNothing: return CreateFolder(buffer);
    case PathKind::kFolder: return true;
    // Taken only where it leads to a folder: one to a file is no folder, and
    // one to nothing would have the pass make its folder wherever it points.
    case PathKind::kLink: return SysLeadsToFolder(buffer) != 0;
    default: return false;
  }
}

// A buffer of kTargetFolderSize bytes holds at most 260 units' worth of
// UTF-8 (three bytes a unit at most), so a result that overflows it is too
// long as well; one that fits is still counted in units.
bool ExpandFolderVariables(const char* text, char* destination) {
  uint32_t length = 0;
  const char* cursor = text;
  while (*cursor != 0) {
    const char* partner = cursor[0] == '%' ? FindPercent(cursor + 1) : nullptr;
    bool fits;
    if (partner == nullptr) {
      fits = Append(destination, &length, cursor, 1);
      cursor += 1;
    } else {
      uint32_t nameLength = static_cast<uint32_t>(partner - cursor - 1);
      fits = nameLength == 0 ? Append(destination, &length, "%", 1)
                             : AppendVariable(destination, &length, cursor + 1, nameLength);
      cursor = partner + 1;
    }
    if (!fits) return false;
  }
  destination[length] = 0;
  return Utf16Length(destination) <= kTargetFolderUnits;
}

void ExpandConfiguredFolder() {
  OutputPathsState& paths = g_outputPaths;
  if (paths.configuredFolder[0] == 0 || !SameText(paths.targetFolder, paths.configuredFolder)) return;
  char expanded[kTargetFolderSize];
  paths.configuredFolderUnexpanded = !ExpandFolderVariables(paths.configuredFolder, expanded);
  if (!paths.configuredFolderUnexpanded) CopyText(paths.targetFolder, expanded, kTargetFolderSize);
}

bool TargetFolderUnexpanded() {
  return g_outputPaths.configuredFolderUnexpanded && SameText(g_outputPaths.targetFolder, g_outputPaths.configuredFolder);
}
