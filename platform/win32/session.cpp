#include "platform/session.h"
#include "platform/win32/win32.h"

#include <shlobj.h>

namespace {

const DWORD kSearchSystemFolderOnly = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
const UINT kCjkCharSet = 128;                 // SHIFTJIS_CHARSET, used for every CJK code page

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef HRESULT(WINAPI* GetMallocFunction)(IMalloc**);
typedef LPITEMIDLIST(WINAPI* BrowseFunction)(LPBROWSEINFOA);
typedef BOOL(WINAPI* PathFromListFunction)(LPCITEMIDLIST, LPSTR);

struct ShellFunctions {
  HMODULE library;
  GetMallocFunction getMalloc;
  BrowseFunction browse;
  PathFromListFunction pathFromList;
};
ShellFunctions g_shell;

}  // namespace

void SysRestrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  SetDefaultDllDirectoriesFunction restrict = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(kSearchSystemFolderOnly);
}

void SysSetQuietErrorMode() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

int SysSetCurrentDirectory(const char* path) { return SetCurrentDirectoryA(path); }

uint32_t SysGetAnsiCodePage() { return GetACP(); }

FontHandle SysCreateCjkFont() {
  LOGFONTA font;
  __builtin_memset(&font, 0, sizeof font);
  font.lfHeight = 14;
  font.lfCharSet = kCjkCharSet;
  font.lfClipPrecision = CLIP_STROKE_PRECIS | CLIP_LH_ANGLES;
  font.lfQuality = PROOF_QUALITY;
  font.lfPitchAndFamily = VARIABLE_PITCH;
  __builtin_memcpy(font.lfFaceName, "Helv", 5);
  return CreateFontIndirectA(&font);
}

int SysLoadShell() {
  // The full path, so that the library never comes from the current or the
  // program's folder, whatever the system's search order.
  char path[MAX_PATH + 16];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 0;
  __builtin_memcpy(path + length, "\\Shell32.dll", 13);
  g_shell.library = LoadLibraryA(path);
  if (g_shell.library == nullptr) return 0;
  g_shell.browse = reinterpret_cast<BrowseFunction>(
      reinterpret_cast<void*>(GetProcAddress(g_shell.library, "SHBrowseForFolder")));
  g_shell.getMalloc = reinterpret_cast<GetMallocFunction>(
      reinterpret_cast<void*>(GetProcAddress(g_shell.library, "SHGetMalloc")));
  g_shell.pathFromList = reinterpret_cast<PathFromListFunction>(
      reinterpret_cast<void*>(GetProcAddress(g_shell.library, "SHGetPathFromIDList")));
  return g_shell.browse != nullptr && g_shell.getMalloc != nullptr && g_shell.pathFromList != nullptr;
}

void SysFreeShell() {
  if (g_shell.library != nullptr) FreeLibrary(g_shell.library);
  g_shell.library = nullptr;
}

int SysBrowseForFolder(WindowHandle owner, const char* title, char* folder) {
  IMalloc* allocator = nullptr;
  if (g_shell.getMalloc == nullptr || g_shell.getMalloc(&allocator) != S_OK) return 0;
  char displayName[MAX_PATH];
  BROWSEINFOA info;
  __builtin_memset(&info, 0, sizeof info);
  info.hwndOwner = static_cast<HWND>(owner);
  info.pszDisplayName = displayName;
  info.lpszTitle = title;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
  int chosen = 0;
  LPITEMIDLIST list = g_shell.browse(&info);
  if (list != nullptr) {
    chosen = g_shell.pathFromList(list, folder) ? 1 : 0;
    allocator->Free(list);
  }
  allocator->Release();
  return chosen;
}
