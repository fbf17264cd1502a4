// The message pump and the meter's window words, driven through the host's
// scripted queue and message boxes: which messages are dispatched, which
// are dropped, and when the cancel question is asked.
#include <gtest/gtest.h>

#include <vector>

#include "platform/dialogs.h"
#include "platform/host/host_boxes.h"
#include "platform/host/host_ui.h"
#include "platform/host/host_window.h"
#include "platform/ui.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/work_memory.h"
#include "ui/meter.h"
#include "ui/pump.h"

namespace {

WindowHandle Handle(uintptr_t value) { return reinterpret_cast<WindowHandle>(value); }

const WindowHandle kDialog = Handle(0x100);
const WindowHandle kButton = Handle(0x101);  // a control of the dialog
const WindowHandle kOther = Handle(0x200);   // a window that is not the dialog's

QueuedMessage Message(WindowHandle window, uint32_t message, intptr_t lParam = 0) {
  QueuedMessage queued = {};
  queued.window = window;
  queued.message = message;
  queued.lParam = lParam;
  return queued;
}

class Pump : public testing::Test {
 protected:
  void SetUp() override {
    HostResetUi();
    HostClearBoxes();
    HostSetParent(kButton, kDialog);
    g_mainDialog = kDialog;
    ASSERT_TRUE(AllocateWorkMemory());
    ASSERT_NO_FATAL_FAILURE(Load());
  }
  void TearDown() override {
    g_mainDialog = nullptr;
    FreeResources();
    FreeWorkMemory();
    HostResetUi();
    HostClearBoxes();
  }
  static void Load() {
    if (ARM_ABORT_POINT() != kJumpCompleted) FAIL() << "unpacking the string table aborted";
    LoadResources();
  }
  static std::vector<uint32_t> Dispatched() {
    std::vector<uint32_t> numbers;
    for (const QueuedMessage& message : HostDispatchedMessages()) numbers.push_back(message.message);
    return numbers;
  }
};

TEST(PumpSort, TreatmentOfEachMessage) {
  struct Case { uint32_t message; intptr_t lParam; PumpTreatment treatment; };
  const intptr_t kTransition = static_cast<intptr_t>(static_cast<int32_t>(0x80000000u));
  const Case cases[] = {
      {kWmSetCursor, 0, kPumpBusyCursor},     {kWmNcMouseMove, 0, kPumpBusyCursor},
      {kWmMouseMove, 0, kPumpBusyCursor},     {kWmVKeyToItem, 0, kPumpCandidate},
      {kWmKeyDown, 0, kPumpCandidate},        {kWmChar, 0, kPumpDrop},
      {kWmChar, kTransition, kPumpCandidate}, {kWmNcLButtonDown, 0, kPumpCandidate},
      {kWmNcLButtonDblClk, 0, kPumpCandidate}, {kWmLButtonDown, 0, kPumpCandidate},
      {kWmLButtonDblClk, 0, kPumpCandidate},  {kWmPaint, 0, kPumpDispatch},
      {kWmTimer, 0, kPumpDispatch},           {0x0101 /* WM_KEYUP */, 0, kPumpDispatch},
      {0x0204 /* WM_RBUTTONDOWN */, 0, kPumpDispatch}, {0x0104 /* WM_SYSKEYDOWN */, 0, kPumpDispatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message);
    EXPECT_EQ(SortMessage(c.message, c.lParam), c.treatment);
  }
}

TEST_F(Pump, EmptyQueueAsksNothing) {
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_TRUE(HostShownBoxes().empty());
}

TEST_F(Pump, PaintAndTimersGoThroughPressesElsewhereAreDropped) {
  HostQueueWindowMessage(Message(kDialog, kWmPaint));
  HostQueueWindowMessage(Message(kDialog, kWmMouseMove));
  HostQueueWindowMessage(Message(kOther, kWmLButtonDown));  // not the dialog's
  HostQueueWindowMessage(Message(kButton, kWmChar));        // no transition bit
  HostQueueWindowMessage(Message(kDialog, kWmTimer));
  EXPECT_EQ(PumpMessages(), 0);
  EXPECT_EQ(Dispatched(), (std::vector<uint32_t>{kWmPaint, kWmTimer}));
  EXPECT_TRUE(HostShownBoxes().empty());
  EXPECT_EQ(HostQueuedMessageCount(), 0u);
}

TEST_F(Pump, PressOnTheDialogAsksOnceAndLeavesTheRestQueued) {
  struct Case { WindowHandle target; uint32_t message; int answer; int cancels; };
  const Case cases[] = {
      {kButton, kWmLButtonDown, kAnswerNo, 0},
      {kButton, kWmLButtonDown, kAnswerYes, 1},
      {kDialog, kWmNcLButtonDown, kAnswerYes, 1},  // the caption: no dragging during a pass
      {kDialog, kWmKeyDown, kAnswerYes, 1},        // any key, not only Escape
      {kDialog, kWmKeyDown, kAnswerCancel, 0},     // only Yes cancels
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message << " answer " << c.answer);
    HostResetUi();
    HostSetParent(kButton, kDialog);
    HostClearBoxes();
    HostQueueAnswer(c.answer);
    HostQueueWindowMessage(Message(kDialog, kWmPaint));
    HostQueueWindowMessage(Message(c.target, c.message));
    HostQueueWindowMessage(Message(kDialog, kWmLButtonDown));
    HostQueueWindowMessage(Message(kDialog, kWmTimer));

    EXPECT_EQ(PumpMessages(), c.cancels);
    ASSERT_EQ(HostShownBoxes().size(), 1u);
    EXPECT_EQ(HostShownBoxes()[0].text, "Abort unzip operation?");
    EXPECT_EQ(HostShownBoxes()[0].caption, "Arcula Self-Extractor");
    EXPECT_EQ(HostShownBoxes()[0].style, 0x124u) << "Yes/No, question icon, No the default";
    EXPECT_EQ(Dispatched(), std::vector<uint32_t>{kWmPaint}) << "the press itself is never dispatched";
    EXPECT_EQ(HostQueuedMessageCount(), 2u) << "what came after waits for the next call";
  }
}

TEST(MeterWords, CreateAndStoredValues) {
  HostResetUi();
  const WindowHandle meter = Handle(0x300);
  MeterProc(meter, kMeterSetRangeMessage, 70000, 0);
  EXPECT_EQ(MeterProc(meter, kMeterGetRangeMessage, 0, 0), 70000 - 65536) << "low 16 bits kept";
  MeterProc(meter, kMeterSetPositionMessage, 37, 0);
  EXPECT_EQ(MeterProc(meter, kMeterGetPositionMessage, 0, 0), 37);
  EXPECT_EQ(MeterProc(meter, kMeterGetRangeMessage, 0, 0), 70000 - 65536) << "the two words are apart";
  EXPECT_EQ(MeterProc(meter, kWmGetDlgCode, 0, 0), kDlgcStatic);

  // The meter repaints at once when a word changes, and not when it keeps its
  // value: nothing on screen would change.
  HostRecordWindowCalls(true);
  MeterProc(meter, kMeterSetPositionMessage, 37, 0);
  EXPECT_TRUE(HostWindowCalls().empty());
  MeterProc(meter, kMeterSetPositionMessage, 38, 0);
  ASSERT_EQ(HostWindowCalls().size(), 1u);
  EXPECT_EQ(HostWindowCalls()[0].kind, HostWindowCall::kUpdate);
  HostClearWindowCalls();
  HostResetUi();
}

}  // namespace
