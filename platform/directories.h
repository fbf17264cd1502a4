// Folders, drives and the lookups of paths: FindFirstFileA, CreateDirectoryA,
// GetDriveTypeA, GetCurrentDirectoryA and GetWindowsDirectoryA.
#pragma once

#include "platform/types.h"

const uint32_t kAttributeFolder = 0x10;         // FILE_ATTRIBUTE_DIRECTORY
const uint32_t kAttributeReparsePoint = 0x400;  // FILE_ATTRIBUTE_REPARSE_POINT: a link, junction or mount point
const uint32_t kFoundNameSize = 768;     // a name of 255 UTF-16 units, in UTF-8

// GetDriveTypeA results the stub tells apart: 0 unknown, 1 no such root.
const uint32_t kDriveUnknown = 0;
const uint32_t kDriveNoRootDir = 1;
const uint32_t kDriveRemovable = 2;
const uint32_t kDriveFixed = 3;
const uint32_t kDriveRemote = 4;
const uint32_t kDriveCdRom = 5;

// What a lookup found at a path: its attributes and its (long) name.
struct FoundItem {
  uint32_t attributes;
  char name[kFoundNameSize];
};

// Looks the path up (FindFirstFileA, the search closed again at once). 1 and
// *found filled when something exists there, 0 when nothing does. A path that
// ends in a separator finds nothing, as on the platform.
int SysFindItem(const char* path, FoundItem* found);

// 1 when the path, with any link on it followed to its end, names an
// existing folder; 0 for a file, a link to nothing, or nothing at all.
int SysLeadsToFolder(const char* path);

// Creates one folder, no security attributes. Non-zero on success.
int SysCreateDirectory(const char* path);

// What SysCreateDirectoryBelow gives when a folder on the way is a link.
const int kFolderLink = -1;

// Creates one folder as SysCreateDirectory does, but the folders behind the
// first `trustedLength` bytes of the path (the target folder, which may
// itself be a link) are opened without following a link and held while it
// is made, as SysCreateBelow (platform/files.h) does for a file. 1 when made,
// 0 on failure, kFolderLink when a folder on the way is a link, with
// *linkLength set to the length of the path up to that link.
int SysCreateDirectoryBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength);

// A pass begins and ends. In between the platform may keep what it learnt
// about the folders the pass works in (their names, folders held open) and
// answer from it, as long as nothing can be written through a link: the
// pass asks each thing once. Ending drops all of it; beginning drops what an
// earlier pass left.
void SysBeginPassFolders();
void SysEndPassFolders();

// The type of the drive whose root (such as "C:\") is given.
uint32_t SysGetDriveType(const char* root);

// Both with the platform's conventions: the length written without the
// terminator; the size needed, terminator included, when `size` is too small;
// 0 on failure.
uint32_t SysGetCurrentDirectory(char* buffer, uint32_t size);
uint32_t SysGetWindowsDirectory(char* buffer, uint32_t size);
