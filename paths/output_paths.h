// Where the entries of a pass land: the target folder, the output path of a
// file entry, the folders on the way, and the decision about a file that
// already exists.
//
// The record scanner calls, for a file entry (name not ending in a
// separator), BuildOutputPath, then CreateFolders, then ConfirmOverwrite, and
// extracts the file when all three return 1. For a folder entry it calls
// CreateFolders alone, on the name as read. A refused name, a path too long,
// an unusable drive or a folder that cannot be made ends the pass through
// FatalError before anything of that entry is created.
#pragma once

#include "platform/types.h"

const uint32_t kTargetFolderSize = 261;  // 260 characters and the terminator

// The folder under which everything is written. Start-up fills it from the
// config block or the command line; the main dialog from its folder field.
extern char g_targetFolder[kTargetFolderSize];

// 1: existing files are overwritten without asking.
extern int g_overwriteSetting;

// Turns the entry name in the name buffer into its output path there: the
// target folder, a separator, and the name without one leading separator,
// every '/' made a '\'. (With no target folder the name stays relative to the
// current directory, all leading separators dropped.) Returns 1.
int BuildOutputPath();

// Makes every missing folder on the way to the entry (for a folder entry, the
// folder itself too; never the last component of a file entry's path), after
// checking the drive. Returns 1; every failure is fatal.
int CreateFolders();

// 1 to write the file, 0 to pass it over. Asks (Yes, No, Cancel) when a file
// or folder already exists at the output path and the overwrite setting is
// off; Cancel ends the pass with jump code 1.
int ConfirmOverwrite();
