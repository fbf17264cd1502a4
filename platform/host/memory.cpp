#include "platform/memory.h"

#include <cstdlib>

void* SysAlloc(uint32_t size) { return std::calloc(1, size == 0 ? 1 : size); }

void SysFree(void* block) { std::free(block); }
