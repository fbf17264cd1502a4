// The heap bytes the process holds, for a target's check that a run hands
// back everything it took.
#pragma once

#include <cstddef>

// Bytes allocated and not yet freed, as AddressSanitizer's allocator counts
// them. Elsewhere always 0, so that the check passes there: the C library's
// own figures count freed chunks its caches hold as still in use, and they
// move from run to run by a few bytes to a kilobyte with nothing lost.
size_t AllocatedBytes();
