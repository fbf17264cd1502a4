#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/host/host_calls.h"

namespace {

int RealOpen(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

int RealOpenAt(int folder, const char* name, int flags, mode_t mode) { return ::openat(folder, name, flags, mode); }

void* RealAllocate(size_t size) { return std::calloc(1, size); }

void RealRelease(void* block) { std::free(block); }

}  // namespace

constexpr HostCalls kRealHostCalls = {RealOpen, RealOpenAt, ::read,       ::write,     ::lseek,
                                      ::close,  ::mkdir,    ::mkdirat,    RealAllocate, RealRelease};

HostCalls g_hostCalls = kRealHostCalls;
