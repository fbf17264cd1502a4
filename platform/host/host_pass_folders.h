// Host-only: what the host side keeps about folders while a pass runs, so
// that a pass over thousands of small files asks the file system each thing
// once: an index of each folder's names, folded as Windows compares them,
// and the folders below the target held open.
//
// Both live from SysBeginPassFolders to SysEndPassFolders; outside a pass
// every lookup goes to the file system as before. The index is built when
// the pass first looks into a folder and kept up to date with what the pass
// itself creates and removes there. A name someone else makes meanwhile in
// another case than the pass asks for may go unseen; that changes which
// name a file gets, never where it is written: every create still goes
// through a held folder, opened without following a link, with O_EXCL and
// O_NOFOLLOW.
#pragma once

#include <string>

// The key under which a folder's host path is known: its components joined
// by HostJoinFolderKey from "/" (an absolute path) or "." (a relative one),
// so that every walk names one folder alike: repeated and trailing slashes
// and "." components dropped, "" and "." both ".".
std::string HostFolderKey(const std::string& hostPath);
// The key of `name` (one component) in the folder known as `folderKey`.
std::string HostJoinFolderKey(const std::string& folderKey, const std::string& name);

// In a pass: sets *spelling to the name under which the folder at `folderKey`
// holds `component` (already without trailing dots and blanks). An item there
// under that very name is taken, looked at once a pass; otherwise the
// folder's index answers, built by listing the folder (opened by its path)
// the first time. False outside a pass, or when the folder cannot be listed:
// the caller then looks itself.
bool HostIndexedSpelling(const std::string& folderKey, const std::string& component, std::string* spelling);

// In a pass: what the pass made (a folder: an empty one) or removed in the
// folder at `folderKey`.
void HostNoteCreated(const std::string& folderKey, const std::string& name, bool isFolder = false);
void HostNoteRemoved(const std::string& folderKey, const std::string& name);
// The same for an item given by its whole host path.
void HostNoteCreatedPath(const std::string& hostPath, bool isFolder = false);

// In a pass: the descriptor held for the folder at `folderKey`, opened
// below the target folder without following a link (or the target folder
// itself, as the system follows it), or -1. HostHoldFolder hands a
// descriptor over; the pass closes it when it ends. Outside a pass
// HostHoldFolder returns false and the caller keeps (and closes) it.
// HostHoldBelow names the folder that walk started from; a walk from
// another lets every held folder go, as they were opened for that one.
void HostHoldBelow(const std::string& trustedKey);
int HostHeldFolder(const std::string& folderKey);
bool HostHoldFolder(const std::string& folderKey, int fd);

// True while a pass runs.
bool HostPassFoldersActive();

// Drops every index and closes every held folder (also at a reset).
void HostEndPassFolders();
