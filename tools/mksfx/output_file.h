// Files in and out. The output is written beside its final name and renamed
// into place, so a refusal or a failed write never leaves a partial file.
#pragma once

#include <cstdint>
#include <string>

#include "tools/mksfx/byte_order.h"

// Errors do not name the path: the caller tells them as the path's.

// The whole regular file at `path`, refused when it is larger than `maxSize`.
bool ReadWholeFile(const std::string& path, uint64_t maxSize, Bytes* bytes, std::string* error);

// Replaces `path` with `bytes` in one rename; mode 0755 for a program, else
// 0644, less the umask.
bool WriteFileAtomically(const std::string& path, const Bytes& bytes, std::string* error, bool program = true);
