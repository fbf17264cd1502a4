// Host-only: how Windows paths given to the platform calls map to Linux paths.
#pragma once

#include <string>

// Backslashes become slashes. A drive letter ("X:...") maps to the folder set
// with HostMapDrive; an unmapped drive letter maps to a folder that does not
// exist, so the call fails as on a machine without that drive.
std::string HostPathFromWindows(const char* path);

// Maps drive letter `letter` (case ignored) to a Linux folder; an empty folder
// removes the mapping.
void HostMapDrive(char letter, const std::string& folder);
