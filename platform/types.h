// Fixed-width types and the few handle types the stub's logic passes around.
// `long` is 32 bits on the target and 64 on the host, so every value whose
// width the file formats fix is spelt with an explicit width.
#pragma once

#include <stddef.h>
#include <stdint.h>

// A file handle of the old-style handle calls: -1 means failure, 0 "none open".
typedef int32_t FileHandle;
const FileHandle kFileError = -1;

// Opaque window, instance and library handles; the host side never looks inside.
typedef void* WindowHandle;
typedef void* InstanceHandle;
