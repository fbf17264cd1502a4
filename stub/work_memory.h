// The work memory of a run, allocated once at start-up and freed at shutdown:
// the decoder's window and the input and output buffers, all zero-filled.
#pragma once

// 0 when all three exist; 1 when any is missing (start-up then reports the
// header-corrupt message).
int AllocateWorkMemory();

// Frees whichever of the three exist.
void FreeWorkMemory();
