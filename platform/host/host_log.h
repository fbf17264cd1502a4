// Host-only: what the host side knows of the open log besides the file.
#pragma once

#include <string>

// True when `name` in the folder open as `folder` is the file the log has
// open. Windows keeps the open log from being replaced or written by anyone
// else; Linux has no such lock, so the host side asks this before an output
// file replaces what is at its name.
bool HostIsOpenLogAt(int folder, const std::string& name);
