#include "platform/clock.h"

#include <SDL.h>

namespace {
int (*g_now)() = nullptr;
void (*g_sleep)(int) = nullptr;
}  // namespace

int millisecs() {
  if (g_now) return g_now();
  // SDL's count is 32 bits and wraps like the system clock it stands for.
  return static_cast<int>(static_cast<std::uint32_t>(SDL_GetTicks()));
}

void delay(int ms) {
  if (ms < 0) return;
  if (g_sleep) {
    g_sleep(ms);
    return;
  }
  SDL_Delay(static_cast<Uint32>(ms));
}

void set_clock_hooks(int (*now)(), void (*sleep)(int)) {
  g_now = now;
  g_sleep = sleep;
}
