// bench-win32-copy.exe FOLDER FILE...: the floor of the Wine extraction
// benchmark (bench/wine_extract_bench.py). Copies each FILE into FOLDER under
// its own name, in 64 KiB reads and writes, with nothing else around them: no
// decoding, no CRC, no window. What a self-extractor writing the same bytes
// cannot do faster on the same system. Exit status: 0 done, 1 a file could
// not be read or written, 2 bad arguments.
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-win32-copy FOLDER FILE...\n");
    return 2;
  }
  static char block[kBlockSize];
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
