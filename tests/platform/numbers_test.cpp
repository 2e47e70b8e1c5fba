// Random numbers and the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>

#include "platform/clock.h"
#include "platform/random.h"

namespace {

TEST(Random, SeedingAndStepping) {
  EXPECT_EQ(rng_state, 4660);  // before any seeding
  for (int seed : {0, 2147483647, -1}) {
    seed_random(seed);
    EXPECT_EQ(random_state(), 4660) << seed;
  }
  seed_random(-5);
  EXPECT_EQ(random_state(), 2147483643);
  seed_random(4660);
  random_float();
  EXPECT_EQ(random_state(), 224942860);  // 4660 x 48271
  // The step is x * 48271 mod (2^31 - 1) for every state, including the largest.
  for (std::int64_t s : {1LL, 44487LL, 44488LL, 1000000007LL, 2147483646LL}) {
    rng_state = static_cast<int>(s);
    random_float();
    EXPECT_EQ(rng_state, s * 48271 % 2147483647) << s;
  }
}

TEST(Random, BoundsInEitherOrder) {
  seed_random(99);
  for (int i = 0; i < 20000; ++i) {
    const double a = random_real(95, 300);
    EXPECT_GE(a, 95.0);
    EXPECT_LT(a, 300.0);
    const double b = random_real(0, -10);
    EXPECT_GE(b, -10.0);
    EXPECT_LT(b, 0.0);
    const int c = random_int(360, 1);
    EXPECT_GE(c, 1);
    EXPECT_LE(c, 360);
  }
  EXPECT_EQ(random_real(7.5, 7.5), 7.5);
  EXPECT_EQ(random_int(5, 5), 5);
  EXPECT_EQ(random_int(0, 0), 0);
  bool lo = false, hi = false;
  for (int i = 0; i < 2000; ++i) {
    const int v = random_int(1, 6);
    lo |= v == 1;
    hi |= v == 6;
  }
  EXPECT_TRUE(lo && hi);  // both bounds are reached
}

// The state whose next step is the given one (48271 has an inverse mod 2^31 - 1).
int state_before(std::int64_t next) {
  std::int64_t inv = 1, base = 48271, e = 2147483647 - 2;
  while (e) {
    if (e & 1) inv = inv * base % 2147483647;
    base = base * base % 2147483647;
    e >>= 1;
  }
  return static_cast<int>(next * inv % 2147483647);
}

TEST(Random, UpperBoundNeverReturnedEvenWhenTheSumRoundsUp) {
  // Draw the largest first half of a random double: 1 - r is then about 7e-9, below
  // half a step of doubles near 1e9.
  rng_state = state_before(0x1FFFFFFC);
  EXPECT_LT(random_real(1e9, 1e9 + 1), 1e9 + 1);
  rng_state = state_before(0x1FFFFFFC);
  EXPECT_GE(random_real(1e9 + 1, 1e9), 1e9);
  // Over the whole int range (2^32 values) the result is INT32_MIN + 8 a + b / 2^24 for the
  // two draws a and b: near the top, where an overflowing width would wrap it round.
  rng_state = state_before(0x1FFFFFFC);
  const std::int64_t b = (std::int64_t{0x1FFFFFFC} * 48271 % 2147483647) & 0x1FFFFFF8;
  EXPECT_EQ(random_int(INT32_MIN, INT32_MAX), 2147483616 + (b >> 24));
}

int g_fake_now = 0;
int g_slept = -1;

TEST(Clock, HooksDelayAndWrapSafeDifferences) {
  const int a = millisecs();
  delay(-5);  // returns at once
  delay(3);
  EXPECT_GE(clock_diff(millisecs(), a), 3);

  set_clock_hooks([] { return g_fake_now; }, [](int ms) { g_slept = ms; });
  g_fake_now = INT32_MAX - 2;
  const int before = millisecs();
  g_fake_now = static_cast<int>(static_cast<std::uint32_t>(INT32_MAX) + 5u);
  EXPECT_EQ(clock_diff(millisecs(), before), 7);
  g_fake_now = -3;  // 0xFFFFFFFD, just before the 32-bit count wraps to 0
  const int before_wrap = millisecs();
  g_fake_now = 4;
  EXPECT_EQ(clock_diff(millisecs(), before_wrap), 7);
  EXPECT_EQ(clock_diff(before_wrap, millisecs()), -7);
  delay(16);
  EXPECT_EQ(g_slept, 16);
  g_slept = -1;
  delay(-1);
  EXPECT_EQ(g_slept, -1);
  // A fake time the real clock cannot be showing a few milliseconds into the run.
  g_fake_now = static_cast<int>(static_cast<std::uint32_t>(a) + 0x40000000u);
  ASSERT_EQ(millisecs(), g_fake_now);
  set_clock_hooks(nullptr, nullptr);
  EXPECT_NE(millisecs(), g_fake_now);
}

TEST(Clock, CountsFromBootSoThatEveryLaunchSeedsDifferently) {
  double uptime = 0;  // seconds since boot, from the same clock
  std::ifstream("/proc/uptime") >> uptime;
  ASSERT_GT(uptime, 0);
  const auto since_boot = static_cast<std::uint32_t>(static_cast<std::uint64_t>(uptime * 1000));
  EXPECT_NEAR(clock_diff(millisecs(), static_cast<int>(since_boot)), 0, 1000);
}

}  // namespace
