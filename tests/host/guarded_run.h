// For host tests of code that may end in FatalError or CancelPass: run a step
// behind the abort point, with the string table loaded and the message boxes
// recorded (platform/host/host_boxes.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/format.h"
#include "platform/host/host_boxes.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/work_memory.h"

// The jump code the step ended with: kJumpCompleted when it returned.
inline int RunGuarded(void (*step)()) {
  g_jumpCode = kJumpCompleted;
  if (ARM_ABORT_POINT() != kJumpCompleted) return g_jumpCode;
  step();
  return kJumpCompleted;
}

// The messages as the stub shows them: load them for a test, free them after.
class WithMessages : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateWorkMemory());
    ASSERT_EQ(RunGuarded([] { LoadResources(); }), kJumpCompleted);
    HostClearBoxes();
  }
  void TearDown() override {
    HostClearBoxes();
    FreeResources();
    FreeWorkMemory();
  }

  // Message `number` formatted with one text, as FatalError shows it.
  static std::string Formatted(int number, const std::string& argument) {
    char text[1024];
    SysFormat(text, MessageText(number), argument.c_str());
    return text;
  }

  // The text of the only box shown so far; fails unless exactly one was.
  static std::string OnlyBoxText() {
    const auto& boxes = HostShownBoxes();
    EXPECT_EQ(boxes.size(), 1u);
    return boxes.empty() ? std::string() : boxes.back().text;
  }
};
