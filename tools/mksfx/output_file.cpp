#include "tools/mksfx/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace {

bool Fail(std::string* error, const std::string& text) {
  *error = text + ": " + std::strerror(errno);
  return false;
}

bool WriteAll(int fd, const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t wrote = write(fd, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    done += static_cast<size_t>(wrote);
  }
  return true;
}

mode_t FileMode(bool program) {
  mode_t mask = umask(0);
  umask(mask);
  return (program ? 0755 : 0644) & ~mask;
}

}  // namespace

bool ReadWholeFile(const std::string& path, uint64_t maxSize, Bytes* bytes, std::string* error) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return Fail(error, "cannot open");
  if (!S_ISREG(info.st_mode)) {
    *error = S_ISDIR(info.st_mode) ? "is a folder, not a file" : "is not a file";
    return false;
  }
  if (static_cast<uint64_t>(info.st_size) > maxSize) {
    *error = "is too large (" + std::to_string(info.st_size) + " bytes)";
    return false;
  }
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return Fail(error, "cannot open");
  std::streamoff size = file.tellg();
  if (size < 0) return Fail(error, "cannot read");
  bytes->resize(static_cast<size_t>(size));
  file.seekg(0);
  if (!file.read(reinterpret_cast<char*>(bytes->data()), size)) return Fail(error, "cannot read");
  return true;
}

// Errors are about `path`, the file the user asked for: the temporary file
// beside it is the builder's business, and its random name would only puzzle.
bool WriteFileAtomically(const std::string& path, const Bytes& bytes, std::string* error, bool program) {
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  if (fd < 0) return Fail(error, "cannot write");
  bool ok = WriteAll(fd, bytes) && fchmod(fd, FileMode(program)) == 0;
  ok = (close(fd) == 0) && ok;
  if (ok && rename(temporary.c_str(), path.c_str()) == 0) return true;
  Fail(error, "cannot write");
  unlink(temporary.c_str());
  return false;
}
