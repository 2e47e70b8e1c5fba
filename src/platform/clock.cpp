#include "platform/clock.h"

#include <SDL.h>

#include <time.h>

#include <atomic>
#include <cstdint>

namespace {
// The mixer thread reads the clock too, so the hooks are swapped atomically.
std::atomic<int (*)()> g_now{nullptr};
std::atomic<void (*)(int)> g_sleep{nullptr};
}  // namespace

int millisecs() {
  if (auto now = g_now.load(std::memory_order_acquire)) return now();
  // Milliseconds since boot, as the system clock the game was made for, wrapping at 32
  // bits like it. A count from our own start would make every seed the start-up time.
  timespec ts{};
  if (clock_gettime(CLOCK_BOOTTIME, &ts) != 0) clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<int>(static_cast<std::uint32_t>(ms));
}

void delay(int ms) {
  if (ms < 0) return;
  if (auto sleep = g_sleep.load(std::memory_order_acquire)) {
    sleep(ms);
    return;
  }
  SDL_Delay(static_cast<Uint32>(ms));
}

void set_clock_hooks(int (*now)(), void (*sleep)(int)) {
  g_now.store(now, std::memory_order_release);
  g_sleep.store(sleep, std::memory_order_release);
}
