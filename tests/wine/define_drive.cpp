// Test helper run under Wine: points a drive letter at a Unix folder through
// Wine's mount manager, as if another disk had been put into the drive. The
// mount manager reads the folder's ".windows-label" file only when a drive is
// defined, so rewriting the label file or repointing the dosdevices link while
// a program runs is not seen; defining the drive again is.
//
//   define_drive LETTER UNIX-FOLDER   the drive becomes a removable drive on
//                                     that folder (label read from it)
//   define_drive LETTER               the drive is removed
//
// Exit status: 0 done, 1 the mount manager refused, 2 bad arguments.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Wine's extension of the mount manager (include/ddk/mountmgr.h of Wine's
// public headers): CTL_CODE('m', 32, METHOD_BUFFERED, read and write access).
const DWORD kDefineUnixDrive = 0x6DC080;

// The request: this fixed part, then the NUL-terminated Unix path at
// mount_point_offset. No device (0) and no label of its own (0): the label
// comes from the folder.
struct UnixDrive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};
static_assert(sizeof(UnixDrive) == 32, "the mount manager's request layout");

const ULONG kRemovable = 2;  // DRIVE_REMOVABLE

std::string Utf8(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? static_cast<size_t>(size) : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &bytes[0], size, nullptr, nullptr);
  return bytes;  // with its terminator
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 3 || std::wcslen(argv[1]) != 1) {
    std::fprintf(stderr, "usage: define_drive LETTER [UNIX-FOLDER]\n");
    return 2;
  }
  std::string folder = argc == 3 ? Utf8(argv[2]) : std::string();
  std::vector<char> request(sizeof(UnixDrive) + folder.size(), 0);
  UnixDrive drive = {};
  drive.size = static_cast<ULONG>(request.size());
  drive.type = kRemovable;
  drive.letter = argv[1][0];
  drive.mount_point_offset = folder.empty() ? 0 : sizeof(UnixDrive);  // none: remove the drive
  std::memcpy(request.data(), &drive, sizeof drive);
  std::memcpy(request.data() + sizeof drive, folder.data(), folder.size());

  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "define_drive: no mount manager (error %lu)\n", GetLastError());
    return 1;
  }
  DWORD returned = 0;
  BOOL done = DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()), nullptr, 0,
                              &returned, nullptr);
  DWORD error = GetLastError();
  CloseHandle(manager);
  if (!done) {
    std::fprintf(stderr, "define_drive: the mount manager refused (error %lu)\n", error);
    return 1;
  }
  return 0;
}
