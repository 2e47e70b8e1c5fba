// The SDL system driver: pumps SDL's queue, translates each event into the
// game's event stream, runs the hooks, and keeps the pointer state.
#include "platform/system.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/keymap.h"
#include "platform/sdl_bridge.h"

// ---------------------------------------------------------------- events

std::shared_ptr<TEvent> TEvent::Create(int id, TObjectPtr source, int data, int mods, int x, int y,
                                       TObjectPtr extra) {
  auto ev = std::make_shared<TEvent>();
  ev->id = id;
  ev->source = std::move(source);
  ev->data = data;
  ev->mods = mods;
  ev->x = x;
  ev->y = y;
  ev->extra = std::move(extra);
  return ev;
}

int TEvent::AllocUserId() {
  static std::uint32_t next = 0x80000000u;
  ++next;
  return static_cast<int>(next);
}

void TEvent::Emit() {
  std::shared_ptr<TEvent> self = weak_from_this().lock();
  // An event living outside a shared_ptr still goes through the hooks, unowned.
  if (!self) self = std::shared_ptr<TEvent>(std::shared_ptr<TEvent>(), this);
  run_hooks(emit_event_hook(), self);
}

std::string TEvent::ToString() const {
  switch (id) {
    case AppSuspend: return "AppSuspend";
    case AppResume: return "AppResume";
    case AppTerminate: return "AppTerminate";
    case AppOpenFile: return "AppOpenFile";
    case AppIdle: return "AppIdle";
    case KeyDown: return "KeyDown";
    case KeyUp: return "KeyUp";
    case KeyChar: return "KeyChar";
    case KeyRepeat: return "KeyRepeat";
    case MouseDown: return "MouseDown";
    case MouseUp: return "MouseUp";
    case MouseMove: return "MouseMove";
    case MouseWheel: return "MouseWheel";
    case MouseEnter: return "MouseEnter";
    case MouseLeave: return "MouseLeave";
    case TimerTick: return "TimerTick";
    default: break;
  }
  if (id < 0) {
    // User ids carry the top bit; print the number below it.
    return "UserEvent" + std::to_string(static_cast<std::uint32_t>(id) - 0x80000000u);
  }
  return "Unknown Event, id=" + std::to_string(id);
}

// ---------------------------------------------------------------- hooks

namespace {

constexpr int kMaxHookIds = 255;
int g_next_hook_id = 0;
std::shared_ptr<THook> g_hooks[kMaxHookIds + 1];

bool valid_hook_id(int id) { return id >= 1 && id <= kMaxHookIds; }

}  // namespace

int alloc_hook_id() {
  if (g_next_hook_id >= kMaxHookIds) throw std::runtime_error("Too many hook ids");
  return ++g_next_hook_id;
}

void add_hook(int id, THookFunc func, TObjectPtr context, int priority) {
  if (!valid_hook_id(id) || !func) return;
  auto hook = std::make_shared<THook>();
  hook->priority = priority;
  hook->func = func;
  hook->context = std::move(context);
  std::shared_ptr<THook>* link = &g_hooks[id];
  while (*link && (*link)->priority >= priority) link = &(*link)->succ;
  hook->succ = *link;
  *link = hook;
}

void remove_hook(int id, THookFunc func, TObjectPtr context) {
  if (!valid_hook_id(id)) return;
  std::shared_ptr<THook>* link = &g_hooks[id];
  while (*link) {
    if ((*link)->func == func && (*link)->context == context) {
      // The unlinked hook keeps its succ, so a run standing on it goes on from there.
      *link = (*link)->succ;
      return;
    }
    link = &(*link)->succ;
  }
}

TObjectPtr run_hooks(int id, TObjectPtr data) {
  if (!valid_hook_id(id)) return data;
  std::shared_ptr<THook> hook = g_hooks[id];
  while (hook) {
    data = hook->func(id, std::move(data), hook->context);
    hook = hook->succ;  // read after the call: a hook may add or remove others
  }
  return data;
}

int emit_event_hook() {
  static const int id = alloc_hook_id();
  return id;
}

// ---------------------------------------------------------------- driver state

namespace {

// Set by SIGINT/SIGTERM; the pump turns it into a close request.
std::atomic<int> g_close_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void on_close_signal(int sig) {
  // A second signal before the game took the first means it is not listening: die as usual.
  if (g_close_signal.exchange(1) != 0) {
    std::signal(sig, SIG_DFL);
    std::raise(sig);
  }
}

void install_close_signals() {
  static bool done = false;
  if (done) return;
  done = true;
  for (int sig : {SIGINT, SIGTERM}) {
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) != 0) continue;
    if (old.sa_handler == SIG_IGN) continue;  // started with the signal ignored: keep it so
    struct sigaction sa {};
    sa.sa_handler = on_close_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
  }
}

void set_platform_hints() {
  // Our own handlers deliver SIGINT/SIGTERM; and closing the window is a request, not a quit.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Without a runtime folder no Wayland server can be reached, and asking anyway only
  // makes the Wayland library print a complaint of its own; the X server is the one left.
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!std::getenv("SDL_VIDEODRIVER") && (!runtime || !*runtime) && !(wayland && wayland[0] == '/'))
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11");
}

struct Bridge {
  SDL_Window* window = nullptr;
  int ax = 0, ay = 0, aw = 640, ah = 480, sw = 640, sh = 480;
  void (*handler)(const SDL_Event&) = nullptr;
  void (*toggle)() = nullptr;
  int video_inits = 0;
} g_bridge;

struct Pointer {
  int x = 0, y = 0;   // last position in screen coordinates
  bool over = false;  // over the game window
  int visible = 1;    // the game's wish
  int buttons = 0;    // held buttons, bit 1 << button
  // The last move_mouse: a move to exactly that window point reads back the asked-for
  // screen point, so scaled round trips never drift.
  bool warp_valid = false;
  int warp_wx = 0, warp_wy = 0, warp_x = 0, warp_y = 0;
} g_ptr;

// Held modifier keys, tracked from the key events themselves.
struct Mods {
  bool shift[2] = {}, ctrl[2] = {}, alt[2] = {}, gui[2] = {};
  int mask() const {
    return ((shift[0] || shift[1]) ? ModShift : 0) | ((ctrl[0] || ctrl[1]) ? ModControl : 0) |
           ((alt[0] || alt[1]) ? ModAlt : 0) | ((gui[0] || gui[1]) ? ModSystem : 0);
  }
} g_mods;

// What each key's down gave, so that its repeats and its up give the same code even
// when NumLock or Alt changed in between: 0 no down seen, kWindowKey taken by the display.
constexpr int kWindowKey = 256;
int g_key_vk[SDL_NUM_SCANCODES] = {};

bool g_pumping = false;

struct PumpGuard {
  PumpGuard() { g_pumping = true; }
  ~PumpGuard() { g_pumping = false; }
};

long long floor_div(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

void window_to_screen(int wx, int wy, int& x, int& y) {
  if (g_ptr.warp_valid && wx == g_ptr.warp_wx && wy == g_ptr.warp_wy) {
    x = g_ptr.warp_x;
    y = g_ptr.warp_y;
    return;
  }
  // A window pixel is where its centre falls on the screen.
  const Bridge& b = g_bridge;
  x = static_cast<int>(floor_div((2LL * (wx - b.ax) + 1) * b.sw, 2LL * b.aw));
  y = static_cast<int>(floor_div((2LL * (wy - b.ay) + 1) * b.sh, 2LL * b.ah));
}

// The window pixel under the centre of a screen pixel.
void screen_to_window(int x, int y, int& wx, int& wy) {
  const Bridge& b = g_bridge;
  wx = b.ax + static_cast<int>(floor_div((2LL * x + 1) * b.aw, 2LL * b.sw));
  wy = b.ay + static_cast<int>(floor_div((2LL * y + 1) * b.ah, 2LL * b.sh));
}

bool on_screen(int x, int y) { return x >= 0 && y >= 0 && x < g_bridge.sw && y < g_bridge.sh; }

// Only a held button (the pointer is captured) takes the position off the screen.
void clamp_to_screen(int& x, int& y) {
  if (g_ptr.buttons) return;
  x = std::clamp(x, 0, g_bridge.sw - 1);
  y = std::clamp(y, 0, g_bridge.sh - 1);
}

void emit(int id, int data = 0, int x = 0, int y = 0) {
  TEvent::Create(id, nullptr, data, g_mods.mask(), x, y)->Emit();
}

// Shown when the game wants it, or when the pointer is not over the game window.
void refresh_pointer() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  int want = (g_ptr.visible || !g_ptr.over) ? SDL_ENABLE : SDL_DISABLE;
  if (SDL_ShowCursor(SDL_QUERY) != want) SDL_ShowCursor(want);
}

void set_over(bool over) {
  if (over == g_ptr.over) return;
  if (g_ptr.over) emit(MouseLeave, 0, g_ptr.x, g_ptr.y);
  g_ptr.over = over;
  refresh_pointer();
  if (over) emit(MouseEnter, 0, g_ptr.x, g_ptr.y);
}

int held_button() {
  for (int b = 1; b <= 3; ++b)
    if (g_ptr.buttons & (1 << b)) return b;
  return 0;
}

void pointer_moved(int wx, int wy) {
  int x = 0, y = 0;
  window_to_screen(wx, wy, x, y);
  if (!(g_ptr.warp_valid && wx == g_ptr.warp_wx && wy == g_ptr.warp_wy)) g_ptr.warp_valid = false;
  // Over the letterbox bars the pointer is off the screen, so the system's pointer shows.
  const bool over = on_screen(x, y);
  clamp_to_screen(x, y);
  if (over != g_ptr.over) {
    if (g_ptr.over) emit(MouseLeave, 0, x, y);
    g_ptr.over = over;
    refresh_pointer();
    if (over) emit(MouseEnter, 0, x, y);
  }
  g_ptr.x = x;
  g_ptr.y = y;
  emit(MouseMove, held_button(), x, y);
}

// Let go off the screen, the pointer comes back to its edge.
void settle_pointer() {
  int x = g_ptr.x, y = g_ptr.y;
  clamp_to_screen(x, y);
  if (x == g_ptr.x && y == g_ptr.y) return;
  g_ptr.x = x;
  g_ptr.y = y;
  emit(MouseMove, 0, x, y);
}

int sdl_button(Uint8 b) {
  switch (b) {
    case SDL_BUTTON_LEFT: return 1;
    case SDL_BUTTON_RIGHT: return 2;
    case SDL_BUTTON_MIDDLE: return 3;
    default: return 0;
  }
}

void track_modifier(int vk, bool down) {
  switch (vk) {
    case 160: g_mods.shift[0] = down; break;
    case 161: g_mods.shift[1] = down; break;
    case 162: g_mods.ctrl[0] = down; break;
    case 163: g_mods.ctrl[1] = down; break;
    case 164: g_mods.alt[0] = down; break;
    case 165: g_mods.alt[1] = down; break;
    case 91: g_mods.gui[0] = down; break;
    case 92: g_mods.gui[1] = down; break;
    default: break;
  }
}

// F11 and Alt+Enter switch between full screen and a window.
bool window_key(const SDL_Keysym& k) {
  return k.scancode == SDL_SCANCODE_F11 ||
         ((k.scancode == SDL_SCANCODE_RETURN || k.scancode == SDL_SCANCODE_KP_ENTER) &&
          (g_mods.mask() & ModAlt));
}

int key_code(const SDL_KeyboardEvent& k) {
  const int sc = k.keysym.scancode;
  if (sc < 0 || sc >= SDL_NUM_SCANCODES) return 0;
  int& held = g_key_vk[sc];
  int vk = held;
  if ((k.type == SDL_KEYDOWN && !k.repeat) || !vk)
    vk = window_key(k.keysym) ? kWindowKey : scancode_to_vk(sc, (k.keysym.mod & KMOD_NUM) != 0);
  held = k.type == SDL_KEYDOWN ? vk : 0;
  return vk;
}

// Characters the keyboard types without a text event.
int control_char(int vk) {
  switch (vk) {
    case 8:
    case 9:
    case 13:
    case 27: return vk;
    default: return 0;
  }
}

void emit_text(const char* s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    std::uint32_t c = *p;
    int extra = 0;
    if (c >= 0xF0 && c < 0xF8) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      ++p;
      continue;
    }  // stray continuation byte
    ++p;
    bool ok = true;
    for (int i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
    }
    if (ok && c != 0) emit(KeyChar, static_cast<int>(c));
  }
}

void translate(const SDL_Event& e) {
  switch (e.type) {
    case SDL_QUIT: emit(AppTerminate); break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: emit(AppTerminate); break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          g_mods = Mods{};
          emit(AppResume);
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          g_mods = Mods{};
          // Button-ups may never come once we are away; do not hold the pointer.
          if (g_ptr.buttons && g_bridge.window) SDL_CaptureMouse(SDL_FALSE);
          g_ptr.buttons = 0;
          settle_pointer();
          emit(AppSuspend);
          break;
        case SDL_WINDOWEVENT_LEAVE:
          // Captured, the pointer still belongs to us until the button goes up.
          if (!g_ptr.buttons) set_over(false);
          break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      const int vk = key_code(e.key);
      const bool down = e.type == SDL_KEYDOWN;
      if (vk == kWindowKey) {
        if (down && !e.key.repeat && g_bridge.toggle) g_bridge.toggle();
        break;
      }
      if (vk < 1 || vk > 255) break;
      track_modifier(vk, down);
      if (!down) {
        emit(KeyUp, vk);
        break;
      }
      emit(e.key.repeat ? KeyRepeat : KeyDown, vk);
      if (int ch = control_char(vk)) emit(KeyChar, ch);
      // Alt+F4 asks to close even where no window manager does it for us.
      if (vk == 115 && !e.key.repeat && (g_mods.mask() & ModAlt)) emit(AppTerminate);
      break;
    }
    case SDL_TEXTINPUT: emit_text(e.text.text); break;
    case SDL_MOUSEMOTION: pointer_moved(e.motion.x, e.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      int b = sdl_button(e.button.button);
      if (!b) break;
      int x = 0, y = 0;
      window_to_screen(e.button.x, e.button.y, x, y);
      clamp_to_screen(x, y);
      // A click elsewhere than the last known position moves the pointer first.
      if (x != g_ptr.x || y != g_ptr.y) {
        pointer_moved(e.button.x, e.button.y);
      }
      if (e.type == SDL_MOUSEBUTTONDOWN) {
        bool first = g_ptr.buttons == 0;
        g_ptr.buttons |= 1 << b;
        emit(MouseDown, b, g_ptr.x, g_ptr.y);
        if (first && g_bridge.window) SDL_CaptureMouse(SDL_TRUE);
      } else {
        g_ptr.buttons &= ~(1 << b);
        emit(MouseUp, b, g_ptr.x, g_ptr.y);
        if (!g_ptr.buttons && g_bridge.window) SDL_CaptureMouse(SDL_FALSE);
        settle_pointer();
      }
      break;
    }
    case SDL_MOUSEWHEEL: {
      int d = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) d = -d;
      if (d) emit(MouseWheel, d, g_ptr.x, g_ptr.y);
      break;
    }
    default: break;
  }
}

void handle(const SDL_Event& e) {
  translate(e);
  if (g_bridge.handler) g_bridge.handler(e);
}

void take_close_signal() {
  if (g_close_signal.exchange(0)) emit(AppTerminate);
}

class TSDLSystemDriver final : public TSystemDriver {
 public:
  TSDLSystemDriver() {
    install_close_signals();
    set_platform_hints();
    SDL_InitSubSystem(SDL_INIT_EVENTS);
  }

  void Poll() override {
    take_close_signal();
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
  }

  void Wait() override {
    SDL_Event e;
    // Wake now and then to notice a close signal, which puts nothing in SDL's queue.
    while (!g_close_signal.load()) {
      if (SDL_WaitEventTimeout(&e, 50)) {
        handle(e);
        break;
      }
    }
    Poll();
  }

  void MoveMouse(int x, int y) override {
    if (!g_bridge.window) return;
    clamp_to_screen(x, y);
    int wx = 0, wy = 0;
    screen_to_window(x, y, wx, wy);
    g_ptr.warp_valid = true;
    g_ptr.warp_wx = wx;
    g_ptr.warp_wy = wy;
    g_ptr.warp_x = x;
    g_ptr.warp_y = y;
    SDL_WarpMouseInWindow(g_bridge.window, wx, wy);
    // Not every backend reports a warp as motion; say it ourselves (a later report of the
    // same point reads the same).
    pointer_moved(wx, wy);
  }

  void SetMouseVisible(int visible) override {
    g_ptr.visible = visible ? 1 : 0;
    refresh_pointer();
  }

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

int current_modifiers() { return g_mods.mask(); }

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

// ---------------------------------------------------------------- bridge

bool platform_init_video() {
  install_close_signals();
  set_platform_hints();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return false;
  ++g_bridge.video_inits;
  system_driver();
  return true;
}

void platform_quit_video() {
  if (g_bridge.video_inits <= 0) return;
  --g_bridge.video_inits;
  SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
}

void platform_attach_window(SDL_Window* window) {
  g_bridge.window = window;
  g_ptr.warp_valid = false;
  if (!window) {
    g_ptr.over = false;
    g_ptr.buttons = 0;
  }
  refresh_pointer();
}

void platform_set_screen_area(int x, int y, int w, int h, int screen_w, int screen_h) {
  if (w <= 0 || h <= 0 || screen_w <= 0 || screen_h <= 0) return;
  g_bridge.ax = x;
  g_bridge.ay = y;
  g_bridge.aw = w;
  g_bridge.ah = h;
  g_bridge.sw = screen_w;
  g_bridge.sh = screen_h;
  g_ptr.warp_valid = false;
}

void platform_set_window_handler(void (*handler)(const SDL_Event&)) { g_bridge.handler = handler; }

void platform_set_window_toggle(void (*toggle)()) { g_bridge.toggle = toggle; }
