#include "platform/log.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/format.h"
#include "platform/host/host_calls.h"
#include "platform/host/host_log.h"
#include "platform/host/host_paths.h"

namespace {

// The open log and its identity, for HostIsOpenLogAt.
struct HostLogState {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};
HostLogState g_hostLog;

}  // namespace

int SysOpenLog(const char* path) {
  SysCloseLog();
  // O_NOFOLLOW fails on a link in the last component (ELOOP); a folder
  // cannot be opened for writing (EISDIR). O_NONBLOCK keeps a FIFO without
  // a reader from hanging the run; it changes nothing for a plain file.
  std::string hostPath = HostPathFromWindows(path);
  int fd = g_hostCalls.openFile(hostPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                                0644);
  if (fd < 0) return errno == ELOOP || errno == EISDIR ? kLogRefused : kLogFailed;
  HostNoteCreatedPath(hostPath);
  struct stat facts;
  if (fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode) || facts.st_nlink != 1) {
    g_hostCalls.closeFile(fd);
    return kLogRefused;
  }
  g_hostLog.fd = fd;
  g_hostLog.device = facts.st_dev;
  g_hostLog.inode = facts.st_ino;
  return kLogOpen;
}

bool SysAppendLogLine(const char* text) {
  if (g_hostLog.fd < 0) return false;
  std::time_t now = std::time(nullptr);
  std::tm local;
  localtime_r(&now, &local);
  char line[kFormatLimit + 32];
  size_t length = std::strftime(line, sizeof line, "%Y-%m-%d %H:%M:%S ", &local);
  length += static_cast<size_t>(std::snprintf(line + length, sizeof line - length - 2, "%s", text));
  if (length > sizeof line - 3) length = sizeof line - 3;
  line[length++] = '\r';
  line[length++] = '\n';
  // One write per line, as the stub does: a short write is a lost line.
  return g_hostCalls.writeFile(g_hostLog.fd, line, length) == static_cast<ssize_t>(length);
}

void SysCloseLog() {
  if (g_hostLog.fd >= 0) g_hostCalls.closeFile(g_hostLog.fd);
  g_hostLog = HostLogState();
}

namespace {

bool IsTheOpenLog(const struct stat& facts) {
  return g_hostLog.fd >= 0 && facts.st_dev == g_hostLog.device && facts.st_ino == g_hostLog.inode;
}

}  // namespace

bool HostIsOpenLogAt(int folder, const std::string& name) {
  struct stat facts;
  return g_hostLog.fd >= 0 && fstatat(folder, name.c_str(), &facts, AT_SYMLINK_NOFOLLOW) == 0 && IsTheOpenLog(facts);
}
