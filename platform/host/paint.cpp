// Host side of painting: nothing to paint on. The meter's drawing decisions
// are tested through its plan (ui/meter.h), not through these calls.
#include "platform/paint.h"

DrawContext SysBeginPaint(WindowHandle, PaintSession* session) {
  session->context = nullptr;
  return nullptr;
}
void SysEndPaint(WindowHandle, PaintSession*) {}
PaintRect SysGetClientRect(WindowHandle) { return PaintRect{0, 0, 0, 0}; }
int32_t SysDisplayPixelsPerInchY() { return 96; }
FontHandle SysCreateMeterFont(int32_t) { return nullptr; }
FontHandle SysSelectFont(DrawContext, FontHandle) { return nullptr; }
void SysDeleteFont(FontHandle) {}
uint32_t SysGetSysColor(int) { return 0; }
void SysSetTextColours(DrawContext, uint32_t, uint32_t) {}
void SysSetTextAlign(DrawContext, uint32_t) {}
int SysMeasureTextHeight(DrawContext, const char*, int32_t*) { return 0; }
void SysDrawTextInRect(DrawContext, int32_t, int32_t, const PaintRect*, const char*) {}
