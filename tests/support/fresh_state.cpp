// Every test starts from the state a fresh process has: the stub keeps its
// state in process-wide variables, and a test that set a flag or opened a
// handle must not decide the outcome of whichever test runs next (shuffled
// runs put any test after any other).
#include <gtest/gtest.h>

#include "tests/support/process_state.h"

namespace {

class FreshStateListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { ResetProcessState(); }
};

const bool kRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStateListener);
  return true;
}();

}  // namespace
