// What the builder can tell about the default target folder (--folder)
// before a self-extractor carries it to a Windows machine.
//
// The folder is used as given: a Unix path, a relative one or one holding a
// character Windows refuses would unzip somewhere unexpected or not at all,
// and only on the target machine would anyone find out. "" (a temporary
// folder) and "." (the self-extractor's own folder) are meant as they are.
#pragma once

#include <string>

// Why `folder` may not be the folder meant on Windows, or "" when it is a
// full Windows path: X:\..., \\server\share\..., or one that starts with a
// %VARIABLE% (whose value is not known here).
std::string DefaultFolderWarning(const std::string& folder);
