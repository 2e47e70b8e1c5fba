#include "sdl_events.h"

#include <cstdlib>
#include <cstring>

#include "platform/sdl_bridge.h"

namespace {
std::vector<Seen> g_seen;

TObjectPtr record(int, TObjectPtr data, TObjectPtr) {
  auto* ev = static_cast<TEvent*>(data.get());
  g_seen.push_back({ev->id, ev->data, ev->mods, ev->x, ev->y});
  return data;
}

void push(SDL_Event& e) { SDL_PushEvent(&e); }
}  // namespace

void start_dummy_video() {
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  platform_init_video();
}

void push_key(SDL_Scancode sc, bool down, bool repeat, Uint16 mod) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat ? 1 : 0;
  e.key.keysym.scancode = sc;
  e.key.keysym.sym = SDL_GetKeyFromScancode(sc);
  e.key.keysym.mod = mod;
  push(e);
}

void push_key_press(SDL_Scancode sc) {
  push_key(sc, true);
  push_key(sc, false);
}

void push_text(const char* utf8) {
  SDL_Event e{};
  e.type = SDL_TEXTINPUT;
  std::strncpy(e.text.text, utf8, sizeof e.text.text - 1);
  push(e);
}

void push_motion(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  push(e);
}

void push_button(Uint8 button, bool down, int x, int y) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = button;
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  push(e);
}

void push_wheel(int dy) {
  SDL_Event e{};
  e.type = SDL_MOUSEWHEEL;
  e.wheel.y = dy;
  e.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
  push(e);
}

void push_window(Uint8 event) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.event = event;
  e.window.windowID = SDL_GetWindowID(SDL_GL_GetCurrentWindow());  // the display's, if open
  push(e);
}

void push_quit() {
  SDL_Event e{};
  e.type = SDL_QUIT;
  push(e);
}

void start_recording() {
  g_seen.clear();
  add_hook(emit_event_hook(), record, nullptr, 100);
}

void stop_recording() { remove_hook(emit_event_hook(), record, nullptr); }

std::vector<Seen>& seen() { return g_seen; }

std::vector<Seen> pump_and_take() {
  poll_system();
  std::vector<Seen> out;
  out.swap(g_seen);
  return out;
}
