// Host side of message boxes: every box is printed on stderr as one line and
// answered with its default button. Scripted answers come with the headless
// runner.
#include "platform/dialogs.h"

#include <cstdio>
#include <string>

namespace {

std::string Escaped(const char* text) {
  std::string result;
  for (; *text != 0; ++text) {
    if (*text == '\n') {
      result += "\\n";
    } else {
      result += *text;
    }
  }
  return result;
}

int DefaultAnswer(uint32_t style) {
  switch (style & 0xF) {
    case kBoxOkCancel: return kAnswerOk;
    case kBoxAbortRetryIgnore: return kAnswerAbort;
    case kBoxYesNoCancel:
    case kBoxYesNo: return kAnswerYes;
    default: return kAnswerOk;
  }
}

}  // namespace

int SysMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  (void)owner;
  std::fprintf(stderr, "[%s] %s\n", caption, Escaped(text).c_str());
  return DefaultAnswer(style);
}
