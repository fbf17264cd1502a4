// Host-only: how Windows paths given to the platform calls map to Linux paths.
#pragma once

#include <cstdint>
#include <string>

#include "platform/host/host_pass_folders.h"

// Backslashes become slashes. A drive letter ("X:...") maps to the folder set
// with HostMapDrive; an unmapped drive letter maps to a folder that does not
// exist, so the call fails as on a machine without that drive. A network path
// (two separators, server, share) maps to the folder set with HostMapShare in
// the same way. Any other path is a Linux path, absolute or relative to the
// current directory. Behind the drive or share, every component is found as
// Windows would find it: trailing dots and blanks dropped, and an existing
// entry that differs only in case (Western letters included) taken for it.
std::string HostPathFromWindows(const char* path);

// The name under which the folder open as `folder`, at the host path
// `folderKey` (host_pass_folders.h), holds `component`, found as Windows
// finds it: trailing dots and blanks dropped, an existing entry that differs
// only in case taken for it; the component so trimmed when nothing is there.
std::string HostSpellingIn(int folder, const std::string& folderKey, const std::string& component);

// What HostOpenParentBelow gives when a folder on the way is a link.
const int kHostFolderLink = -2;

// The folder that holds the last component of a path, as HostOpenParentBelow
// opens it.
struct HostParentFolder {
  int fd = -1;
  bool held = false;  // held by the pass (host_pass_folders.h): not closed by HostCloseParent
  std::string key;    // its host path, as HostFolderKey gives it
  std::string name;   // the last component, as the path gives it
};

// Opens the folder that holds the last component of the Windows path `path`
// into *parent. The first `trustedLength` bytes (the target folder, which
// may be a link) are followed as the system follows them; every folder
// behind them is opened from the one before it without following a link, so
// that one swapped for a link after a look at it is found, not gone through.
// In a pass, each folder so opened stays held and is used again for every
// later path through it: a name swapped for a link afterwards does not move
// what the held folder is. The descriptor, or -1 on failure, or
// kHostFolderLink with *linkLength set to the length of the path up to the
// link. HostCloseParent closes what is not held.
int HostOpenParentBelow(const char* path, uint32_t trustedLength, HostParentFolder* parent, uint32_t* linkLength);
void HostCloseParent(const HostParentFolder& parent);

// Maps drive letter `letter` (case ignored) to a Linux folder; an empty folder
// removes the mapping.
void HostMapDrive(char letter, const std::string& folder);

// Maps the share `server` and `share` (case ignored) of network paths to a
// Linux folder; an empty folder removes the mapping.
void HostMapShare(const std::string& server, const std::string& share, const std::string& folder);

// What GetDriveTypeA reports for a drive letter: by default 3 (fixed) for a
// mapped drive and 1 (no such root) for any other. Setting a type overrides
// that, for example 2 (removable) or 0 (unknown).
void HostSetDriveType(char letter, uint32_t type);
uint32_t HostDriveType(char letter);

// Forgets every drive and share mapping and every drive type.
void HostResetPaths();
