// The host's scripted message boxes: answers in queue order, then each box's
// default button; every box recorded and printed on one line.
#include <gtest/gtest.h>

#include "platform/dialogs.h"
#include "platform/host/host_boxes.h"

namespace {

TEST(HostMessageBoxes, AnswerFromTheQueueThenTheDefaultButton) {
  HostClearBoxes();
  HostQueueAnswer(kAnswerNo);
  HostQueueAnswer(kAnswerCancel);
  testing::internal::CaptureStderr();
  EXPECT_EQ(SysMessageBox(nullptr, "first", "Cap", kBoxYesNoCancel), kAnswerNo);
  EXPECT_EQ(SysMessageBox(nullptr, "two\nlines", "Cap", kBoxOkCancel | kBoxIconExclamation), kAnswerCancel);
  EXPECT_EQ(SysMessageBox(nullptr, "default", "Cap", kBoxYesNo), kAnswerYes);
  EXPECT_EQ(SysMessageBox(nullptr, "error", "Cap", kBoxOk | kBoxIconError), kAnswerOk);
  EXPECT_EQ(SysMessageBox(nullptr, "disk", "Cap", kBoxAbortRetryIgnore), kAnswerAbort);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "[Cap] first [Yes No Cancel]\n"
            "[Cap] two\\nlines [OK Cancel]\n"
            "[Cap] default [Yes No]\n"
            "[Cap] error [OK]\n"
            "[Cap] disk [Abort Retry Ignore]\n");
  ASSERT_EQ(HostShownBoxes().size(), 5u);
  EXPECT_EQ(HostShownBoxes()[1].text, "two\nlines");
  EXPECT_EQ(HostShownBoxes()[1].style, kBoxOkCancel | kBoxIconExclamation);
  HostClearBoxes();
  EXPECT_TRUE(HostShownBoxes().empty());
}

}  // namespace
