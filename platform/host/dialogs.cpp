// Host side of message boxes: every box is printed on stderr as one line,
// "[caption] text [buttons]" with line feeds shown as \n, recorded, and
// answered from the queue of scripted answers, else with its default button
// (or the answer a chooser set by the script gives).
#include "platform/dialogs.h"

#include <cstdio>
#include <deque>
#include <string>

#include "platform/host/host_boxes.h"

namespace {

struct BoxScript {
  std::deque<int> answers;
  std::vector<HostBox> shown;
  void (*observer)(const HostBox& box, int answer) = nullptr;
  int (*chooseUnanswered)(const HostBox& box) = nullptr;
};

BoxScript& Script() {
  static BoxScript script;
  return script;
}

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

const char* Buttons(uint32_t style) {
  switch (style & 0xF) {
    case kBoxOkCancel: return "OK Cancel";
    case kBoxAbortRetryIgnore: return "Abort Retry Ignore";
    case kBoxYesNoCancel: return "Yes No Cancel";
    case kBoxYesNo: return "Yes No";
    case 5: return "Retry Cancel";  // MB_RETRYCANCEL
    default: return "OK";
  }
}

int DefaultAnswer(uint32_t style) {
  switch (style & 0xF) {
    case kBoxOkCancel: return kAnswerOk;
    case kBoxAbortRetryIgnore: return kAnswerAbort;
    case kBoxYesNoCancel:
    case kBoxYesNo: return kAnswerYes;
    case 5: return kAnswerRetry;
    default: return kAnswerOk;
  }
}

}  // namespace

void HostQueueAnswer(int answer) { Script().answers.push_back(answer); }

const std::vector<HostBox>& HostShownBoxes() { return Script().shown; }

void HostClearBoxes() {
  auto observer = Script().observer;
  auto chooseUnanswered = Script().chooseUnanswered;
  Script() = BoxScript();
  Script().observer = observer;
  Script().chooseUnanswered = chooseUnanswered;
}

void HostSetBoxObserver(void (*observer)(const HostBox& box, int answer)) { Script().observer = observer; }

void HostSetUnansweredBox(int (*choose)(const HostBox& box)) { Script().chooseUnanswered = choose; }

int SysMessageBox(WindowHandle owner, const char* text, const char* caption, uint32_t style) {
  (void)owner;
  std::fprintf(stderr, "[%s] %s [%s]\n", caption, Escaped(text).c_str(), Buttons(style));
  Script().shown.push_back(HostBox{caption, text, style});
  int answer;
  if (!Script().answers.empty()) {
    answer = Script().answers.front();
    Script().answers.pop_front();
  } else if (Script().chooseUnanswered != nullptr) {
    answer = Script().chooseUnanswered(Script().shown.back());
  } else {
    answer = DefaultAnswer(style);
  }
  if (Script().observer != nullptr) Script().observer(Script().shown.back(), answer);
  return answer;
}
