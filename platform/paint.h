// Painting a control: the paint context, the fonts, the colours and the text
// output the progress meter draws with. On the host the calls do nothing;
// the drawing decisions are tested through the meter's own plan.
#pragma once

#include "platform/password_ui.h"
#include "platform/types.h"

typedef void* DrawContext;

struct PaintRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// The platform's PAINTSTRUCT, kept by the caller between begin and end.
struct PaintSession {
  DrawContext context;
  uint32_t storage[16];
};

// GetSysColor indexes.
const int kColorHighlight = 13;
const int kColorHighlightText = 14;

// SetTextAlign value: centred on the reference point, top at it.
const uint32_t kTextAlignCentreTop = 6;

DrawContext SysBeginPaint(WindowHandle window, PaintSession* session);
void SysEndPaint(WindowHandle window, PaintSession* session);

// The client rectangle (left and top are 0).
PaintRect SysGetClientRect(WindowHandle window);

// LOGPIXELSY of the display, from a display context made and deleted here.
int32_t SysDisplayPixelsPerInchY();

// A font with every LOGFONT field 0 but the height, character set 128 and
// the face "MS Sans Serif"; null when it cannot be made.
FontHandle SysCreateMeterFont(int32_t height);

// Selects a font into the context; the font it replaced (null for none).
FontHandle SysSelectFont(DrawContext context, FontHandle font);
void SysDeleteFont(FontHandle font);

uint32_t SysGetSysColor(int index);
void SysSetTextColours(DrawContext context, uint32_t text, uint32_t background);
void SysSetTextAlign(DrawContext context, uint32_t align);

// The height of `text` in the context's font: 1 with *height set, 0 when it
// cannot be measured.
int SysMeasureTextHeight(DrawContext context, const char* text, int32_t* height);

// ExtTextOutA with ETO_OPAQUE | ETO_CLIPPED: `rect` is filled with the
// background colour and the text is drawn clipped to it.
void SysDrawTextInRect(DrawContext context, int32_t x, int32_t y, const PaintRect* rect, const char* text);
