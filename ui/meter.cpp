#include "ui/meter.h"

#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/format.h"
#include "platform/window.h"
#include "base/messages.h"

const char kMeterClassName[] = "Meter";

MeterState g_meter;

namespace {

const uint32_t kMeterStartRange = 100;
const uint32_t kMeterStartPosition = 50;
const int32_t kMeterPoints = 6;
const int32_t kPointsPerInch = 72;

// Stores one word and repaints at once: a pass keeps the thread busy, so a
// repaint left for later would only come with the next pump. A word that
// keeps its value changes nothing on screen, and is not repainted: a pass
// sets the position at every 64 KiB of output, mostly to the percentage it
// already shows, and a paint costs more than that much output under Wine.
void StoreMeterWord(WindowHandle window, int offset, uintptr_t value) {
  uint16_t word = static_cast<uint16_t>(value & 0xFFFF);
  if (SysGetWindowWord(window, offset) == word) return;
  SysSetWindowWord(window, offset, word);
  SysInvalidateWindow(window);
  SysUpdateWindow(window);
}

void OnMeterCreate(WindowHandle window) {
  SysSendMessage(window, kMeterSetRangeMessage, kMeterStartRange, 0);
  SysSendMessage(window, kMeterSetPositionMessage, kMeterStartPosition, 0);
}

// Selects the meter's font, made at the first paint; returns the font it
// replaces, which the paint selects back before it ends.
FontHandle SelectMeterFont(DrawContext context) {
  if (g_meter.font == nullptr) g_meter.font = SysCreateMeterFont(MeterFontHeight(SysDisplayPixelsPerInchY()));
  if (g_meter.font == nullptr) return nullptr;
  return SysSelectFont(context, g_meter.font);
}

void OnMeterDestroy() {
  if (g_meter.font != nullptr) SysDeleteFont(g_meter.font);
  g_meter.font = nullptr;
}

// The two opaque draws together cover the whole client area, which is why
// the class needs no background brush. When the text cannot be measured,
// only the rest is drawn, with the text a quarter down the bar.
void OnMeterPaint(WindowHandle window) {
  uint32_t range = static_cast<uint32_t>(SysSendMessage(window, kMeterGetRangeMessage, 0, 0));
  uint32_t position = static_cast<uint32_t>(SysSendMessage(window, kMeterGetPositionMessage, 0, 0));
  char text[kMeterTextSize];
  FormatMeterText(text, g_meter.fileName);

  PaintSession session;
  DrawContext context = SysBeginPaint(window, &session);
  FontHandle previous = SelectMeterFont(context);
  SysSetTextAlign(context, kTextAlignCentreTop);
  PaintRect client = SysGetClientRect(window);
  int32_t textHeight = 0;
  int measured = SysMeasureTextHeight(context, "X", &textHeight);
  MeterPlan plan = PlanMeter(client.right, client.bottom, range, position, measured != 0 ? textHeight : 0);

  uint32_t highlight = SysGetSysColor(kColorHighlight);
  uint32_t highlightText = SysGetSysColor(kColorHighlightText);
  if (measured != 0) {
    MeterColours filled = FilledPartColours(highlight, highlightText);
    SysSetTextColours(context, filled.text, filled.background);
    SysDrawTextInRect(context, plan.textX, plan.textY, &plan.filled, text);
  }
  MeterColours rest = RestColours(highlight, highlightText);
  SysSetTextColours(context, rest.text, rest.background);
  SysDrawTextInRect(context, plan.textX, plan.textY, &plan.rest, text);

  if (previous != nullptr) SysSelectFont(context, previous);
  SysEndPaint(window, &session);
}

}  // namespace

MeterPlan PlanMeter(int32_t width, int32_t height, uint32_t range, uint32_t position, int32_t textHeight) {
  if (range == 0) {
    range = 1;
    position = 0;
  }
  // Unsigned, so that a position past the range on a wide bar wraps rather
  // than overflowing; a client area is never negative.
  int32_t edge = static_cast<int32_t>(static_cast<uint32_t>(width) * position / range);
  MeterPlan plan;
  plan.filled = PaintRect{0, 0, edge, height};
  plan.rest = PaintRect{edge, 0, width, height};
  plan.textX = width / 2;
  plan.textY = (height - textHeight) >> 2;  // a quarter of the spare height: above the middle
  return plan;
}

MeterColours FilledPartColours(uint32_t highlight, uint32_t highlightText) {
  return MeterColours{highlightText, highlight};
}

MeterColours RestColours(uint32_t highlight, uint32_t highlightText) {
  return MeterColours{highlight, highlightText};
}

int32_t MeterFontHeight(int32_t pixelsPerInch) { return pixelsPerInch * -kMeterPoints / kPointsPerInch; }

void FormatMeterText(char* text, const char* outputPath) {
  // A long file name must not overflow the meter's buffer: formatted in full,
  // then cut.
  char formatted[kFormatLimit];
  SysFormat(formatted, MessageText(kMessageUnzipping), FileNamePart(outputPath));
  CopyText(text, formatted, kMeterTextSize);
}

void ResetMeter() {
  g_meter.font = nullptr;
  FillBytes(g_meter.fileName, 0, sizeof(g_meter.fileName));
}

// The name is cut where the text across the bar would cut it: the message
// puts it after a fixed start, and the text keeps no more than
// kMeterTextSize - 1 bytes.
void SetMeterEntry(const char* outputPath) {
  CopyText(g_meter.fileName, FileNamePart(outputPath), kMeterTextSize);
}

void RegisterMeterClass(InstanceHandle instance) {
  SysRegisterWindowClass(instance, kMeterClassName, MeterProc, kMeterWindowBytes);
}

intptr_t DIALOG_CALLBACK MeterProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  switch (message) {
    case kWmCreate:
      OnMeterCreate(window);
      return 0;
    case kWmDestroy:
      OnMeterDestroy();
      return 0;
    case kWmPaint:
      OnMeterPaint(window);
      return 0;
    case kWmGetDlgCode:
      return kDlgcStatic;
    case kMeterSetRangeMessage:
      StoreMeterWord(window, kMeterRangeWord, wParam);
      return 0;
    case kMeterGetRangeMessage:
      return SysGetWindowWord(window, kMeterRangeWord);
    case kMeterSetPositionMessage:
      StoreMeterWord(window, kMeterPositionWord, wParam);
      return 0;
    case kMeterGetPositionMessage:
      return SysGetWindowWord(window, kMeterPositionWord);
    default:
      return SysDefWindowProc(window, message, wParam, lParam);
  }
}
