// The message pump that runs inside every output flush of a pass. The pass
// has the only thread, so this is where the dialog paints, the meter's timer
// ticks, and the user's click or key press becomes the question whether to
// abort.
#pragma once

#include "platform/types.h"

// What the pump does with one queued message.
enum PumpTreatment {
  kPumpDispatch = 0,    // translated and dispatched as usual (painting, timers, key releases)
  kPumpBusyCursor = 1,  // the hourglass again, nothing dispatched (mouse moves, WM_SETCURSOR)
  kPumpCandidate = 2,   // a press: the cancel question when aimed at the dialog, else dropped
  kPumpDrop = 3,        // dropped without dispatch (a WM_CHAR that is not a cancel candidate)
};

// Sorts a message by its number; a WM_CHAR counts as a press only when bit
// 31 of its second parameter is set.
PumpTreatment SortMessage(uint32_t message, intptr_t lParam);

// True when `window` is the main dialog or one of its controls.
bool IsAimedAtDialog(WindowHandle window);

// Handles the window messages waiting in the queue; true when the user has
// confirmed that the pass should be cancelled. Asks at most one question
// per call: input behind it waits for the next call.
bool PumpMessages();
