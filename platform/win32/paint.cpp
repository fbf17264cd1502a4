#include "platform/paint.h"

#include "platform/bytes.h"
#include "platform/win32/wide.h"

static_assert(sizeof(PaintSession) >= sizeof(PAINTSTRUCT), "PaintSession holds a PAINTSTRUCT");
static_assert(sizeof(PaintRect) == sizeof(RECT), "PaintRect is laid out as RECT");

namespace {

HDC Context(DrawContext context) { return static_cast<HDC>(context); }

const BYTE kMeterCharSet = 128;  // SHIFTJIS_CHARSET on every code page, as the meter always had

}  // namespace

DrawContext SysBeginPaint(WindowHandle window, PaintSession* session) {
  session->context = BeginPaint(static_cast<HWND>(window), reinterpret_cast<PAINTSTRUCT*>(session->storage));
  return session->context;
}

void SysEndPaint(WindowHandle window, PaintSession* session) {
  EndPaint(static_cast<HWND>(window), reinterpret_cast<PAINTSTRUCT*>(session->storage));
}

PaintRect SysGetClientRect(WindowHandle window) {
  PaintRect rect = {0, 0, 0, 0};
  GetClientRect(static_cast<HWND>(window), reinterpret_cast<RECT*>(&rect));
  return rect;
}

int32_t SysDisplayPixelsPerInchY() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (display == nullptr) return 0;
  int32_t pixels = GetDeviceCaps(display, LOGPIXELSY);
  DeleteDC(display);
  return pixels;
}

FontHandle SysCreateMeterFont(int32_t height) {
  LOGFONTA font;
  __builtin_memset(&font, 0, sizeof font);
  font.lfHeight = height;
  font.lfCharSet = kMeterCharSet;
  __builtin_memcpy(font.lfFaceName, "MS Sans Serif", 14);
  return CreateFontIndirectA(&font);
}

FontHandle SysSelectFont(DrawContext context, FontHandle font) {
  return SelectObject(Context(context), static_cast<HGDIOBJ>(font));
}

void SysDeleteFont(FontHandle font) { DeleteObject(static_cast<HGDIOBJ>(font)); }

uint32_t SysGetSysColor(int index) { return GetSysColor(index); }

void SysSetTextColours(DrawContext context, uint32_t text, uint32_t background) {
  SetTextColor(Context(context), text);
  SetBkColor(Context(context), background);
}

void SysSetTextAlign(DrawContext context, uint32_t align) { SetTextAlign(Context(context), align); }

int SysMeasureTextHeight(DrawContext context, const char* text, int32_t* height) {
  wchar_t wide[kWideTextUnits];
  SIZE size;
  if (!GetTextExtentPoint32W(Context(context), ToWide(text, wide), lstrlenW(wide), &size)) return 0;
  *height = size.cy;
  return 1;
}

void SysDrawTextInRect(DrawContext context, int32_t x, int32_t y, const PaintRect* rect, const char* text) {
  wchar_t wide[kWideTextUnits];
  ToWide(text, wide);
  ExtTextOutW(Context(context), x, y, ETO_OPAQUE | ETO_CLIPPED, reinterpret_cast<const RECT*>(rect), wide,
              static_cast<UINT>(lstrlenW(wide)), nullptr);
}
