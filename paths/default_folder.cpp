#include "paths/default_folder.h"

#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/directories.h"
#include "platform/system.h"
#include "base/messages.h"

namespace {

const uint32_t kCandidateSize = 264;
const uint32_t kEnvironmentValueSize = 261;
const uint32_t kWindowsDirectorySize = 250;

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
  uint32_t length = SysGetEnvironmentVariable(name, buffer, kEnvironmentValueSize);
  // A value that does not fit was not read: pass it over.
  if (length == 0 || length >= kEnvironmentValueSize) return false;
  return buffer[0] != 0;
}

bool WindowsTempFolder(char* buffer) {
  uint32_t length = SysGetWindowsDirectory(buffer, kWindowsDirectorySize);
  if (length == 0 || length >= kWindowsDirectorySize) return false;
  return EnsureTempSubfolder(buffer);
}

bool EnsureTempSubfolder(char* buffer) {
  AppendSeparator(buffer);
  uint32_t length = TextLength(buffer);
  CopyText(buffer + length, MessageText(kMessageTempFolder), kCandidateSize - length);
  switch (KindOfPath(buffer)) {
    case PathKind::kNothing: return CreateFolder(buffer);
    case PathKind::kFolder: return true;
    case PathKind::kLink: return true;  // the system's own choice, like a target folder that is a link
    default: return false;
  }
}
