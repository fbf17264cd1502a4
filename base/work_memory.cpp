#include "base/work_memory.h"

#include "platform/memory.h"

uint8_t* g_window;
uint8_t* g_inputBuffer;

bool AllocateWorkMemory() {
  g_window = static_cast<uint8_t*>(SysAlloc(kWindowAllocation));
  g_inputBuffer = static_cast<uint8_t*>(SysAlloc(kInputBufferAllocation));
  return g_window != nullptr && g_inputBuffer != nullptr;
}

void FreeWorkMemory() {
  SysFree(g_window);
  SysFree(g_inputBuffer);
  g_window = nullptr;
  g_inputBuffer = nullptr;
}
