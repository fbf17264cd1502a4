// The work memory of a run, allocated once at start-up and freed at shutdown:
// the decoder's window and the input buffer, both zero-filled. The decoder,
// the archive input and the output sink use them; this module owns them, so
// that none of those needs another's header to find its buffer.
#pragma once

#include "platform/types.h"

// The decoder's 32 KiB window, with room behind it for a match that runs past
// its end before the wrap.
const uint32_t kWindowSize = 0x8000;
const uint32_t kWindowAllocation = 32776;

// The archive input moves entry data in blocks of up to this size (one read
// each: a read costs a system call, and a round trip to the server under
// Wine); its buffer carries a little slack behind the block.
const uint32_t kInputBufferSize = 0x10000;
const uint32_t kInputBufferAllocation = kInputBufferSize + 20;

// --- Process-wide state of the work memory (FreeWorkMemory puts it back) ---
extern uint8_t* g_window;        // kWindowAllocation bytes
extern uint8_t* g_inputBuffer;   // kInputBufferAllocation bytes

// True when both exist; false when either is missing (start-up then reports
// the header-corrupt message).
bool AllocateWorkMemory();

// Frees whichever of the two exist and forgets them.
void FreeWorkMemory();
