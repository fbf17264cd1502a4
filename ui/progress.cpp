#include "ui/progress.h"

#include "inflate/output.h"
#include "paths/path_routines.h"
#include "platform/format.h"
#include "platform/window.h"
#include "stub/abort.h"
#include "stub/messages.h"
#include "stub/progress.h"
#include "stub/settings.h"
#include "ui/controls.h"
#include "ui/meter.h"
#include "ui/pump.h"

bool g_meterShown;

namespace {


void SetMeterPosition(uint32_t bytesDone) {
  SysSendDlgItemMessage(g_mainDialog, kMeterControl, kMeterSetPositionMessage,
                        MeterPercent(bytesDone, g_settings.totalSize), 0);
}

void RepaintMeter() {
  SysInvalidateControl(g_mainDialog, kMeterControl);
  SysUpdateWindow(g_mainDialog);
}

}  // namespace

void ResetProgressDisplay() { g_meterShown = false; }

void ShowUnzipping(const char* outputPath) {
  if (g_meterShown) return;
  char status[kFormatLimit];
  SysFormat(status, MessageText(kMessageUnzipping), FileNamePart(outputPath));
  SysSetDlgItemText(g_mainDialog, kStatusLine, status);
  SysInvalidateControl(g_mainDialog, kStatusLine);
}

void ShowMeterStep(uint32_t bytesDone) {
  if (g_meterShown) SetMeterPosition(bytesDone);
  RepaintMeter();
}

void ShowProgressBeforeQuestion() {
  if (!g_meterShown) return;
  SetMeterPosition(g_bytesDone);
  RepaintMeter();
}

bool PassCancelRequested() { return PumpMessages(); }
