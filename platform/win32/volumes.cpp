#include "platform/volumes.h"
#include "platform/win32/wide.h"

int SysGetVolumeLabel(const char* root, char* label, uint32_t size) {
  wchar_t wideRoot[kWideTextUnits];
  wchar_t wideLabel[MAX_PATH + 1];
  if (!GetVolumeInformationW(ToWide(root, wideRoot), wideLabel, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) {
    return 0;
  }
  ToUtf8(wideLabel, label, size);
  return 1;
}
