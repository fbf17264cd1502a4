// The one registry read the stub makes: the default value of a key under
// HKEY_CLASSES_ROOT (RegQueryValueW, given in UTF-8). Read only; nothing is ever written.
#pragma once

#include "platform/types.h"

// Reads the default value of `key` into `buffer` of `size` bytes, always
// NUL-terminated. 1 when it was read; 0 when there is no such key or the value
// with its terminator does not fit.
int SysReadClassesRootValue(const char* key, char* buffer, uint32_t size);
