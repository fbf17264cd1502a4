// The font for texts typed on a Chinese, Japanese, Korean or Thai system.
#pragma once

#include "platform/password_ui.h"

// Made at start-up on those ANSI code pages only, when the system could make
// it; null otherwise. Fields the user types into use it, so that the
// double-byte characters show; the dialogs' other texts keep their fonts.
extern FontHandle g_cjkFont;
