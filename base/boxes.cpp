#include "base/boxes.h"

#include "platform/dialogs.h"
#include "base/abort.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/run_log.h"
#include "base/settings.h"

int StoppingAnswer(uint32_t style) {
  switch (style & kButtonsMask) {
    case kBoxOk: return kAnswerOk;
    case kBoxAbortRetryIgnore: return kAnswerAbort;
    case kBoxYesNo: return kAnswerNo;
    default: return kAnswerCancel;  // OK/Cancel, Yes/No/Cancel
  }
}

const char* TitleCaption(const char* title) { return title[0] != 0 ? title : MessageText(kMessageSetup); }

const char* RunCaption() {
  if (!g_configRead || (g_settings.flags & kFlagTitleCaption) == 0) return kStubCaption;
  return TitleCaption(g_title);
}

int ShowBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  if (caption == kStubCaption) caption = RunCaption();
  LogMessage(text);
  if (g_silentMode) return StoppingAnswer(style);
  return SysMessageBox(owner, text, caption, style);
}
