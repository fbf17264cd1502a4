#include "platform/session.h"
#include "platform/win32/wide.h"

#include <shlobj.h>

namespace {

const DWORD kSearchSystemFolderOnly = 0x800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
const UINT kCjkCharSet = 128;                 // SHIFTJIS_CHARSET, used for every CJK code page

typedef BOOL(WINAPI* SetDefaultDllDirectoriesFunction)(DWORD);
typedef HRESULT(WINAPI* GetMallocFunction)(IMalloc**);
typedef LPITEMIDLIST(WINAPI* BrowseFunction)(LPBROWSEINFOW);
typedef BOOL(WINAPI* PathFromListFunction)(LPCITEMIDLIST, LPWSTR);

// The folder browser's three functions, looked up by name in this order.
const char* const kShellFunctionNames[] = {"SHGetMalloc", "SHBrowseForFolderW", "SHGetPathFromIDListW"};
const int kShellFunctionCount = 3;

HMODULE g_shellLibrary;
FARPROC g_shellFunctions[kShellFunctionCount];

GetMallocFunction GetMalloc() { return reinterpret_cast<GetMallocFunction>(reinterpret_cast<void*>(g_shellFunctions[0])); }
BrowseFunction Browse() { return reinterpret_cast<BrowseFunction>(reinterpret_cast<void*>(g_shellFunctions[1])); }
PathFromListFunction PathFromList() {
  return reinterpret_cast<PathFromListFunction>(reinterpret_cast<void*>(g_shellFunctions[2]));
}

}  // namespace

void SysRestrictDllSearch() {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel == nullptr) return;
  SetDefaultDllDirectoriesFunction restrict = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  if (restrict != nullptr) restrict(kSearchSystemFolderOnly);
}

void SysSetQuietErrorMode() { SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

int SysSetCurrentDirectory(const char* path) {
  wchar_t wide[kWideTextUnits];
  return SetCurrentDirectoryW(ToWide(path, wide));
}

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
  g_shellLibrary = LoadLibraryA(path);
  if (g_shellLibrary == nullptr) return 0;
  int found = 0;
  for (int i = 0; i < kShellFunctionCount; ++i) {
    g_shellFunctions[i] = GetProcAddress(g_shellLibrary, kShellFunctionNames[i]);
    if (g_shellFunctions[i] != nullptr) ++found;
  }
  return found == kShellFunctionCount ? 1 : 0;
}

void SysFreeShell() {
  if (g_shellLibrary != nullptr) FreeLibrary(g_shellLibrary);
  g_shellLibrary = nullptr;
}

int SysBrowseForFolder(WindowHandle owner, const char* title, char* folder, uint32_t size) {
  IMalloc* allocator = nullptr;
  if (GetMalloc() == nullptr || GetMalloc()(&allocator) != S_OK) return 0;
  wchar_t displayName[MAX_PATH];
  wchar_t wideTitle[kWideTextUnits];
  BROWSEINFOW info;
  __builtin_memset(&info, 0, sizeof info);
  info.hwndOwner = static_cast<HWND>(owner);
  info.pszDisplayName = displayName;
  info.lpszTitle = ToWide(title, wideTitle);
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_RETURNFSANCESTORS;
  int chosen = 0;
  LPITEMIDLIST list = Browse()(&info);
  if (list != nullptr) {
    wchar_t chosenFolder[kWideTextUnits];
    if (PathFromList()(list, chosenFolder)) {
      ToUtf8(chosenFolder, folder, size);
      chosen = 1;
    }
    allocator->Free(list);
  }
  allocator->Release();
  return chosen;
}
