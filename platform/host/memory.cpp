#include "platform/memory.h"

#include "platform/host/host_calls.h"
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
  return g_hostCalls.allocate(size == 0 ? 1 : size);
}

void SysFree(void* block) {
  if (block != nullptr) g_hostCalls.release(block);
}
