// Every message box of the stub goes through here. In a silent run none
// appears: the text goes to the log, when the command line asked for one,
// and the box takes the answer that stops the run: OK for a box with only
// OK, otherwise Cancel, No or Abort.
#pragma once

#include "platform/types.h"

// The platform's box (SysMessageBox), or its silent stand-in.
int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style);

// The buttons of a box's style (MB_TYPEMASK).
const uint32_t kButtonsMask = 0xF;

// The answer a silent run gives a box of `style`: whatever stops (OK, when
// that is the only button).
int StoppingAnswer(uint32_t style);
