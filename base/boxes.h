// Every message box of the stub goes through here. In a silent run none
// appears: the text goes to the log, when the command line asked for one,
// and the box takes the answer that stops the run: OK for a box with only
// OK, otherwise Cancel, No or Abort.
#pragma once

#include "platform/types.h"

// The platform's box (SysMessageBox), or its silent stand-in.
int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style);
