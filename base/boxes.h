// Every message box of the stub goes through here. In a silent run none
// appears: the text goes to the log, when the command line asked for one,
// and the box takes the answer that stops the run: OK for a box with only
// OK, otherwise Cancel, No or Abort.
#pragma once

#include "platform/types.h"

// The platform's box (SysMessageBox), or its silent stand-in. A box asked
// for with kStubCaption gets RunCaption() instead, so that no caller needs
// to know about --caption-title.
int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style);

// The buttons of a box's style (MB_TYPEMASK).
const uint32_t kButtonsMask = 0xF;

// The answer a silent run gives a box of `style`: whatever stops (OK, when
// that is the only button).
int StoppingAnswer(uint32_t style);

// The caption of the stub's windows: kStubCaption, or, with kFlagTitleCaption
// once the config block was read, TitleCaption(g_title). The setup's author
// chose that name; the person running the setup should see one name on every
// window of it.
const char* RunCaption();

// `title`, or kMessageSetup "Setup" when it is empty.
const char* TitleCaption(const char* title);
