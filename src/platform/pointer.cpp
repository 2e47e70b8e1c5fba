// The pointer: mapping between window and screen, clamping, over or outside the screen,
// held buttons, and the events each change raises.
#include "platform/pointer.h"

#include <algorithm>

#include "platform/emit.h"
#include "platform/system.h"

namespace {

// The game's screen, shown 1:1 until the display says where it is.
constexpr int kScreenW = 640;
constexpr int kScreenH = 480;

struct Area {
  int x = 0, y = 0, w = kScreenW, h = kScreenH;  // in the window
  int screen_w = kScreenW, screen_h = kScreenH;
};

// The last move_mouse: a report of exactly that window point reads the asked-for screen point.
struct Warp {
  bool valid = false;
  int wx = 0, wy = 0, x = 0, y = 0;
  bool hit(int px, int py) const { return valid && px == wx && py == wy; }
};

struct Pointer {
  Area area;
  int x = 0, y = 0;   // last position in screen coordinates
  bool over = false;  // over the game screen
  int visible = 1;    // the game's wish
  int buttons = 0;    // held buttons, bit 1 << button
  Warp warp;
} g_ptr;

long long floor_div(long long a, long long b) {
  long long q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// A window pixel is where its centre falls on the screen.
void window_to_screen(int wx, int wy, int& x, int& y) {
  if (g_ptr.warp.hit(wx, wy)) {
    x = g_ptr.warp.x;
    y = g_ptr.warp.y;
    return;
  }
  const Area& a = g_ptr.area;
  x = static_cast<int>(floor_div((2LL * (wx - a.x) + 1) * a.screen_w, 2LL * a.w));
  y = static_cast<int>(floor_div((2LL * (wy - a.y) + 1) * a.screen_h, 2LL * a.h));
}

// The window pixel under the centre of a screen pixel.
void screen_to_window(int x, int y, int& wx, int& wy) {
  const Area& a = g_ptr.area;
  wx = a.x + static_cast<int>(floor_div((2LL * x + 1) * a.w, 2LL * a.screen_w));
  wy = a.y + static_cast<int>(floor_div((2LL * y + 1) * a.h, 2LL * a.screen_h));
}

bool on_screen(int x, int y) {
  return x >= 0 && y >= 0 && x < g_ptr.area.screen_w && y < g_ptr.area.screen_h;
}

// Only a held button (the pointer is captured) takes the position off the screen.
void clamp_to_screen(int& x, int& y) {
  if (g_ptr.buttons) return;
  x = std::clamp(x, 0, g_ptr.area.screen_w - 1);
  y = std::clamp(y, 0, g_ptr.area.screen_h - 1);
}

// Shown when the game wants it, or when the pointer is not over the game screen.
void refresh_pointer() { show_system_pointer(g_ptr.visible || !g_ptr.over); }

void set_over(bool over) {
  if (over == g_ptr.over) return;
  if (g_ptr.over) emit_event(MouseLeave, 0, g_ptr.x, g_ptr.y);
  g_ptr.over = over;
  refresh_pointer();
  if (over) emit_event(MouseEnter, 0, g_ptr.x, g_ptr.y);
}

int held_button() {
  for (int b = kLeftButton; b <= kMiddleButton; ++b)
    if (g_ptr.buttons & (1 << b)) return b;
  return 0;
}

// Let go off the screen, the pointer comes back to its edge.
void settle_pointer() {
  int x = g_ptr.x, y = g_ptr.y;
  clamp_to_screen(x, y);
  if (x == g_ptr.x && y == g_ptr.y) return;
  g_ptr.x = x;
  g_ptr.y = y;
  emit_event(MouseMove, 0, x, y);
}

}  // namespace

void pointer_set_area(int x, int y, int w, int h, int screen_w, int screen_h) {
  if (w <= 0 || h <= 0 || screen_w <= 0 || screen_h <= 0) return;
  g_ptr.area = Area{x, y, w, h, screen_w, screen_h};
  g_ptr.warp.valid = false;
}

void pointer_window_attached(bool attached) {
  g_ptr.warp.valid = false;
  if (!attached) {
    g_ptr.over = false;
    g_ptr.buttons = 0;
  }
  refresh_pointer();
}

void pointer_set_visible(int visible) {
  g_ptr.visible = visible ? 1 : 0;
  refresh_pointer();
}

void pointer_moved(int wx, int wy) {
  int x = 0, y = 0;
  window_to_screen(wx, wy, x, y);
  if (!g_ptr.warp.hit(wx, wy)) g_ptr.warp.valid = false;
  // Over the letterbox bars the pointer is off the screen, so the system's pointer shows.
  const bool over = on_screen(x, y);
  clamp_to_screen(x, y);
  g_ptr.x = x;
  g_ptr.y = y;
  set_over(over);
  emit_event(MouseMove, held_button(), x, y);
}

void pointer_button(int button, bool down, int wx, int wy) {
  int x = 0, y = 0;
  window_to_screen(wx, wy, x, y);
  clamp_to_screen(x, y);
  // A click elsewhere than the last known position moves the pointer first.
  if (x != g_ptr.x || y != g_ptr.y) pointer_moved(wx, wy);
  if (down) {
    const bool first = g_ptr.buttons == 0;
    g_ptr.buttons |= 1 << button;
    emit_event(MouseDown, button, g_ptr.x, g_ptr.y);
    if (first) capture_system_pointer(true);
  } else {
    g_ptr.buttons &= ~(1 << button);
    emit_event(MouseUp, button, g_ptr.x, g_ptr.y);
    if (!g_ptr.buttons) capture_system_pointer(false);
    settle_pointer();
  }
}

void pointer_wheel(int delta) {
  if (delta) emit_event(MouseWheel, delta, g_ptr.x, g_ptr.y);
}

void pointer_left_window() {
  // Captured, the pointer still belongs to us until the button goes up.
  if (!g_ptr.buttons) set_over(false);
}

void pointer_focus_lost() {
  // Button-ups may never come once we are away; do not hold the pointer.
  if (g_ptr.buttons) capture_system_pointer(false);
  g_ptr.buttons = 0;
  settle_pointer();
}

void pointer_warp_target(int x, int y, int& wx, int& wy) {
  clamp_to_screen(x, y);
  screen_to_window(x, y, wx, wy);
  g_ptr.warp = Warp{true, wx, wy, x, y};
}
