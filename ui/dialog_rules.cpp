#include "ui/dialog_rules.h"

#include "paths/path_routines.h"
#include "platform/bytes.h"
#include "platform/format.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/messages.h"
#include "base/run_facts.h"
#include "base/settings.h"

bool IsCjkCodePage(uint32_t codePage) {
  switch (codePage) {
    case 874:
    case 932:
    case 936:
    case 949:
    case 950: return true;
    default: return false;
  }
}

bool HasShellVersion(uint32_t version) { return (version & 0xFF) >= 4; }

// The limit is about what the reader sees, so it counts characters.
const char* IntroducedName(const char* fileName) {
  return CharacterCount(fileName) > kLongestIntroducedName ? MessageText(kMessageThisFile) : fileName;
}

void FormatIntroduction(char* buffer, const char* fileName) {
  SysFormat(buffer, MessageText(kMessageIntroductionShort), IntroducedName(fileName));
}

void FormatCaption(char* buffer, const char* fileName, uint32_t flags, const char* title) {
  if ((flags & kFlagTitleCaption) == 0) {
    SysFormat(buffer, "%s - %s", kStubCaption, fileName);
  } else {
    CopyText(buffer, TitleCaption(title), kTitleSize);
  }
}

bool WaitsForMeterTimer(uint32_t endRecordOffset, uint32_t flags) {
  return endRecordOffset < kMeterAtOnceOffset && (flags & kFlagSpanned) == 0;
}

bool ShowsMeterOnTick(bool meterExists, bool passRunning, uint32_t bytesDone, uint32_t totalSize) {
  return meterExists && passRunning && bytesDone < totalSize / 3;
}
