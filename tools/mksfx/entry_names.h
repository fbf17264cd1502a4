// Entry names the self-extractor must never be given.
//
// The stub joins each entry name to the target folder and writes there, so a
// name may not climb out of that folder, name a drive or an alternate data
// stream, or name a device (opening CON or LPT1 writes to the device, and the
// file would still be counted as unzipped). The stub refuses such names at
// run time; the builder refuses them earlier, so no such file is ever made.
#pragma once

#include <string>

// The reason `name` is unsafe ("it has a '..' component", ...), or nullptr
// when it is safe. One leading '/' or '\' is dropped first, as the stub does.
const char* UnsafeNameReason(const std::string& name);

// The name as Windows sees it on disk: separators unified, one leading and
// one trailing separator dropped, ASCII letters folded to one case. Two
// entries with the same key would land on the same file or folder.
std::string NameCollisionKey(const std::string& name);

// The name quoted for a message, with control bytes shown as \xNN.
std::string QuoteName(const std::string& name);
