// Text for whoever started the program from a command line or a script. The
// stub is a GUI program: Windows gives it no console of its own, so a line
// meant for a script goes where the starter can read it.
#pragma once

#include "platform/types.h"

// Writes `text` (UTF-8) and a line end to the starter: to the standard
// error when that goes to a file or a pipe (a script redirected it), else
// to the console of the program that started this one. False when there is
// neither (a double-click, a shortcut): the caller then shows the text in a
// box.
bool SysTellStarter(const char* text);
