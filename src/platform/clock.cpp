#include "platform/clock.h"

#include <SDL.h>

#include <atomic>

namespace {
// The mixer thread reads the clock too, so the hooks are swapped atomically.
std::atomic<int (*)()> g_now{nullptr};
std::atomic<void (*)(int)> g_sleep{nullptr};
}  // namespace

int millisecs() {
  if (auto now = g_now.load(std::memory_order_acquire)) return now();
  // SDL's count is 32 bits and wraps like the system clock it stands for.
  return static_cast<int>(static_cast<std::uint32_t>(SDL_GetTicks()));
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
