#include "platform/memory.h"
#include "platform/win32/win32.h"

void* SysAlloc(uint32_t size) { return LocalAlloc(LPTR, size); }

void SysFree(void* block) {
  if (block != nullptr) LocalFree(block);
}
