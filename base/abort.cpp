#include "base/abort.h"

#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "base/boxes.h"

const char kStubCaption[] = "Arcula Self-Extractor";
const char kHeaderCorruptText[] =
    "Arcula Self-Extractor header corrupt.  Possible cause:  bad disk or file transfer error";
const char kNotEnoughMemoryText[] = "not enough memory";
const char kNoMemoryForResourcesText[] = "no memory for resources";

JumpBuffer g_abortPoint;
int g_jumpCode;
WindowHandle g_mainDialog;
char g_formatBuffer[kFormatBufferSize];

namespace {

[[noreturn]] void JumpWithCode(int code) {
  g_jumpCode = code;
  TAKE_JUMP(g_abortPoint);
  __builtin_unreachable();
}

}  // namespace

void ResetAbortPoint() {
  FillBytes(&g_abortPoint, 0, sizeof(g_abortPoint));
  g_jumpCode = 0;
  g_mainDialog = nullptr;
  FillBytes(g_formatBuffer, 0, sizeof(g_formatBuffer));
}

void FatalError(const char* text) {
  ShowBox(g_mainDialog, text, kStubCaption, kBoxOk | kBoxIconError);
  JumpWithCode(kJumpAborted);
}

void FatalHeaderCorrupt() { FatalError(kHeaderCorruptText); }

void AbortPass() { JumpWithCode(kJumpAborted); }

void CancelPass() { JumpWithCode(kJumpCancelled); }

bool AskOkCancel(const char* text, bool warning) {
  uint32_t style = kBoxOkCancel | (warning ? kBoxIconExclamation : 0);
  return ShowBox(g_mainDialog, text, kStubCaption, style) == kAnswerOk;
}
