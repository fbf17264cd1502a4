// bench-win32-copy.exe FOLDER FILE...: the floor of the Wine extraction
// benchmark (bench/wine_extract_bench.py). Copies each FILE into FOLDER under
// its own name, in 64 KiB reads and writes, with nothing else around them: no
// decoding, no CRC, no window. What a self-extractor writing the same bytes
// cannot do faster on the same system. Exit status: 0 done, 1 a file could
// not be read or written, 2 bad arguments.
//
// bench-win32-copy.exe /tree FOLDER SOURCE: the same floor for a tree of
// many small files (bench/small_files_bench.py), whose names would not fit a
// command line: FOLDER is made, and every folder and file under SOURCE is
// made or copied under it, each folder once, each file with one create.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const DWORD kBlockSize = 64 * 1024;

std::string NamePart(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CopyOne(const std::string& from, const std::string& to, char* block) {
  HANDLE source = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (source == INVALID_HANDLE_VALUE) return false;
  HANDLE target = CreateFileA(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    CloseHandle(source);
    return false;
  }
  bool copied = true;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(source, block, kBlockSize, &got, nullptr)) {
      copied = false;
      break;
    }
    if (got == 0) break;
    DWORD written = 0;
    if (!WriteFile(target, block, got, &written, nullptr) || written != got) {
      copied = false;
      break;
    }
  }
  CloseHandle(target);
  CloseHandle(source);
  return copied;
}

// Copies the folder `from` into `to`, made here, folder by folder.
bool CopyTree(const std::string& from, const std::string& to, char* block) {
  if (!CreateDirectoryA(to.c_str(), nullptr)) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool copied = true;
  do {
    std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    bool folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    copied = folder ? CopyTree(from + "\\" + name, to + "\\" + name, block)
                    : CopyOne(from + "\\" + name, to + "\\" + name, block);
  } while (copied && FindNextFileA(search, &found));
  FindClose(search);
  return copied;
}

}  // namespace

int main(int argc, char** argv) {
  static char block[kBlockSize];
  if (argc == 4 && std::strcmp(argv[1], "/tree") == 0) {
    if (CopyTree(argv[3], argv[2], block)) return 0;
    std::fprintf(stderr, "bench-win32-copy: cannot copy the tree %s to %s\n", argv[3], argv[2]);
    return 1;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-win32-copy FOLDER FILE... | /tree FOLDER SOURCE\n");
    return 2;
  }
  std::string folder = argv[1];
  for (int i = 2; i < argc; ++i) {
    std::string to = folder + "\\" + NamePart(argv[i]);
    if (!CopyOne(argv[i], to, block)) {
      std::fprintf(stderr, "bench-win32-copy: cannot copy %s to %s\n", argv[i], to.c_str());
      return 1;
    }
  }
  return 0;
}
