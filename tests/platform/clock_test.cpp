// The millisecond clock, the delay, and the hooks the deterministic harness runs on.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fstream>

#include "platform/clock.h"

namespace {

TEST(Clock, DifferencesHoldAcrossTheWrapOfTheCount) {
  EXPECT_EQ(clock_diff(static_cast<int>(0x80000004u), INT32_MAX - 2), 7);  // over the sign bit
  EXPECT_EQ(clock_diff(4, -3), 7);  // -3 is 0xFFFFFFFD, just before the count wraps to 0
  EXPECT_EQ(clock_diff(-3, 4), -7);
}

int g_slept = 0;

TEST(Clock, HookedTimeIsTheHooksOnlyAndANegativeDelayReachesNoSleep) {
  set_clock_hooks([] { return 123456; }, [](int ms) { g_slept += ms; });
  const auto start = std::chrono::steady_clock::now();
  delay(60000);
  delay(-1);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(g_slept, 60000);
  EXPECT_EQ(millisecs(), 123456);
  set_clock_hooks(nullptr, nullptr);
}

TEST(Clock, RealClockCountsFromBootSoThatEveryLaunchSeedsDifferently) {
  set_clock_hooks([] { return 0; }, [](int) {});
  set_clock_hooks(nullptr, nullptr);  // the real clock and sleep are back
  const int a = millisecs();
  delay(-5);  // returns at once
  delay(3);
  EXPECT_GE(clock_diff(millisecs(), a), 3);
  double uptime = 0;  // seconds since boot, from the same clock
  std::ifstream("/proc/uptime") >> uptime;
  ASSERT_GT(uptime, 0);
  const auto since_boot = static_cast<std::uint32_t>(static_cast<std::uint64_t>(uptime * 1000));
  EXPECT_NEAR(clock_diff(millisecs(), static_cast<int>(since_boot)), 0, 1000);
}

}  // namespace
