// The SDL system driver: pumps SDL's queue, hands each event to the translation of its
// kind and then to the display, and offers the pointer operations.
#include "platform/system.h"

#include <SDL.h>

#include "platform/close_signals.h"
#include "platform/emit.h"
#include "platform/pointer.h"
#include "platform/sdl_translate.h"

namespace {

// How often a blocking wait looks for a close signal, which puts nothing in SDL's queue.
constexpr int kSignalCheckMs = 50;

bool g_pumping = false;

struct PumpGuard {
  PumpGuard() { g_pumping = true; }
  ~PumpGuard() { g_pumping = false; }
};

void handle(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT:
      display_gone_if_broken();
      translate_window_event(e);
      break;
    case SDL_WINDOWEVENT: translate_window_event(e); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
    case SDL_TEXTINPUT: translate_key_event(e); break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
    case SDL_MOUSEWHEEL: translate_pointer_event(e); break;
    default: break;
  }
  run_window_handler(e);
}

class TSDLSystemDriver final : public TSystemDriver {
 public:
  TSDLSystemDriver() {
    prepare_sdl();
    SDL_InitSubSystem(SDL_INIT_EVENTS);
  }

  void Poll() override {
    if (take_close_signal()) emit_event(AppTerminate);
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
  }

  void Wait() override {
    SDL_Event e;
    while (!close_signal_pending()) {
      if (SDL_WaitEventTimeout(&e, kSignalCheckMs)) {
        handle(e);
        break;
      }
    }
    Poll();
  }

  void MoveMouse(int x, int y) override {
    SDL_Window* window = attached_window();
    if (!window) return;
    int wx = 0, wy = 0;
    pointer_warp_target(x, y, wx, wy);
    SDL_WarpMouseInWindow(window, wx, wy);
    // Not every backend reports a warp as motion; say it ourselves (a later report of the
    // same point reads the same).
    pointer_moved(wx, wy);
  }

  void SetMouseVisible(int visible) override { pointer_set_visible(visible); }

  // Message boxes, requesters and URLs are never used by the game.
  void Notify(const std::string&, int) override {}
  int Confirm(const std::string&, int) override { return 0; }
  int Proceed(const std::string&, int) override { return 0; }
  std::string RequestFile(const std::string&, const std::string&, int,
                          const std::string&) override {
    return {};
  }
  std::string RequestDir(const std::string&, const std::string&) override { return {}; }
  void OpenURL(const std::string&) override {}
};

}  // namespace

TSystemDriver& system_driver() {
  static TSDLSystemDriver driver;
  return driver;
}

void poll_system() {
  if (g_pumping) return;
  TSystemDriver& d = system_driver();
  PumpGuard guard;
  d.Poll();
}

void wait_system() {
  if (g_pumping) return;
  TSystemDriver& d = system_driver();
  PumpGuard guard;
  d.Wait();
}

void move_mouse(int x, int y) { system_driver().MoveMouse(x, y); }
void show_mouse() { system_driver().SetMouseVisible(1); }
void hide_mouse() { system_driver().SetMouseVisible(0); }
