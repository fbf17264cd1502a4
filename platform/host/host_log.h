// Host-only: what the host side knows of the open log besides the file.
#pragma once

#include <string>

// True when the Linux path names the file the log has open. Windows refuses
// to create a file over the open log, which denies others write access; Linux
// has no such lock, so the host side asks this before it creates a file.
bool HostIsOpenLog(const std::string& hostPath);
