// Where the entries of a pass land: the target folder, the output path of a
// file entry, the folders on the way, and the decision about a file that
// already exists.
//
// The record scanner resolves each entry's name once (ResolveOutputPath),
// then calls CreateFolders on the path, and for a file entry ConfirmOverwrite
// before it extracts the file. A refused name, a path too long, an unusable
// drive or a folder that cannot be made ends the pass through FatalError
// before anything of that entry is created.
#pragma once

#include "paths/path_routines.h"
#include "platform/types.h"

const uint32_t kTargetFolderUnits = 260;  // UTF-16 units, as the platform's own folder limit
const uint32_t kTargetFolderSize = 3 * kTargetFolderUnits + 1;

// --- Process-wide state of the output paths (ResetOutputPaths puts it back) ---
struct OutputPathsState {
  // The folder under which everything is written. Start-up fills it from the
  // config block or the command line; the main dialog from its folder field.
  char targetFolder[kTargetFolderSize];

  // True: existing files are overwritten without asking.
  bool overwriteSetting;

  // The config block's folder as the builder wrote it, when its %NAME%
  // parts are to be expanded (kFlagUtf8Texts: files of this builder only);
  // empty otherwise, and once the command line names a folder. The target
  // folder is expanded while it still holds this text (CompleteTargetFolder).
  char configuredFolder[kTargetFolderSize];

  // True when that expansion failed (a variable not set, a result too long):
  // the target folder then keeps the text as written, and is refused while it
  // does, rather than made as a folder named "%NAME%".
  bool configuredFolderUnexpanded;

  // The deepest folder this pass has made or found on the way to an entry
  // (empty between passes): the folders of its path are not looked at
  // again. The creation of each file and folder below the target still
  // refuses a link on the way, so one planted later is met there. Kept
  // only while a pass runs (between BeginPassFolders and EndPassFolders).
  char checkedFolder[kPathBufferSize];
  bool passRunning;
};
extern OutputPathsState g_outputPaths;

void ResetOutputPaths();

// A pass begins or ends: forgets the checked folders, here and in the
// platform (see SysBeginPassFolders).
void BeginPassFolders();
void EndPassFolders();

// Turns an entry's name into its output path in `path` (kPathBufferSize
// bytes), once per entry: the name is checked (CheckEntryName), put under the
// target folder behind a separator, each of its components loses its
// trailing dots and blanks (as Windows names what it creates), and every '/'
// becomes a '\'. A file entry's name loses one leading separator; a folder
// entry's keeps it (the empty component is passed over when the folders are
// made). With no target folder the name stays relative to the current
// directory, all leading separators dropped. Returns true when the entry is a folder: its name, up
// to its first NUL, ends in a separator. A path that would not fit is fatal.
bool ResolveOutputPath(const char* name, char* path);

// Makes every missing folder on the way to the entry at `path` (for a folder
// entry, whose path ends in a separator, the folder itself too; never the
// last component of a file entry's path), after checking the drive. A link
// met below the target folder ends the pass with kMessageLink; every other
// failure is fatal too.
void CreateFolders(const char* path);

// Creates the file at `path` afresh (what is there is replaced, never
// written into) and returns its handle. A folder below the target folder
// found to be a link at this moment, after CreateFolders looked, ends the
// pass with kMessageLink naming it; any other failure with
// kMessageCannotCreate.
FileHandle CreateOutputFileBelowTarget(const char* path);

// Removes the file at `path`, made by CreateOutputFileBelowTarget, through
// no link below the target folder. What cannot be removed stays.
void DeleteOutputFileBelowTarget(const char* path);

// True to write the file at `path`, false to pass it over. Asks (Yes, No,
// Cancel) when a file or folder already exists there and the overwrite
// setting is off; Cancel ends the pass with jump code 1. A link at the path
// (dangling or not) ends the pass with kMessageLink, whatever the setting.
bool ConfirmOverwrite(const char* path);
