// The display connection: SDL video started and stopped for the display, the hints
// the platform layer relies on, and what the display tells it (sdl_bridge.h).
#include <cstdlib>

#include "platform/close_signals.h"
#include "platform/pointer.h"
#include "platform/sdl_bridge.h"
#include "platform/sdl_translate.h"
#include "platform/system.h"

namespace {

struct DisplayLink {
  SDL_Window* window = nullptr;
  void (*handler)(const SDL_Event&) = nullptr;
  void (*toggle)() = nullptr;
  int video_inits = 0;
} g_link;

void set_platform_hints() {
  // Our own handlers deliver the close signals; and closing the window is a request, not a quit.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Without a runtime folder no Wayland server can be reached, and asking anyway only
  // makes the Wayland library print a complaint of its own; the X server is the one left.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!std::getenv("SDL_VIDEODRIVER") && (!runtime || !*runtime) && !(wayland && wayland[0] == '/'))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

}  // namespace

void prepare_sdl() {
  install_close_signals();
  set_platform_hints();
}

SDL_Window* attached_window() { return g_link.window; }

void run_window_toggle() {
  if (g_link.toggle) g_link.toggle();
}

void run_window_handler(const SDL_Event& e) {
  if (g_link.handler) g_link.handler(e);
}

bool platform_init_video() {
  prepare_sdl();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  ++g_link.video_inits;
  watch_display_connection();
  system_driver();
  return true;
}

void platform_quit_video() {
  if (g_link.video_inits <= 0) return;
  --g_link.video_inits;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void platform_attach_window(SDL_Window* window) {
  if (window != g_link.window) watch_wayland_window(window);
  g_link.window = window;
  pointer_window_attached(window != nullptr);
}

void platform_set_screen_area(int x, int y, int w, int h, int screen_w, int screen_h) {
  pointer_set_area(x, y, w, h, screen_w, screen_h);
}

void platform_set_window_handler(void (*handler)(const SDL_Event&)) { g_link.handler = handler; }

void platform_set_window_toggle(void (*toggle)()) { g_link.toggle = toggle; }
