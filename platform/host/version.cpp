#include "platform/version.h"

// The host answers as a current Windows NT would (major version 6).
uint32_t SysGetVersion() { return 6; }
