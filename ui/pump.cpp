#include "ui/pump.h"

#include "platform/dialogs.h"
#include "platform/ui.h"
#include "platform/window.h"
#include "base/abort.h"
#include "base/boxes.h"
#include "base/messages.h"

namespace {

// MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2: No is the default, so a key
// pressed by accident does not end the pass.
const uint32_t kAbortQuestionStyle = 0x124;
const uint32_t kTransitionBit = 0x80000000u;

bool AskToAbort() {
  return ShowBox(g_mainDialog, MessageText(kMessageAbortQuestion), kStubCaption, kAbortQuestionStyle) ==
                 kAnswerYes;
}

}  // namespace

PumpTreatment SortMessage(uint32_t message, intptr_t lParam) {
  switch (message) {
    case kWmSetCursor:
    case kWmNcMouseMove:
    case kWmMouseMove:
      return kPumpBusyCursor;
    case kWmChar:
      return (static_cast<uint32_t>(lParam) & kTransitionBit) != 0 ? kPumpCandidate : kPumpDrop;
    case kWmVKeyToItem:
    case kWmKeyDown:
    case kWmNcLButtonDown:
    case kWmNcLButtonDblClk:
    case kWmLButtonDown:
    case kWmLButtonDblClk:
      return kPumpCandidate;
    default:
      return kPumpDispatch;
  }
}

bool IsAimedAtDialog(WindowHandle window) {
  if (g_mainDialog == nullptr || window == nullptr) return false;
  return window == g_mainDialog || SysGetParent(window) == g_mainDialog;
}

bool PumpMessages() {
  QueuedMessage queued;
  while (SysPeekMessage(&queued) != 0) {
    switch (SortMessage(queued.message, queued.lParam)) {
      case kPumpDispatch:
        SysDispatchMessage(&queued);
        break;
      case kPumpBusyCursor:
        SysShowBusyCursor(1);
        break;
      case kPumpCandidate:
        // The press itself is never dispatched: no control of the dialog
        // may act while the pass runs.
        if (IsAimedAtDialog(queued.window)) return AskToAbort();
        break;
      case kPumpDrop:
        break;
    }
  }
  return false;
}
