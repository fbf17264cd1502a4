#include "stub/work_memory.h"

#include "platform/memory.h"

uint8_t* g_window;
uint8_t* g_inputBuffer;
uint8_t* g_outputBuffer;

bool AllocateWorkMemory() {
  g_window = static_cast<uint8_t*>(SysAlloc(kWindowAllocation));
  g_inputBuffer = static_cast<uint8_t*>(SysAlloc(kInputBufferAllocation));
  g_outputBuffer = static_cast<uint8_t*>(SysAlloc(kOutputBufferAllocation));
  return g_window != nullptr && g_inputBuffer != nullptr && g_outputBuffer != nullptr;
}

void FreeWorkMemory() {
  SysFree(g_window);
  SysFree(g_inputBuffer);
  SysFree(g_outputBuffer);
  g_window = nullptr;
  g_inputBuffer = nullptr;
  g_outputBuffer = nullptr;
}
