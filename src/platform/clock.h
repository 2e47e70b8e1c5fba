// Millisecond clock and delay.
#pragma once

#include <cstdint>

// Current clock value; a 32-bit count that wraps, so compare values with clock_diff.
int millisecs();
// Sleeps ms milliseconds; a negative value returns at once.
void delay(int ms);

// later - earlier, correct across the wrap of the 32-bit count.
inline int clock_diff(int later, int earlier) {
  return static_cast<int>(static_cast<std::uint32_t>(later) - static_cast<std::uint32_t>(earlier));
}

// Replaces the clock and the sleep (tests, the deterministic harness); safe while
// other threads read the clock, so the hooks themselves must be thread-safe.
// nullptr restores the real one for that half.
void set_clock_hooks(int (*now)(), void (*sleep)(int));
