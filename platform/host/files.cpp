// Host side of the file calls: real Linux files. Windows paths are turned into
// Linux ones by host_paths (backslashes, mapped drive letters). The raw calls
// go through the replaceable table of host_calls.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <string>

#include "platform/host/host_calls.h"
#include "platform/host/host_log.h"
#include "platform/host/host_paths.h"

FileHandle SysOpen(const char* path, uint32_t mode) {
  (void)mode;  // sharing modes have no Linux counterpart
  std::string hostPath = HostPathFromWindows(path);
  int fd = g_hostCalls.openFile(hostPath.c_str(), O_RDONLY | O_CLOEXEC, 0);
  return fd < 0 ? kFileError : fd;
}

FileHandle SysCreate(const char* path) {
  std::string hostPath = HostPathFromWindows(path);
  int fd = g_hostCalls.openFile(hostPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd >= 0) HostNoteCreatedPath(hostPath);
  return fd < 0 ? kFileError : fd;
}

namespace {

// Creates `parent.name` in the folder afresh: what is there goes first (a
// hard link there keeps the bytes of the file it shares), then a file of its
// own is made, never through a link. The create is tried first: a new name,
// the usual case, then costs one call.
int CreateFreshIn(const HostParentFolder& parent) {
  std::string existing = HostSpellingIn(parent.fd, parent.key, parent.name);
  // Windows keeps the open log from being deleted; Linux would let it go.
  if (HostIsOpenLogAt(parent.fd, existing)) return -1;
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  std::string spelt = existing;
  int fd = g_hostCalls.openFileAt(parent.fd, spelt.c_str(), flags, 0644);
  if (fd < 0 && errno == EEXIST) {
    if (::unlinkat(parent.fd, existing.c_str(), 0) != 0 && errno != ENOENT) return -1;
    HostNoteRemoved(parent.key, existing);
    spelt = HostSpellingIn(parent.fd, parent.key, parent.name);
    fd = g_hostCalls.openFileAt(parent.fd, spelt.c_str(), flags, 0644);
  }
  if (fd >= 0) HostNoteCreated(parent.key, spelt);
  return fd;
}

}  // namespace

FileHandle SysCreateBelow(const char* path, uint32_t trustedLength, uint32_t* linkLength) {
  HostParentFolder parent;
  int folder = HostOpenParentBelow(path, trustedLength, &parent, linkLength);
  if (folder == kHostFolderLink) return kFileLink;
  if (folder < 0) return kFileError;
  int fd = CreateFreshIn(parent);
  HostCloseParent(parent);
  return fd < 0 ? kFileError : fd;
}

bool SysDeleteBelow(const char* path, uint32_t trustedLength) {
  HostParentFolder parent;
  uint32_t linkLength = 0;
  int folder = HostOpenParentBelow(path, trustedLength, &parent, &linkLength);
  if (folder < 0) return false;
  std::string spelt = HostSpellingIn(folder, parent.key, parent.name);
  bool removed = ::unlinkat(folder, spelt.c_str(), 0) == 0;
  if (removed) HostNoteRemoved(parent.key, spelt);
  HostCloseParent(parent);
  return removed;
}

int32_t SysRead(FileHandle file, void* buffer, uint32_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  uint32_t done = 0;
  // Like _lread: short only at the end of the file, and a failure fails the
  // whole read (a short count would pass for the end of a spanned volume).
  while (done < count) {
    ssize_t n = g_hostCalls.readFile(file, bytes + done, count - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  return static_cast<int32_t>(done);
}

int32_t SysWrite(FileHandle file, const void* buffer, uint32_t count) {
  const uint8_t* bytes = static_cast<const uint8_t*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = g_hostCalls.writeFile(file, bytes + done, count - done);
    if (n <= 0) return done == 0 ? -1 : static_cast<int32_t>(done);
    done += static_cast<uint32_t>(n);
  }
  return static_cast<int32_t>(done);
}

int32_t SysSeek(FileHandle file, int32_t offset, int origin) {
  int whence = origin == kSeekBegin ? SEEK_SET : origin == kSeekCurrent ? SEEK_CUR : SEEK_END;
  off_t position = g_hostCalls.seekFile(file, offset, whence);
  // The 32-bit calls cannot report positions beyond 2 GiB.
  if (position < 0 || position > INT32_MAX) return -1;
  return static_cast<int32_t>(position);
}

void SysClose(FileHandle file) { g_hostCalls.closeFile(file); }

void SysSetFileDosTime(FileHandle file, uint16_t dosDate, uint16_t dosTime) {
  struct tm local = {};
  local.tm_year = 80 + (dosDate >> 9);
  local.tm_mon = ((dosDate >> 5) & 0xF) - 1;
  local.tm_mday = dosDate & 0x1F;
  local.tm_hour = dosTime >> 11;
  local.tm_min = (dosTime >> 5) & 0x3F;
  local.tm_sec = (dosTime & 0x1F) * 2;
  local.tm_isdst = -1;  // the DOS time is local time, daylight saving as it was then
  time_t when = std::mktime(&local);
  struct timespec times[2] = {{when, 0}, {when, 0}};
  ::futimens(file, times);
}
