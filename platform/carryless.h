// Carry-less multiplication (PCLMULQDQ with SSE2), where the processor has
// it: the step that lets the CRC-32 take 16 bytes at a time. The same on
// both sides: it asks the processor, not the system.
#pragma once

#include "platform/types.h"

// True when this processor multiplies without carries.
bool SysCanMultiplyWithoutCarry();

// Folds `blocks` (at least 1) 16-byte blocks into one 128-bit value that
// stands for them: `preset` goes into the first block's first four bytes,
// then each fold multiplies the value by the two lanes of `multipliers`
// (the low lane times the value's low half, the high lane times its high
// half) and adds the next block. Only with SysCanMultiplyWithoutCarry.
void SysFoldBlocks(const uint8_t* bytes, uint32_t blocks, uint32_t preset, const uint64_t multipliers[2],
                   uint8_t folded[16]);
