// The progress meter: a control of its own window class that draws a bar
// filled from the left in proportion to position over range, with "Unzipping"
// and the current entry's name across it, inverted over the filled part.
// It keeps range and position in two 16-bit window words and is driven by
// four private messages.
#pragma once

#include "platform/paint.h"
#include "platform/types.h"
#include "platform/ui.h"

extern const char kMeterClassName[];  // "Meter"

// The meter's messages; the set messages take the new value in the first
// parameter and keep its low 16 bits.
const uint32_t kMeterSetRangeMessage = kWmUser;
const uint32_t kMeterGetRangeMessage = kWmUser + 1;
const uint32_t kMeterSetPositionMessage = kWmUser + 2;
const uint32_t kMeterGetPositionMessage = kWmUser + 3;

// Byte offsets of the two window words.
const int kMeterRangeWord = 0;
const int kMeterPositionWord = 2;
const int kMeterWindowBytes = 4;

// The text across the bar: 99 characters and the terminator.
const uint32_t kMeterTextSize = 100;

// --- Process-wide state of the meter (ResetMeter puts it back) ---
// The program shows one meter at a time.
struct MeterState {
  // The font of the text across the bar, made at the first paint and
  // released when the meter is destroyed: a paint comes at every percent of
  // a pass, and making a font (with a display context to size it) costs more
  // than the paint itself under Wine.
  FontHandle font;
  // The file-name part of the current entry's output path, as much of it as
  // the text across the bar can show (SetMeterEntry).
  char fileName[kMeterTextSize];
};
extern MeterState g_meter;

void ResetMeter();

// The entry the text across the bar names from its next paint on: the one
// whose output is at `outputPath`.
void SetMeterEntry(const char* outputPath);

// Where the two parts of the bar lie and where the text is drawn (the same
// point for both parts, so that the text reads as one string whose colours
// change at the fill edge).
struct MeterPlan {
  PaintRect filled;
  PaintRect rest;
  int32_t textX;  // the text is centred on it
  int32_t textY;  // top of the text
};

// The plan for a client area `width` by `height`, the stored range and
// position, and the height of the text. A range of 0 draws an empty bar.
MeterPlan PlanMeter(int32_t width, int32_t height, uint32_t range, uint32_t position, int32_t textHeight);

// The text and background colours of each part: the filled part in
// highlight-text colour on highlight colour, the rest the other way round.
struct MeterColours {
  uint32_t text;
  uint32_t background;
};
MeterColours FilledPartColours(uint32_t highlight, uint32_t highlightText);
MeterColours RestColours(uint32_t highlight, uint32_t highlightText);

// The meter font's height for the display's pixels per inch: a 6-point
// character height (negative: the height of the characters, not the cell).
int32_t MeterFontHeight(int32_t pixelsPerInch);

// kMessageUnzipping "Unzipping %s" with the file-name part of `outputPath`, cut to
// the meter's 99 characters.
void FormatMeterText(char* text, const char* outputPath);

// Registers the meter's window class for the dialog template to use.
void RegisterMeterClass(InstanceHandle instance);

// The meter's window procedure.
intptr_t DIALOG_CALLBACK MeterProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
