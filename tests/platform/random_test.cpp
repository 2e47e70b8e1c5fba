// Random numbers: Park and Miller's generator with the multiplier 48271.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

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
  // The standard library's generator of that name steps every state alike, the largest too.
  for (int s : {1, 44487, 44488, 1000000007, 2147483646}) {
    rng_state = s;
    random_float();
    EXPECT_EQ(rng_state, static_cast<int>(std::minstd_rand(static_cast<unsigned>(s))())) << s;
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
  // Over the whole int range (2^32 values) that draw lands on the top value itself,
  // where an overflowing width would wrap it round.
  rng_state = state_before(0x1FFFFFFC);
  EXPECT_EQ(random_int(INT32_MIN, INT32_MAX), INT32_MAX);
}

}  // namespace
