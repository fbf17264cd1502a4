#include "base/abort.h"

#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "base/boxes.h"
#include "base/exit_codes.h"
#include "base/run_facts.h"

const char kStubCaption[] = "Arcula Self-Extractor";
const char kHeaderCorruptText[] =
    "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";
const char kNotEnoughMemoryText[] = "not enough memory";
const char kNoMemoryForResourcesText[] = "no memory for resources";

JumpBuffer g_abortPoint;
int g_jumpCode;
int g_abortExitCode;
WindowHandle g_mainDialog;
char g_formatBuffer[kFormatBufferSize];

namespace {

[[noreturn]] void JumpWithCode(int code, int exitCode) {
  g_jumpCode = code;
  g_abortExitCode = exitCode;
  TAKE_JUMP(g_abortPoint);
  __builtin_unreachable();
}

}  // namespace

void ResetAbortPoint() {
  FillBytes(&g_abortPoint, 0, sizeof(g_abortPoint));
  g_jumpCode = 0;
  g_abortExitCode = kExitFailure;
  g_mainDialog = nullptr;
  FillBytes(g_formatBuffer, 0, sizeof(g_formatBuffer));
}

void FatalError(const char* text) { FatalErrorWithExitCode(kExitFailure, text); }

void FatalErrorWithExitCode(int exitCode, const char* text) {
  ShowBox(g_mainDialog, text, kStubCaption, kBoxOk | kBoxIconError);
  JumpWithCode(kJumpAborted, exitCode);
}

void FatalHeaderCorrupt() { FatalError(kHeaderCorruptText); }

void AbortPass() { JumpWithCode(kJumpAborted, g_silentMode ? kExitFailure : kExitCancelled); }

void CancelPass() { JumpWithCode(kJumpCancelled, g_silentMode ? kExitFileExists : kExitCancelled); }

bool AskOkCancel(const char* text, bool warning) {
  uint32_t style = kBoxOkCancel | (warning ? kBoxIconExclamation : 0);
  return ShowBox(g_mainDialog, text, kStubCaption, style) == kAnswerOk;
}
