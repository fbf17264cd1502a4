// Every host test also starts with the host side of the platform as a fresh
// process finds it: no scripted answers, mapped drives or overrides left over
// from the test before.
#include <gtest/gtest.h>

#include "platform/host/host_reset.h"

namespace {

class FreshPlatformListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { HostResetPlatform(); }
};

const bool kRegistered = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshPlatformListener);
  return true;
}();

}  // namespace
