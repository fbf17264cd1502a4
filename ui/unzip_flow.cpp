#include "ui/unzip_flow.h"

#include "archive/entry.h"
#include "archive/password_check.h"
#include "extract/output.h"
#include "paths/default_folder.h"
#include "paths/output_paths.h"
#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/directories.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "ui/progress.h"

void CompleteTargetFolder() {
  ExpandConfiguredFolder();
  if (g_outputPaths.targetFolder[0] == 0) {
    DefaultFolder(g_outputPaths.targetFolder);
  } else if (g_outputPaths.targetFolder[0] == '.' && g_outputPaths.targetFolder[1] == 0) {
    uint32_t length = SysGetCurrentDirectory(g_outputPaths.targetFolder, kTargetFolderSize);
    if (length == 0 || length >= kTargetFolderSize) g_outputPaths.targetFolder[0] = 0;
  }
}

bool RefuseTargetFolder() {
  if (g_outputPaths.targetFolder[0] == 0) {
    ShowBox(g_mainDialog, MessageText(kMessageNoFolder), kStubCaption, kBoxOk | kBoxIconError);
    return true;
  }
  if (TargetFolderUnexpanded()) {
    SysFormat(g_formatBuffer, MessageText(kMessageFolderFailed), g_outputPaths.configuredFolder);
    ShowBox(g_mainDialog, g_formatBuffer, kStubCaption, kBoxOk | kBoxIconError);
    return true;
  }
  return false;
}

bool RefusePasswordBeforePass(WindowHandle owner) {
  if (!g_entry.encryptionFlag) return false;
  PasswordVerdict verdict = CheckPasswordAhead();
  if (verdict != kPasswordMissing && verdict != kPasswordWrong) return false;
  int message = verdict == kPasswordMissing ? kMessageNoPassword : kMessageWrongPassword;
  ShowBox(owner, MessageText(message), kStubCaption, kBoxOk | kBoxIconError);
  return true;
}

void ReportPassOutcome(bool completed) {
  if (!completed) {
    CopyText(g_formatBuffer, MessageText(kMessageUnzipAborted), kFormatBufferSize);
    LogMessage(g_formatBuffer);
    return;
  }
  SysFormat(g_formatBuffer, MessageText(kMessageUnzipped), g_outputSink.fileCounter);
  if (g_unattendedMode) {
    LogMessage(g_formatBuffer);
  } else {
    ShowBox(g_mainDialog, g_formatBuffer, kStubCaption, kBoxOk);  // which logs it too
  }
}

void ResetPassCounters() {
  g_outputSink.bytesDone = 0;
  g_outputSink.lastMeterMark = 0;
  g_meterStepPosition = kNoMeterStep;
  g_outputSink.fileCounter = 0;
}
