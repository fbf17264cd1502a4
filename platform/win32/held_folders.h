// The folders on the way to an item the pass creates below the target
// folder, held open while it is made: none of them can then be renamed or
// removed, so none can be swapped for a link between the look at it and the
// creation, and each is checked to be a folder and no link.
#pragma once

#include "platform/types.h"
#include "platform/win32/wide.h"

// Every folder of the longest path at once: a component takes at least two
// units with its separator.
const int kMaxHeldFolders = kWideTextUnits / 2;

struct HeldFolders {
  HANDLE handles[kMaxHeldFolders];
  int count;
};

// Results of HoldFoldersBelow.
const int kFoldersHeld = 0;
const int kFoldersFailed = 1;  // one cannot be opened, or is no folder
const int kFoldersLink = 2;    // one is a link (symbolic link, junction, mount point)

// Puts `path` (UTF-8) into `wide` (kWideTextUnits units) as the file calls
// take it, then opens and holds each folder behind its first `trustedLength`
// bytes (the target folder, which may be a link) up to the last component.
// For kFoldersLink, *linkLength is the length of the path up to the link.
// ReleaseFolders closes what was held, whatever the result.
int HoldFoldersBelow(const char* path, uint32_t trustedLength, wchar_t* wide, HeldFolders* held,
                     uint32_t* linkLength);
void ReleaseFolders(HeldFolders* held);
