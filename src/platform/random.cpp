// Park and Miller's minimal standard generator (multiplier 48271), by Schrage's method.
#include "platform/random.h"

#include <cmath>
#include <cstdint>

namespace {
constexpr int kModulus = 2147483647;
constexpr int kMultiplier = 48271;
constexpr int kQuotient = 44488;  // kModulus / kMultiplier
constexpr int kRemainder = 3399;  // kModulus % kMultiplier
constexpr int kDefaultState = 4660;

void step() {
  // 64-bit intermediates: identical for every state the generator can reach, and no
  // overflow if someone stores a stray value in rng_state.
  std::int64_t s = rng_state;
  std::int64_t next = (s % kQuotient) * kMultiplier - (s / kQuotient) * kRemainder;
  if (next < 0) next += kModulus;
  rng_state = static_cast<int>(next);
}
}  // namespace

int rng_state = kDefaultState;

void seed_random(int seed) {
  rng_state = seed & 0x7FFFFFFF;
  if (rng_state == 0 || rng_state == kModulus) rng_state = kDefaultState;
}

int random_state() { return rng_state; }

float random_float() {
  step();
  return static_cast<float>((rng_state & 0x0FFFFFF0) / 268435456.0);
}

double random_double() {
  step();
  const int a = rng_state & 0x1FFFFFFC;
  step();
  const int b = rng_state & 0x1FFFFFF8;
  return (a + b / 134217728.0) / 536870912.0;
}

double random_real(double first, double second) {
  const double r = random_double();
  const double lo = second > first ? first : second;
  const double hi = second > first ? second : first;
  double v = lo + r * (hi - lo);
  // r is below 1, but the sum can round up onto the upper bound; the range is half-open.
  if (hi > lo && v >= hi) v = std::nextafter(hi, lo);
  return v;
}

int random_int(int first, int second) {
  const std::int64_t d = static_cast<std::int64_t>(second) - first;
  const double r = random_double();
  std::int64_t v;
  std::int64_t hi;
  if (d > 0) {
    v = first + static_cast<std::int64_t>(r * static_cast<double>(d + 1));
    hi = second;
  } else {
    v = second + static_cast<std::int64_t>(r * static_cast<double>(1 - d));
    hi = first;
  }
  // Rounding of r * (d + 1) must not step past the upper bound.
  if (v > hi) v = hi;
  return static_cast<int>(v);
}
