// The stub's own 64-bit division against the compiler's, over values at the
// edges of both widths and a spread in between.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "platform/long_division.h"

namespace {

std::vector<uint64_t> Values() {
  std::vector<uint64_t> values = {1, 2, 3, 7, 100, 0xFFFF, 0x10000, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu,
                                  0x100000000ull, 0x123456789ABCDEFull, 0x7FFFFFFFFFFFFFFFull,
                                  0x8000000000000000ull, 0xFFFFFFFFFFFFFFFFull};
  uint64_t spread = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 40; ++i) {
    spread = spread * 6364136223846793005ull + 1442695040888963407ull;
    values.push_back(spread >> (i % 64));
  }
  return values;
}

TEST(LongDivision, UnsignedMatchesTheCompiler) {
  for (uint64_t numerator : Values()) {
    for (uint64_t divisor : Values()) {
      if (divisor == 0) continue;
      ASSERT_EQ(DivideUnsigned64(numerator, divisor), numerator / divisor) << numerator << " / " << divisor;
    }
    EXPECT_EQ(DivideUnsigned64(numerator, 0), std::numeric_limits<uint64_t>::max());
  }
  EXPECT_EQ(DivideUnsigned64(0, 5), 0u);
}

TEST(LongDivision, SignedTruncatesTowardZero) {
  for (uint64_t first : Values()) {
    for (uint64_t second : Values()) {
      int64_t numerator = static_cast<int64_t>(first);
      int64_t divisor = static_cast<int64_t>(second);
      if (divisor == 0) continue;
      for (int64_t sign : {1, -1}) {
        int64_t signedDivisor = divisor == std::numeric_limits<int64_t>::min() ? divisor : divisor * sign;
        if (numerator == std::numeric_limits<int64_t>::min() && signedDivisor == -1) continue;  // overflows
        ASSERT_EQ(DivideSigned64(numerator, signedDivisor), numerator / signedDivisor)
            << numerator << " / " << signedDivisor;
      }
    }
  }
  EXPECT_EQ(DivideSigned64(-7, 2), -3);
  EXPECT_EQ(DivideSigned64(7, -2), -3);
}

}  // namespace
