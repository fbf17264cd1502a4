#include "platform/version.h"
#include "platform/win32/win32.h"

uint32_t SysGetVersion() { return GetVersion(); }
