#include "base/boxes.h"

#include "platform/bytes.h"
#include "platform/dialogs.h"
#include "platform/format.h"
#include "platform/log.h"
#include "base/run_facts.h"

namespace {

const uint32_t kButtonsMask = 0xF;  // MB_TYPEMASK

// The answer a silent run gives each set of buttons: whatever stops.
int StoppingAnswer(uint32_t style) {
  switch (style & kButtonsMask) {
    case kBoxOk: return kAnswerOk;
    case kBoxAbortRetryIgnore: return kAnswerAbort;
    case kBoxYesNo: return kAnswerNo;
    default: return kAnswerCancel;  // OK/Cancel, Yes/No/Cancel
  }
}

}  // namespace

void LogMessage(const char* text) {
  if (g_logPath[0] == 0) return;
  char line[kFormatLimit];
  CopyText(line, text, kFormatLimit);
  for (char* c = line; *c != 0; ++c) {
    if (*c == '\n' || *c == '\r') *c = ' ';
  }
  SysAppendLogLine(g_logPath, line);
}

int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  LogMessage(text);
  if (g_silentMode) return StoppingAnswer(style);
  return SysMessageBox(owner, text, caption, style);
}
