#include "tests/host/failing_calls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

#include "platform/host/host_calls.h"

namespace {

struct CallBook {
  uint32_t failAt = 0;
  bool failed = false;
  std::vector<CountedCall> calls;
  std::map<int, std::string> openFiles;  // descriptor -> path
  std::set<void*> blocks;
  std::vector<std::string> created;
};

CallBook& Book() {
  static CallBook book;
  return book;
}

// Numbers the call; true when it is the one to fail.
bool CountAndDecide(CallKind kind, const std::string& path, int64_t offset = 0, int whence = 0) {
  CallBook& book = Book();
  CountedCall call;
  call.kind = kind;
  call.path = path;
  call.offset = offset;
  call.whence = whence;
  book.calls.push_back(call);
  if (book.calls.size() != book.failAt) return false;
  book.failed = true;
  return true;
}

std::string PathOf(int fd) {
  auto found = Book().openFiles.find(fd);
  return found != Book().openFiles.end() ? found->second : std::string();
}

int CountedOpen(const char* path, int flags, mode_t mode) {
  bool create = (flags & O_CREAT) != 0;
  if (create) Book().created.push_back(path);
  if (CountAndDecide(create ? CallKind::kCreate : CallKind::kOpen, path)) {
    errno = create ? EACCES : ENOENT;
    return -1;
  }
  int fd = kRealHostCalls.openFile(path, flags, mode);
  if (fd >= 0) Book().openFiles[fd] = path;
  return fd;
}

// The path of `name` in the folder open as `folder`, for the account.
std::string PathIn(int folder, const char* name) {
  char target[4096];
  std::string link = "/proc/self/fd/" + std::to_string(folder);
  ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  if (length < 0) return name;
  return std::string(target, static_cast<size_t>(length)) + "/" + name;
}

int CountedOpenAt(int folder, const char* name, int flags, mode_t mode) {
  std::string path = PathIn(folder, name);
  bool create = (flags & O_CREAT) != 0;
  if (create) Book().created.push_back(path);
  if (CountAndDecide(create ? CallKind::kCreate : CallKind::kOpen, path)) {
    errno = create ? EACCES : ENOENT;
    return -1;
  }
  int fd = kRealHostCalls.openFileAt(folder, name, flags, mode);
  if (fd >= 0) Book().openFiles[fd] = path;
  return fd;
}

ssize_t CountedRead(int fd, void* buffer, size_t count) {
  if (CountAndDecide(CallKind::kRead, PathOf(fd))) {
    errno = EIO;
    return -1;
  }
  return kRealHostCalls.readFile(fd, buffer, count);
}

ssize_t CountedWrite(int fd, const void* buffer, size_t count) {
  if (CountAndDecide(CallKind::kWrite, PathOf(fd))) {
    errno = ENOSPC;
    return -1;
  }
  return kRealHostCalls.writeFile(fd, buffer, count);
}

off_t CountedSeek(int fd, off_t offset, int whence) {
  if (CountAndDecide(CallKind::kSeek, PathOf(fd), offset, whence)) {
    errno = EIO;
    return -1;
  }
  return kRealHostCalls.seekFile(fd, offset, whence);
}

int CountedClose(int fd) {
  Book().openFiles.erase(fd);
  return kRealHostCalls.closeFile(fd);
}

int CountedMakeFolder(const char* path, mode_t mode) {
  Book().created.push_back(path);
  if (CountAndDecide(CallKind::kMakeFolder, path)) {
    errno = EACCES;
    return -1;
  }
  return kRealHostCalls.makeFolder(path, mode);
}

int CountedMakeFolderAt(int folder, const char* name, mode_t mode) {
  std::string path = PathIn(folder, name);
  Book().created.push_back(path);
  if (CountAndDecide(CallKind::kMakeFolder, path)) {
    errno = EACCES;
    return -1;
  }
  return kRealHostCalls.makeFolderAt(folder, name, mode);
}

void* CountedAllocate(size_t size) {
  if (CountAndDecide(CallKind::kAllocate, std::string())) return nullptr;
  void* block = kRealHostCalls.allocate(size);
  if (block != nullptr) Book().blocks.insert(block);
  return block;
}

void CountedRelease(void* block) {
  Book().blocks.erase(block);
  kRealHostCalls.release(block);
}

const HostCalls kCountingCalls = {
    CountedOpen,  CountedOpenAt,     CountedRead,         CountedWrite,    CountedSeek,
    CountedClose, CountedMakeFolder, CountedMakeFolderAt, CountedAllocate, CountedRelease};

}  // namespace

const char* CallKindName(CallKind kind) {
  switch (kind) {
    case CallKind::kOpen: return "open";
    case CallKind::kCreate: return "create";
    case CallKind::kRead: return "read";
    case CallKind::kWrite: return "write";
    case CallKind::kSeek: return "seek";
    case CallKind::kMakeFolder: return "make folder";
    case CallKind::kAllocate: return "allocate";
  }
  return "?";
}

void StartCountingCalls(uint32_t failAt) {
  Book() = CallBook();
  Book().failAt = failAt;
  g_hostCalls = kCountingCalls;
}

void StopCountingCalls() { g_hostCalls = kRealHostCalls; }

const std::vector<CountedCall>& CountedCalls() { return Book().calls; }

bool InjectedFailureHappened() { return Book().failed; }

size_t FilesStillOpen() { return Book().openFiles.size(); }

size_t BlocksStillAllocated() { return Book().blocks.size(); }

void ReleaseWhatIsStillHeld() {
  for (const auto& file : Book().openFiles) kRealHostCalls.closeFile(file.first);
  for (void* block : Book().blocks) kRealHostCalls.release(block);
  Book().openFiles.clear();
  Book().blocks.clear();
}

const std::vector<std::string>& PathsCreated() { return Book().created; }
