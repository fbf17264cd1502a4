// What the process sets up for itself before any window: where libraries
// may come from, the error mode, the current directory, the code page and
// its font, and the shell's folder browser.
#pragma once

#include "platform/password_ui.h"
#include "platform/types.h"

// Libraries are looked for in the system folder only, where the system can
// be told so (SetDefaultDllDirectories, looked up at run time so that older
// systems still start): a self-extractor usually runs from a downloads
// folder, where anyone could have left a DLL of a system library's name.
void SysRestrictDllSearch();

// No system boxes for critical errors and failed opens (an empty floppy
// drive): SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX.
void SysSetQuietErrorMode();

// Non-zero on success.
int SysSetCurrentDirectory(const char* path);

// GetACP.
uint32_t SysGetAnsiCodePage();

// The font of the texts typed on a CJK system: "Helv", height 14, character
// set 128; null when it cannot be made.
FontHandle SysCreateCjkFont();

// Loads "Shell32.dll" from the system folder and looks up the three
// functions of the folder browser. 1 when all three are there.
int SysLoadShell();

// Frees the shell library when it was loaded.
void SysFreeShell();

// The shell's folder browser, owned by `owner`, with `title` above the
// tree, file-system folders only. 1 when the user chose a folder and its
// path was written to `folder` (`size` bytes, UTF-8); 0 when the allocator
// is not there, the user cancelled, or the choice has no path.
int SysBrowseForFolder(WindowHandle owner, const char* title, char* folder, uint32_t size);
