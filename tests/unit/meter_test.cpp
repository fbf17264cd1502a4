// The progress meter's drawing decisions: where the fill edge and the text
// go, which colours each part gets, the font height and the text itself.
#include <gtest/gtest.h>

#include <string>

#include "platform/bytes.h"
#include "base/abort.h"
#include "base/messages.h"
#include "ui/resources.h"
#include "base/work_memory.h"
#include "ui/meter.h"

namespace {

TEST(MeterPlan, FillEdgeAndTextPosition) {
  MeterPlan plan = PlanMeter(200, 20, 100, 37, 11);
  EXPECT_EQ(plan.filled.left, 0);
  EXPECT_EQ(plan.filled.right, 74);
  EXPECT_EQ(plan.rest.left, 74);
  EXPECT_EQ(plan.rest.right, 200);
  EXPECT_EQ(plan.filled.bottom, 20);
  EXPECT_EQ(plan.rest.bottom, 20);
  EXPECT_EQ(plan.textX, 100) << "centred on the bar, whatever the position";
  EXPECT_EQ(plan.textY, 2) << "a quarter of the spare height, rounded down";
}

TEST(MeterPlan, EdgeCases) {
  struct Case { int32_t width; uint32_t range; uint32_t position; int32_t edge; };
  const Case cases[] = {
      {200, 100, 0, 0},      // empty: all in the rest's colours
      {200, 100, 100, 200},  // full: all inverted
      {200, 0, 50, 0},       // range 0 counts as 1 with position 0
      {200, 100, 150, 300},  // past the range: the fill reaches past the edge
      {199, 3, 1, 66},       // truncated
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " " << c.range << " " << c.position);
    MeterPlan plan = PlanMeter(c.width, 12, c.range, c.position, 8);
    EXPECT_EQ(plan.filled.right, c.edge);
    EXPECT_EQ(plan.rest.left, c.edge);
    EXPECT_EQ(plan.rest.right, c.width);
  }
  EXPECT_EQ(PlanMeter(200, 5, 100, 0, 11).textY, -2) << "a text taller than the bar starts above it";
}

TEST(MeterPlan, ColoursInvertOverTheFilledPart) {
  const uint32_t highlight = 0x00800000;
  const uint32_t highlightText = 0x00FFFFFF;
  MeterColours filled = FilledPartColours(highlight, highlightText);
  MeterColours rest = RestColours(highlight, highlightText);
  EXPECT_EQ(filled.text, highlightText);
  EXPECT_EQ(filled.background, highlight);
  EXPECT_EQ(rest.text, highlight);
  EXPECT_EQ(rest.background, highlightText);
}

TEST(MeterPlan, SixPointFont) {
  EXPECT_EQ(MeterFontHeight(96), -8);
  EXPECT_EQ(MeterFontHeight(120), -10);
  EXPECT_EQ(MeterFontHeight(100), -8) << "truncated toward zero";
}

class MeterText : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(AllocateWorkMemory());
    ASSERT_NO_FATAL_FAILURE(Load());
  }
  void TearDown() override {
    FreeResources();
    FreeWorkMemory();
  }
  static void Load() {
    if (ARM_ABORT_POINT() != kJumpCompleted) FAIL() << "unpacking the string table aborted";
    LoadResources();
  }
};

TEST_F(MeterText, NamesTheFileBeingWritten) {
  char text[kMeterTextSize + 8];
  FormatMeterText(text, "C:\\target\\sub\\report.txt");
  EXPECT_STREQ(text, "Unzipping report.txt");
}

TEST_F(MeterText, LongNameIsCutToTheBuffer) {
  char text[kMeterTextSize + 8];
  FillBytes(text, 'Z', sizeof text);
  std::string path = "C:\\t\\" + std::string(250, 'n');
  FormatMeterText(text, path.c_str());
  EXPECT_EQ(std::string(text), ("Unzipping " + std::string(250, 'n')).substr(0, kMeterTextSize - 1));
  EXPECT_EQ(text[kMeterTextSize], 'Z') << "nothing written past the 100-byte buffer";
}

}  // namespace
