#include "platform/volumes.h"
#include "platform/win32/win32.h"

int SysGetVolumeLabel(const char* root, char* label, uint32_t size) {
  return GetVolumeInformationA(root, label, size, nullptr, nullptr, nullptr, nullptr, 0) ? 1 : 0;
}
