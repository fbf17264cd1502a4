// Volume labels of removable disks (GetVolumeInformationA).
#pragma once

#include "platform/types.h"

// Reads the label of the volume whose root is given (such as "A:") into a
// buffer of `size` bytes. Non-zero on success.
int SysGetVolumeLabel(const char* root, char* label, uint32_t size);
