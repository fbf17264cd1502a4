#include "paths/output_paths.h"

#include "paths/entry_name.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/directories.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/exit_codes.h"
#include "base/boxes.h"
#include "base/messages.h"
#include "base/progress.h"

OutputPathsState g_outputPaths;

void ResetOutputPaths() {
  FillBytes(g_outputPaths.targetFolder, 0, sizeof(g_outputPaths.targetFolder));
  FillBytes(g_outputPaths.configuredFolder, 0, sizeof(g_outputPaths.configuredFolder));
  g_outputPaths.configuredFolderUnexpanded = false;
  g_outputPaths.overwriteSetting = false;
  g_outputPaths.checkedFolder[0] = 0;
  g_outputPaths.passRunning = false;
}

void BeginPassFolders() {
  g_outputPaths.checkedFolder[0] = 0;
  g_outputPaths.passRunning = true;
  SysBeginPassFolders();
}

void EndPassFolders() {
  g_outputPaths.checkedFolder[0] = 0;
  g_outputPaths.passRunning = false;
  SysEndPassFolders();
}

namespace {

const uint32_t kWorkPathSize = kPathBufferSize;  // the target (780 bytes at most), a separator and a name (600)


// Appends `text` at the end of `path`, a buffer of kWorkPathSize bytes.
void AppendText(char* path, const char* text) {
  uint32_t length = TextLength(path);
  CopyText(path + length, text, kWorkPathSize - length);
}

// Drops the trailing dots and blanks of every component of `name`, in place,
// as Windows drops them from the last component of a short path. Done here,
// every component lands alike at every length: the long form of the file
// calls keeps them, and makes names Windows' own tools cannot open or delete;
// the plain calls keep a folder part's blanks, so "e \f.txt" would fail after
// "e" is made. "." stays; CheckEntryName has refused every other component
// that would lose all its characters.
void DropTrailingDotsAndBlanks(char* name) {
  char* kept = name;
  char* component = name;  // where the component being copied starts in `kept`
  for (const char* read = name;; ++read) {
    char c = *read;
    if (c == 0 || IsPathSeparator(c)) {
      bool currentFolder = kept - component == 1 && component[0] == '.';
      while (!currentFolder && kept > component && (kept[-1] == '.' || kept[-1] == ' ')) --kept;
      *kept++ = c;
      if (c == 0) return;
      component = kept;
    } else {
      *kept++ = c;
    }
  }
}

// Puts the name under the target folder in `path`, its components without
// trailing dots and blanks. A file entry's name loses one leading separator;
// a folder entry's name is taken as it is (an empty component is passed over
// by the walk). Without a target folder every
// leading separator goes, so the name stays relative. A result that would not
// fit the name buffer is refused before anything is created.
void JoinUnderTarget(char* path, const char* name, bool dropOneSeparator) {
  path[0] = 0;
  if (g_outputPaths.targetFolder[0] != 0) {
    CopyText(path, g_outputPaths.targetFolder, kTargetFolderSize);
    AppendSeparator(path);
    if (dropOneSeparator && IsPathSeparator(name[0])) ++name;
  } else {
    while (IsPathSeparator(*name)) ++name;
  }
  uint32_t nameStart = TextLength(path);
  AppendText(path, name);
  DropTrailingDotsAndBlanks(path + nameStart);
  if (Utf16Length(path) > kPathUnitsLimit) FatalError(MessageText(kMessageNameTooLong));
}

// A folder or file that could not be made is a write error; every other
// refusal of a path is a failure of its own kind.
[[noreturn]] void FailWithPath(int message, const char* path) {
  SysFormat(g_formatBuffer, MessageText(message), path);
  bool writeError = message == kMessageFolderFailed || message == kMessageCannotCreate;
  FatalErrorWithExitCode(writeError ? kExitReadWrite : kExitFailure, g_formatBuffer);
}

// A path on a drive letter must name a usable drive; the message names the
// letter alone.
void RequireUsableDrive(char* path) {
  if (IsUsableDrive(path)) return;
  path[1] = 0;
  FailWithPath(kMessageInvalidDrive, path);
}

// Where the walk over the components starts: behind the server and share of
// a network path (neither can be created), then behind a leading separator.
char* WalkStart(char* path) {
  char* position = path;
  if (IsPathSeparator(position[0]) && IsPathSeparator(position[1])) {
    position += 2;
    while (*position != 0 && !IsPathSeparator(*position)) ++position;  // server
    if (*position != 0) ++position;
    while (*position != 0 && !IsPathSeparator(*position)) ++position;  // share
  }
  if (IsPathSeparator(*position)) ++position;
  return position;
}

// The link that `path` leads through, up to `linkLength`, ends the pass.
[[noreturn]] void FailWithLink(const char* path, uint32_t linkLength) {
  char link[kWorkPathSize];
  CopyText(link, path, linkLength + 1);
  FailWithPath(kMessageLink, link);
}

// Makes the folder at `path`, below the target folder: through no link, even
// one swapped in for a folder on the way since the walk looked at it.
void MakeFolderBelowTarget(const char* path) {
  uint32_t linkLength = 0;
  int made = SysCreateDirectoryBelow(path, TextLength(g_outputPaths.targetFolder), &linkLength);
  if (made == kFolderLink) FailWithLink(path, linkLength);
  if (made == 0) FailWithPath(kMessageFolderFailed, path);
}

// Creates the folder that `path` names unless something is there already. A
// bare drive (C:) is never created. Below the target folder a link is
// refused: where it leads was never chosen by the user, and a link planted in
// a shared folder would carry the files anywhere.
void MakeFolderIfMissing(const char* path, bool belowTarget) {
  PathKind kind = KindOfPath(path);
  if (kind == PathKind::kLink && belowTarget) FailWithPath(kMessageLink, path);
  if (kind != PathKind::kNothing) return;
  if (path[1] == ':' && path[2] == 0) return;
  if (belowTarget) {
    MakeFolderBelowTarget(path);
  } else if (!CreateFolder(path)) {
    FailWithPath(kMessageFolderFailed, path);
  }
}

// The length of the part of `path` the checked folder covers: the whole
// checked folder when `path` goes through it, else its components up to the
// first that differs; 0 when nothing is checked.
uint32_t CheckedLength(const char* path) {
  const char* checked = g_outputPaths.checkedFolder;
  uint32_t covered = 0;
  uint32_t at = 0;
  for (;; ++at) {
    bool checkedEnds = checked[at] == 0 || IsPathSeparator(checked[at]);
    bool pathEnds = path[at] == 0 || IsPathSeparator(path[at]);
    if (checkedEnds && pathEnds && at > 0) covered = at;  // a whole component in common
    if (checked[at] == 0 || path[at] == 0 || checked[at] != path[at]) return covered;
  }
}

// Remembers the folders of `path` up to `end` as checked.
void RememberCheckedFolder(const char* path, const char* end) {
  uint32_t length = static_cast<uint32_t>(end - path);
  CopyBytes(g_outputPaths.checkedFolder, path, length);
  g_outputPaths.checkedFolder[length] = 0;
}

}  // namespace

bool ResolveOutputPath(const char* name, char* path) {
  CheckEntryName(name);
  uint32_t length = TextLength(name);
  bool isFolder = IsPathSeparator(name[length - 1]);
  char joined[kWorkPathSize];
  JoinUnderTarget(joined, name, !isFolder);
  for (char* p = joined; *p != 0; ++p) {
    if (*p == '/') *p = '\\';
  }
  CopyText(path, joined, kPathBufferSize);
  return isFolder;
}

void CreateFolders(const char* outputPath) {
  char path[kWorkPathSize];
  CopyText(path, outputPath, kWorkPathSize);
  // Folders this pass made or found already are not looked at again, nor
  // the drive they are on.
  uint32_t checkedLength = CheckedLength(path);
  if (checkedLength == 0 && path[0] != 0 && path[1] == ':') RequireUsableDrive(path);
  const uint32_t targetLength = TextLength(g_outputPaths.targetFolder);  // the target may be a link: the user chose it
  // A target folder that is there needs none of the folders above it looked
  // at, one lookup each: what is below it is walked as before.
  if (checkedLength < targetLength && targetLength > 0 && KindOfPath(g_outputPaths.targetFolder) != PathKind::kNothing) {
    checkedLength = targetLength;
  }

  // The last component of a file entry is the file itself; behind a folder
  // entry's final separator it is empty, so every folder of the entry is made.
  char* last = FileNamePart(path);
  char* position = WalkStart(path);
  while (position < last) {
    char* end = position;
    while (*end != 0 && !IsPathSeparator(*end)) ++end;
    if (end != position && static_cast<uint32_t>(end - path) > checkedLength) {
      // "a\\b": nothing to make between two separators
      *end = 0;
      MakeFolderIfMissing(path, static_cast<uint32_t>(position - path) >= targetLength);
    }
    *end = '\\';
    position = end + 1;
  }
  if (g_outputPaths.passRunning && last > path) RememberCheckedFolder(path, last - 1);
}

FileHandle CreateOutputFileBelowTarget(const char* path) {
  uint32_t linkLength = 0;
  FileHandle file = SysCreateBelow(path, TextLength(g_outputPaths.targetFolder), &linkLength);
  if (file == kFileLink) FailWithLink(path, linkLength);
  if (file == kFileError) FailWithPath(kMessageCannotCreate, path);
  return file;
}

void DeleteOutputFileBelowTarget(const char* path) { SysDeleteBelow(path, TextLength(g_outputPaths.targetFolder)); }

bool ConfirmOverwrite(const char* path) {
  PathKind kind = KindOfPath(path);
  if (kind == PathKind::kLink) FailWithPath(kMessageLink, path);  // it would be written through
  if (g_outputPaths.overwriteSetting || kind == PathKind::kNothing) return true;
  ShowProgressBeforeQuestion();
  char question[kFormatLimit];
  SysFormat(question, MessageText(kMessageOverwrite), path);
  int answer = ShowBox(g_mainDialog, question, kStubCaption, kBoxYesNoCancel);
  if (answer == kAnswerCancel) CancelPass();
  return answer == kAnswerYes;
}
