// Host-only: what the host side knows of the open log besides the file.
#pragma once

#include <string>

// True when the Linux path names the file the log has open. Windows refuses
// to create a file over the open log, which denies others write access; Linux
// has no such lock, so the host side asks this before it creates a file.
bool HostIsOpenLog(const std::string& hostPath);

// The same for `name` in the folder open as `folder`: output files are made
// there, replacing what is at the name, and the log must not be what goes.
bool HostIsOpenLogAt(int folder, const std::string& name);
