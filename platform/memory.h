// Work memory. Every block the stub allocates is zero-filled and fixed.
#pragma once

#include "platform/types.h"

// A zero-filled block of `size` bytes, or null when there is no memory.
void* SysAlloc(uint32_t size);

// Frees a block from SysAlloc; null is ignored.
void SysFree(void* block);
