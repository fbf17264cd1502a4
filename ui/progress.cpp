#include "ui/progress.h"

#include "extract/output.h"
#include "paths/path_routines.h"
#include "platform/format.h"
#include "platform/window.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/progress.h"
#include "base/settings.h"
#include "ui/controls.h"
#include "ui/meter.h"
#include "ui/pump.h"

bool g_meterShown;
uint32_t g_meterStepPosition;

namespace {

// A file's data has started since the last meter step: the meter's text (or
// the status line) names another file, and the next step repaints it.
bool g_fileStartedSinceStep;

void SetMeterPosition(uint32_t position) {
  SysSendDlgItemMessage(g_mainDialog, kMeterControl, kMeterSetPositionMessage, position, 0);
}

void RepaintMeter() {
  SysInvalidateControl(g_mainDialog, kMeterControl);
  SysUpdateWindow(g_mainDialog);
}

}  // namespace

void ResetProgressDisplay() {
  g_meterShown = false;
  g_meterStepPosition = kNoMeterStep;
  g_fileStartedSinceStep = false;
}

void ShowCurrentEntry(const char* outputPath) { SetMeterEntry(outputPath); }

void ShowUnzipping(const char* outputPath) {
  g_fileStartedSinceStep = true;
  if (g_meterShown) return;
  char status[kFormatLimit];
  SysFormat(status, MessageText(kMessageUnzipping), FileNamePart(outputPath));
  SysSetDlgItemText(g_mainDialog, kStatusLine, status);
  SysInvalidateControl(g_mainDialog, kStatusLine);
}

// The meter moves, and repaints itself, when its position changes: a large
// pass has many more 64 KiB steps than positions, and every message to the
// dialog is a round trip to the server under Wine. The name across the meter
// changes only when a file starts.
void ShowMeterStep(uint32_t bytesDone) {
  uint32_t position = MeterPercent(bytesDone, g_settings.totalSize);
  if (g_meterShown && position != g_meterStepPosition) {
    g_meterStepPosition = position;
    SetMeterPosition(position);
  }
  if (!g_fileStartedSinceStep) return;
  g_fileStartedSinceStep = false;
  RepaintMeter();
}

void ShowProgressBeforeQuestion() {
  if (!g_meterShown) return;
  SetMeterPosition(MeterPercent(g_outputSink.bytesDone, g_settings.totalSize));
  RepaintMeter();
}

bool PassCancelRequested() { return PumpMessages(); }
