// The progress a pass shows in the main dialog: the status line with the
// file being unzipped, or the meter in its place. The pass reports through
// the calls of base/progress.h, defined here.
#pragma once

#include "platform/types.h"

// --- Process-wide state of the progress display (ResetProgressDisplay) ---

// True while the meter stands in the status line's place.
extern bool g_meterShown;

// The position (share of the total) the pass's last meter step gave the
// meter, or kNoMeterStep before its first: a step that would give it the
// same again sends nothing. ResetPassCounters clears it for each pass.
const uint32_t kNoMeterStep = 0xFFFFFFFF;
extern uint32_t g_meterStepPosition;

void ResetProgressDisplay();
