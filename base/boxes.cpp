#include "base/boxes.h"

#include "platform/dialogs.h"
#include "base/run_facts.h"
#include "base/run_log.h"

int StoppingAnswer(uint32_t style) {
  switch (style & kButtonsMask) {
    case kBoxOk: return kAnswerOk;
    case kBoxAbortRetryIgnore: return kAnswerAbort;
    case kBoxYesNo: return kAnswerNo;
    default: return kAnswerCancel;  // OK/Cancel, Yes/No/Cancel
  }
}

int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  LogMessage(text);
  if (g_silentMode) return StoppingAnswer(style);
  return SysMessageBox(owner, text, caption, style);
}
