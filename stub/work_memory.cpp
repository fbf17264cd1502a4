#include "stub/work_memory.h"

#include "archive/input.h"
#include "inflate/inflate.h"
#include "inflate/output.h"
#include "platform/memory.h"

int AllocateWorkMemory() {
  g_window = static_cast<uint8_t*>(SysAlloc(kWindowAllocation));
  g_inputBuffer = static_cast<uint8_t*>(SysAlloc(kInputBufferAllocation));
  g_outputBuffer = static_cast<uint8_t*>(SysAlloc(kOutputBufferAllocation));
  return g_window != nullptr && g_inputBuffer != nullptr && g_outputBuffer != nullptr ? 0 : 1;
}

void FreeWorkMemory() {
  FreeDecodeTables();
  SysFree(g_window);
  SysFree(g_inputBuffer);
  SysFree(g_outputBuffer);
  g_window = nullptr;
  g_inputBuffer = nullptr;
  g_outputBuffer = nullptr;
}
