// The main dialog. Its Unzip command, in short:
//
//   Close becomes the default button, Unzip is disabled
//   -> overwrite option and folder read back from the controls
//   -> folder refused (message shown): Unzip enabled again, dialog stays
//   -> password asked (when the archive is encrypted); Cancel: as above
//   -> meter prepared (shown at once, or by the timer half a second on)
//   -> the pass runs here, nested in the command; the pump inside it
//      dispatches this dialog's paint and timer messages
//   -> meter hidden, status line back
//   -> aborted: "Unzip Aborted", the dialog ends
//   -> completed: "%d file(s) unzipped successfully" in the status line and
//      a box (unattended: Close posted instead); Unzip enabled again
#include "ui/main_dialog.h"

#include "extract/scanner.h"
#include "extract/output.h"
#include "paths/output_paths.h"
#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/format.h"
#include "platform/memory.h"
#include "platform/session.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "archive/password.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/exit_codes.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/run_facts.h"
#include "base/settings.h"
#include "ui/archiver.h"
#include "ui/cjk_font.h"
#include "ui/dialog_rules.h"
#include "ui/meter.h"
#include "ui/password.h"
#include "ui/progress.h"
#include "ui/unzip_flow.h"

bool g_folderBrowserAvailable;
bool g_passAborted;
int g_dialogExitCode;

namespace {

const uint32_t kFolderFieldLimit = kTargetFolderUnits;  // the field counts UTF-16 units
const intptr_t kRedraw = 1;

uintptr_t g_meterTimer;  // what SetTimer returned; 0 while no timer is armed

void SetStatusLine(WindowHandle dialog, const char* text) { SysSetDlgItemText(dialog, kStatusLine, text); }

void ShowMessage(WindowHandle dialog, const char* text) { ShowBox(dialog, text, kStubCaption, kBoxOk); }

void SendToMeter(WindowHandle dialog, uint32_t message, uint32_t value) {
  SysSendDlgItemMessage(dialog, kMeterControl, message, value, 0);
}

// The meter takes the status line's place at the bottom of the dialog.
void ShowMeterInsteadOfStatus(WindowHandle dialog) {
  SysShowControl(dialog, kStatusLine, 0);
  g_meterShown = true;
  SysShowControl(dialog, kMeterControl, 1);
}

void OnInitDialog(WindowHandle dialog) {
  if (g_cjkFont != nullptr) SysSetFont(dialog, 0, g_cjkFont);
  SysCentreWindow(dialog);
  if (!g_folderBrowserAvailable) SysDestroyControl(dialog, kBrowseButton);
  // Gone rather than moved over: the other controls keep their places, and
  // neither a click nor its accelerator can reach a button that is not there.
  if ((g_settings.flags & kFlagNoArchiverButton) != 0) SysDestroyControl(dialog, kRunArchiverButton);
  SysSendDlgItemMessage(dialog, kOverwriteCheckbox, kBmSetCheck, static_cast<uint32_t>(g_outputPaths.overwriteSetting), 0);
  SysShowControl(dialog, kMeterControl, 0);
  g_scanner.passRunning = false;

  const char* fileName = FileNamePart(g_executablePath);
  FormatIntroduction(g_formatBuffer, fileName);
  SysSetDlgItemText(dialog, kIntroductionControl, g_formatBuffer);
  FormatCaption(g_formatBuffer, fileName, g_settings.flags, g_title);
  SysSetWindowText(dialog, g_formatBuffer);

  SysSendDlgItemMessage(dialog, kFolderField, kEmLimitText, kFolderFieldLimit, 0);
  CompleteTargetFolder();
  SysSetDlgItemText(dialog, kFolderField, g_outputPaths.targetFolder);
  g_mainDialog = dialog;
  SysShowControl(dialog, kUnusedCheckbox, 0);
  SetStatusLine(dialog, "");
  // The pass starts from the dialog's own message loop, once it is shown.
  if (g_unattendedMode) SysPostCommand(dialog, kUnzipButton);
  SysBringToFront(dialog);
}

// The dialog manager sends this once before the controls exist (nothing is
// found then) and again when the dialog gives itself the CJK font.
void OnSetFont(WindowHandle dialog) {
  if (g_cjkFont == nullptr) return;
  SysSetFont(dialog, kIntroductionControl, g_cjkFont);
  SysSetFont(dialog, kStatusLine, g_cjkFont);
}

// From the first Unzip on, Enter means Close.
void MakeCloseTheDefault(WindowHandle dialog) {
  SysSendMessage(dialog, kDmSetDefId, kCloseButton, 0);
  SysSendDlgItemMessage(dialog, kUnzipButton, kBmSetStyle, kBsPushButton, kRedraw);
  SysSendDlgItemMessage(dialog, kCloseButton, kBmSetStyle, kBsDefPushButton, kRedraw);
}

// Before a pass: the meter at 0 of 100, and either shown now or left to the
// timer, which shows it only for a pass that is slow to get going.
void PrepareMeter(WindowHandle dialog) {
  g_meterShown = false;
  if (SysHasControl(dialog, kMeterControl) == 0) return;
  SendToMeter(dialog, kMeterSetPositionMessage, 0);
  SendToMeter(dialog, kMeterSetRangeMessage, 100);
  g_meterTimer = 0;
  if (WaitsForMeterTimer(g_settings.endRecordOffset, g_settings.flags)) {
    g_meterTimer = SysSetTimer(dialog, kMeterTimerId, kMeterTimerPeriod);
  }
  if (g_meterTimer == 0) ShowMeterInsteadOfStatus(dialog);
}

void StopMeterTimer(WindowHandle dialog) {
  if (g_meterTimer == 0) return;
  SysKillTimer(dialog, kMeterTimerId);
  g_meterTimer = 0;
}

// After a pass the status line is back, whatever the meter did.
void PutStatusLineBack(WindowHandle dialog) {
  StopMeterTimer(dialog);
  SendToMeter(dialog, kMeterSetPositionMessage, 100);
  SysInvalidateWindow(dialog);
  SysUpdateWindow(dialog);
  if (SysHasControl(dialog, kMeterControl) != 0 && g_meterShown) {
    SysShowControl(dialog, kMeterControl, 0);
    SysShowControl(dialog, kStatusLine, 1);
  }
  SysInvalidateWindow(dialog);
  SysUpdateWindow(dialog);
  SetStatusLine(dialog, "");
}

// The count goes in the status line first, so that it stands behind the box.
void ReportCompletedPass(WindowHandle dialog) {
  SysFormat(g_formatBuffer, MessageText(kMessageUnzipped), g_outputSink.fileCounter);
  SetStatusLine(dialog, g_formatBuffer);
  g_dialogExitCode = kExitSuccess;
  ReportPassOutcome(true);
  if (g_unattendedMode) SysPostCommand(dialog, kCloseButton);
}

void RunUnzip(WindowHandle dialog) {
  g_outputPaths.overwriteSetting = SysSendDlgItemMessage(dialog, kOverwriteCheckbox, kBmGetCheck, 0, 0) == 1;
  SysGetDlgItemText(dialog, kFolderField, g_outputPaths.targetFolder, kTargetFolderSize);
  if (RefuseTargetFolder()) return;
  SetStatusLine(dialog, "");
  // A wrong password is asked for again before anything is made. Without a
  // stored one (the password dialog could not be made) the pass says so.
  do {
    if (!AskPassword(dialog)) return;
  } while (StoredPassword() != nullptr && RefusePasswordBeforePass(dialog));
  PrepareMeter(dialog);
  ResetPassCounters();
  int code = RunPass();
  PutStatusLineBack(dialog);
  if (code != kJumpCompleted) {
    // The reason was shown already (a fatal error's box) or was the user's
    // own choice (Cancel, a confirmed abort).
    g_passAborted = true;
    g_dialogExitCode = g_abortExitCode;
    ReportPassOutcome(false);
    SetStatusLine(dialog, MessageText(kMessageUnzipAborted));
    SysEndDialog(dialog, 1);
    return;
  }
  ReportCompletedPass(dialog);
}

void OnUnzip(WindowHandle dialog) {
  MakeCloseTheDefault(dialog);
  SysEnableControl(dialog, kUnzipButton, 0);
  RunUnzip(dialog);
  if (!g_passAborted) SysEnableControl(dialog, kUnzipButton, 1);
}

// Only the timer's first tick counts, and only while no box of the pass
// (an overwrite or disk prompt) is open: a tick then waits for the next one.
void OnTimer(WindowHandle dialog, uintptr_t id) {
  if (id != kMeterTimerId || SysGetLastActivePopup(dialog) != dialog) return;
  StopMeterTimer(dialog);
  bool meterExists = SysHasControl(dialog, kMeterControl) != 0;
  if (!ShowsMeterOnTick(meterExists, g_scanner.passRunning, g_outputSink.bytesDone, g_settings.totalSize)) return;
  ShowMeterInsteadOfStatus(dialog);
  SysInvalidateControl(dialog, kMeterControl);
}

// The help text quotes the whole file name, which can make it longer than
// the formatting buffer: formatted here instead.
void OnHelp(WindowHandle dialog) {
  char text[kFormatLimit];
  SysFormat(text, MessageText(kMessageIntroduction), FileNamePart(g_executablePath));
  ShowMessage(dialog, text);
}

void OnAbout(WindowHandle dialog) {
  SysFormat(g_formatBuffer, MessageText(kMessageAbout));
  ShowMessage(dialog, g_formatBuffer);
}

void OnRunArchiver(WindowHandle dialog) {
  if (!OpenInArchiver()) return;
  g_dialogExitCode = kExitSuccess;
  SysEndDialog(dialog, 1);
}

// The chosen folder only becomes the field's text: Unzip reads the field.
void OnBrowse(WindowHandle dialog) {
  if (SysBrowseForFolder(dialog, MessageText(kMessageBrowseTitle), g_outputPaths.targetFolder, kTargetFolderSize) != 0) {
    SysSetDlgItemText(dialog, kFolderField, g_outputPaths.targetFolder);
  }
}

// The dialog manager sends Return as the OK command, and Escape and the close
// box as Cancel: Unzip and Close carry those ids, so that the keys do what
// the buttons do.
static_assert(kUnzipButton == kIdOk && kCloseButton == kIdCancel, "Return unzips, Escape closes");

intptr_t OnCommand(WindowHandle dialog, uintptr_t command) {
  switch (command) {
    case kUnzipButton: OnUnzip(dialog); return 0;
    case kCloseButton: SysEndDialog(dialog, 1); return 1;
    case kHelpButton: OnHelp(dialog); return 0;
    case kAboutButton: OnAbout(dialog); return 0;
    case kRunArchiverButton: OnRunArchiver(dialog); return 0;
    case kBrowseButton: OnBrowse(dialog); return 0;
    default: return 0;
  }
}

}  // namespace

void ResetMainDialog() {
  g_folderBrowserAvailable = false;
  g_passAborted = false;
  g_dialogExitCode = kExitCancelled;
  g_meterTimer = 0;
}

int RunMainDialog() {
  // The dialog manager wants the template 4-byte aligned; inside the string
  // table it may lie anywhere.
  uint8_t* block = static_cast<uint8_t*>(SysAlloc(kMainDialogCopySize));
  if (block == nullptr) return kExitFailure;
  g_dialogExitCode = kExitCancelled;
  CopyBytes(block, MessageText(kMessageMainDialog), kMainDialogCopySize);
  intptr_t result = SysRunDialog(block, nullptr, MainDialogProc);
  SysFree(block);
  g_mainDialog = nullptr;
  return result == -1 ? kExitFailure : g_dialogExitCode;
}

intptr_t DIALOG_CALLBACK MainDialogProc(WindowHandle dialog, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  (void)lParam;
  switch (message) {
    case kWmInitDialog:
      OnInitDialog(dialog);
      return 1;  // the focus goes to the first control that takes it: the folder field
    case kWmSetFont:
      OnSetFont(dialog);
      return 0;
    case kWmCommand:
      return OnCommand(dialog, wParam);
    case kWmTimer:
      OnTimer(dialog, wParam);
      return 0;
    default:
      return 0;
  }
}
