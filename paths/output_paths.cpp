#include "paths/output_paths.h"

#include "archive/entry.h"
#include "inflate/output.h"
#include "paths/entry_name.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/format.h"
#include "platform/window.h"
#include "stub/abort.h"
#include "stub/resources.h"
#include "stub/settings.h"

char g_targetFolder[kTargetFolderSize];
int g_overwriteSetting;

namespace {

const uint32_t kWorkPathSize = 520;     // target folder, separator and the longest name fit
const uint32_t kQuestionSize = 320;

const int kMessageOverwrite = 16;       // "File %s already exists.  Overwrite file?"
const int kMessageCannotCreate = 32;    // "Could not create "%s" - unzip operation cancelled."
const int kMessageBadDrive = 45;        // "Drive %s is not a valid drive, unzip operation cancelled."
const int kMessageNameTooLong = 50;     // "Zip contains filenames longer than are allowed by\n..."

bool EndsWithSeparator(const char* text) {
  uint32_t length = TextLength(text);
  return length != 0 && IsPathSeparator(text[length - 1]);
}

// Appends `text` at the end of `path`, a buffer of kWorkPathSize bytes.
void AppendText(char* path, const char* text) {
  uint32_t length = TextLength(path);
  CopyText(path + length, text, kWorkPathSize - length);
}

// Puts the name under the target folder in `path`. A file entry's name loses
// one leading separator; a folder entry's name is taken as it is (an empty
// component is passed over by the walk). Without a target folder every
// leading separator goes, so the name stays relative. A result that would not
// fit the name buffer is refused before anything is created.
void JoinUnderTarget(char* path, const char* name, bool dropOneSeparator) {
  path[0] = 0;
  if (g_targetFolder[0] != 0) {
    CopyText(path, g_targetFolder, kTargetFolderSize);
    AppendSeparator(path);
    if (dropOneSeparator && IsPathSeparator(name[0])) ++name;
  } else {
    while (IsPathSeparator(*name)) ++name;
  }
  AppendText(path, name);
  if (TextLength(path) >= kNameBufferSize) FatalError(MessageText(kMessageNameTooLong));
}

[[noreturn]] void FailWithPath(int message, const char* path) {
  SysFormat(g_formatBuffer, MessageText(message), path);
  FatalError(g_formatBuffer);
}

// A path on a drive letter must name a usable drive; the message names the
// letter alone.
void RequireUsableDrive(char* path) {
  if (CheckDrive(path) != 0) return;
  path[1] = 0;
  FailWithPath(kMessageBadDrive, path);
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

// Creates the folder that `path` names unless something is there already. A
// bare drive (C:) is never created.
void MakeFolderIfMissing(const char* path) {
  if (PathExists(path, nullptr) == 0) return;
  if (path[1] == ':' && path[2] == 0) return;
  if (CreateFolder(path) != 0) FailWithPath(kMessageCannotCreate, path);
}

void UpdateMeterNow() {
  uint32_t position = MeterPercent(g_bytesDone, g_settings.totalSize);
  SysSendDlgItemMessage(g_mainDialog, kMeterControl, kMeterSetPosition, position, 0);
  SysInvalidateControl(g_mainDialog, kMeterControl);
  SysUpdateWindow(g_mainDialog);
}

}  // namespace

int BuildOutputPath() {
  CheckEntryName();
  char path[kWorkPathSize];
  JoinUnderTarget(path, g_nameBuffer, true);
  for (char* p = path; *p != 0; ++p) {
    if (*p == '/') *p = '\\';
  }
  CopyText(g_nameBuffer, path, kNameBufferSize);
  return 1;
}

int CreateFolders() {
  char path[kWorkPathSize];
  if (EndsWithSeparator(g_nameBuffer)) {
    CheckEntryName();
    JoinUnderTarget(path, g_nameBuffer, false);
  } else {
    CopyText(path, g_nameBuffer, kWorkPathSize);
  }
  if (path[0] != 0 && path[1] == ':') RequireUsableDrive(path);

  // The last component of a file entry is the file itself; behind a folder
  // entry's final separator it is empty, so every folder of the entry is made.
  const char* last = FileNamePart(path);
  char* position = WalkStart(path);
  while (position < last) {
    char* end = position;
    while (*end != 0 && !IsPathSeparator(*end)) ++end;
    if (end != position) {  // "a//b": nothing to make between two separators
      *end = 0;
      MakeFolderIfMissing(path);
    }
    *end = '\\';
    position = end + 1;
  }
  return 1;
}

int ConfirmOverwrite() {
  if (g_overwriteSetting != 0) return 1;
  if (PathExists(g_nameBuffer, nullptr) != 0) return 1;
  if (g_meterShown != 0) UpdateMeterNow();
  CopyText(g_outputPath, g_nameBuffer, kPathBufferSize);
  char question[kQuestionSize];
  SysFormat(question, MessageText(kMessageOverwrite), g_nameBuffer);
  int answer = SysMessageBox(g_mainDialog, question, kStubCaption, kBoxYesNoCancel);
  if (answer == kAnswerCancel) CancelPass();
  return answer == kAnswerYes ? 1 : 0;
}
