// Host side of the process set-up: there is no library search path, error
// mode, CJK font or shell to speak of; the current directory is real.
#include "platform/session.h"

#include "platform/host/host_system.h"

#include <unistd.h>

#include "platform/host/host_paths.h"

void SysRestrictDllSearch() {}
void SysSetQuietErrorMode() {}

int SysSetCurrentDirectory(const char* path) {
  return ::chdir(HostPathFromWindows(path).c_str()) == 0 ? 1 : 0;
}

uint32_t SysGetAnsiCodePage() { return HostCodePage(); }
FontHandle SysCreateCjkFont() { return nullptr; }
int SysLoadShell() { return 0; }
void SysFreeShell() {}
int SysBrowseForFolder(WindowHandle, const char*, char*, uint32_t) { return 0; }
