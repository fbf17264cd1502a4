// Host-only: the parts of the system that tests and host tools set up, where
// Linux has nothing to offer or the real value would make a run depend on the
// machine.
#pragma once

#include <cstdint>

// Environment variables as the platform calls see them: taken from the real
// environment unless overridden here. A null value makes the variable unset.
void HostSetEnvironment(const char* name, const char* value);
void HostClearEnvironmentOverrides();

// The Windows directory; null (the default) makes GetWindowsDirectoryA fail.
void HostSetWindowsDirectory(const char* folder);
const char* HostWindowsDirectory();

// The ANSI code page that CharNextA steps through: 1252 (single-byte) unless
// set; 932, 936, 949 and 950 are double-byte.
void HostSetCodePage(uint32_t codePage);
uint32_t HostCodePage();

// The OEM code page that SysOemToUtf8 reads: 437 (US) unless set.
void HostSetOemCodePage(uint32_t codePage);
uint32_t HostOemCodePage();

// The program's own file name; by default the real one.
void HostSetModuleFileName(const char* path);

// The clock SysTickCount reads: it starts at `start` and moves on by `step`
// milliseconds each time it is read. By default it stands still at 0, so
// that nothing a test checks depends on how fast the machine is.
void HostSetClock(uint32_t start, uint32_t step);
