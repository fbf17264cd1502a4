// Host-only: makes work memory run out, so tests can reach the paths that
// handle a failed allocation.
#pragma once

#include <cstdint>

// The next `count` allocations fail (return null); 0 ends the failing.
void HostFailAllocations(uint32_t count);
