// The progress a pass shows in the main dialog: the status line with the
// file being unzipped, or the meter in its place. The pass reports through
// the calls of stub/progress.h, defined here.
#pragma once

// --- Process-wide state of the progress display (ResetProgressDisplay) ---

// True while the meter stands in the status line's place.
extern bool g_meterShown;

void ResetProgressDisplay();
