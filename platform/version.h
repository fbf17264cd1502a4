// The running system's version word (GetVersion): low byte the major version;
// bit 31 set on the Windows 9x family.
#pragma once

#include "platform/types.h"

uint32_t SysGetVersion();
