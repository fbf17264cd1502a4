#include "platform/memory.h"

#include <cstdlib>

#include "platform/host/host_memory.h"

namespace {

uint32_t g_allocationsToFail;

}  // namespace

void HostFailAllocations(uint32_t count) { g_allocationsToFail = count; }

void* SysAlloc(uint32_t size) {
  if (g_allocationsToFail != 0) {
    --g_allocationsToFail;
    return nullptr;
  }
  return std::calloc(1, size == 0 ? 1 : size);
}

void SysFree(void* block) { std::free(block); }
