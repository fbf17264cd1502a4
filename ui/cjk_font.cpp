#include "ui/cjk_font.h"

FontHandle g_cjkFont;
