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
