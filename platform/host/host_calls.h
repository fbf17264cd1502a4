// Host-only: the raw system calls under the host side's file, folder and
// memory calls, as one table of function pointers. It starts out as the real
// calls; a test replaces entries to make any one call fail (the N-th read, a
// create, an allocation) or to count what is opened and allocated, and puts
// the real table back afterwards. The Win32 side has no such table: the stub
// calls the system directly.
#pragma once

#include <sys/types.h>

#include <cstddef>

struct HostCalls {
  int (*openFile)(const char* path, int flags, mode_t mode);  // open(2); flags with O_CREAT create
  int (*openFileAt)(int folder, const char* name, int flags, mode_t mode);  // openat(2), the same
  ssize_t (*readFile)(int fd, void* buffer, size_t count);
  ssize_t (*writeFile)(int fd, const void* buffer, size_t count);
  off_t (*seekFile)(int fd, off_t offset, int whence);  // lseek(2)
  int (*closeFile)(int fd);
  int (*makeFolder)(const char* path, mode_t mode);  // mkdir(2)
  int (*makeFolderAt)(int folder, const char* name, mode_t mode);  // mkdirat(2)
  void* (*allocate)(size_t size);                     // zero-filled; null when there is no memory
  void (*release)(void* block);                       // never given null
};

// The calls the host side makes now.
extern HostCalls g_hostCalls;

// The real system calls: what g_hostCalls holds at start, and what a
// replacement passes the calls on to.
extern const HostCalls kRealHostCalls;
