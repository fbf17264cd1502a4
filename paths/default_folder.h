// The folder the main dialog offers when neither the config block nor the
// command line names one: the user's temporary folder, else "TEMP" under the
// Windows directory.
#pragma once

#include "platform/types.h"

// Writes the first acceptable candidate, without a trailing separator (a root
// such as C:\ keeps its own), into `destination` (kTargetFolderSize bytes) and returns true:
// TMP, then TEMP, then the Windows directory's TEMP. Returns false and leaves the
// destination untouched when none is acceptable.
bool DefaultFolder(char* destination);

// True when the variable is set, not empty, and has at most 260 UTF-16
// units; its value is then in `buffer` (kTargetFolderSize bytes).
bool FolderFromEnvironment(const char* name, char* buffer);

// True when the Windows directory has at most 249 UTF-16 units and a folder
// "TEMP" exists under it (made here when nothing is there); `buffer`
// (kTargetFolderSize bytes) then holds it.
bool WindowsTempFolder(char* buffer);

// Appends a separator when needed and "TEMP" to the folder in `buffer`
// (kTargetFolderSize bytes); true when a folder of that name now exists (made
// here when nothing was there, or reached through a link), false when it
// could not be made or something else is in the way.
bool EnsureTempSubfolder(char* buffer);

// Writes `text` into `destination` (kTargetFolderSize bytes) with each
// %NAME% replaced by the variable's value, and "%%" by one "%"; a "%" with
// no partner behind it stays as it is. False, with the destination
// unspecified, when a variable is not set (or empty) or the result has more
// than kTargetFolderUnits UTF-16 units: a folder named "%NAME%", or one cut
// short, would be somewhere the setup's author never meant.
bool ExpandFolderVariables(const char* text, char* destination);

// Expands the configured folder (OutputPathsState::configuredFolder) into
// the target folder while the target folder still holds it; a failure leaves
// the target folder as it is and sets configuredFolderUnexpanded.
void ExpandConfiguredFolder();

// True while the target folder holds the configured folder that could not
// be expanded.
bool TargetFolderUnexpanded();
