// The one header of the stub's Win32 side that pulls in <windows.h>.
#pragma once

#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
