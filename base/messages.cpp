#include "base/messages.h"

#include "platform/memory.h"
#include "base/resource_data.h"

char* g_stringTableBlock;

const char* MessageText(int number) {
  if (g_stringTableBlock == nullptr) return "";
  return g_stringTableBlock + kMessageOffsets[number];
}

void FreeResources() {
  SysFree(g_stringTableBlock);
  g_stringTableBlock = nullptr;
}
