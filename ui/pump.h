// The message pump that runs inside every output flush of a pass.
#pragma once

// Handles the window messages waiting in the queue; 1 when the user has
// confirmed that the pass should be cancelled.
int PumpMessages();
