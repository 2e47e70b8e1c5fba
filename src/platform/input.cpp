// Polled keyboard and mouse state: an event hook folds the system driver's events
// into tables that the game reads whenever it likes.
#include "platform/input.h"

#include <array>

#include "platform/keymap.h"
#include "platform/pointer.h"

namespace {

constexpr unsigned kCharSlots = 256;  // a ring: slots are the counters modulo its size
constexpr int kButtonSlots = kMiddleButton + 1;

struct InputState {
  int auto_poll = 1;
  int enabled = 0;
  TObjectPtr source;
  std::array<int, kKeyCodes> key_down{};
  std::array<int, kKeyCodes> key_hits{};
  std::array<int, kCharSlots> chars{};
  unsigned put = 0, get = 0;
  std::array<int, kButtonSlots> mouse_down{};  // index = button
  std::array<int, kButtonSlots> mouse_hits{};
  int mouse_x = 0, mouse_y = 0, mouse_z = 0;  // z: the wheel's total
  int suspended = 0;
  int terminate = 0;
} g_in;

bool key_ok(int key) { return key >= 1 && key < kKeyCodes; }
bool button_ok(int b) { return b >= kLeftButton && b <= kMiddleButton; }

void pump() {
  if (g_in.auto_poll) poll_system();
}

TObjectPtr input_hook(int, TObjectPtr data, TObjectPtr) {
  auto* ev = static_cast<TEvent*>(data.get());
  if (!ev) return data;
  if (g_in.source && ev->source != g_in.source) return data;
  const int d = ev->data;
  switch (ev->id) {
    case AppSuspend:
      flush_keys();
      flush_mouse();
      g_in.suspended = 1;
      break;
    case AppResume:
      flush_keys();
      flush_mouse();
      g_in.suspended = 0;
      break;
    case AppTerminate: g_in.terminate = 1; break;
    case KeyDown:
      // Codes outside the table come from nowhere we know; they must not index it.
      if (key_ok(d) && !g_in.key_down[d]) {
        g_in.key_down[d] = 1;
        ++g_in.key_hits[d];
      }
      break;
    case KeyUp:
      if (key_ok(d)) g_in.key_down[d] = 0;
      break;
    case KeyChar:
      if (g_in.put - g_in.get < kCharSlots) g_in.chars[g_in.put++ % kCharSlots] = d;
      break;
    case MouseDown:
      if (button_ok(d) && !g_in.mouse_down[d]) {
        g_in.mouse_down[d] = 1;
        ++g_in.mouse_hits[d];
      }
      break;
    case MouseUp:
      if (button_ok(d)) g_in.mouse_down[d] = 0;
      break;
    case MouseMove:
      g_in.mouse_x = ev->x;
      g_in.mouse_y = ev->y;
      break;
    case MouseWheel: g_in.mouse_z += d; break;
    default: break;
  }
  return data;
}

}  // namespace

int key_down(int key) {
  pump();
  return key_ok(key) ? g_in.key_down[key] : 0;
}

int key_hits(int key) {
  pump();
  if (!key_ok(key)) return 0;
  int n = g_in.key_hits[key];
  g_in.key_hits[key] = 0;
  return n;
}

int next_char() {
  pump();
  if (g_in.put == g_in.get) return 0;
  return g_in.chars[g_in.get++ % kCharSlots];
}

int mouse_x() {
  pump();
  return g_in.mouse_x;
}

int mouse_y() {
  pump();
  return g_in.mouse_y;
}

int mouse_z() {
  pump();
  return g_in.mouse_z;
}

int mouse_down(int button) {
  pump();
  return button_ok(button) ? g_in.mouse_down[button] : 0;
}

int mouse_hits(int button) {
  pump();
  if (!button_ok(button)) return 0;
  int n = g_in.mouse_hits[button];
  g_in.mouse_hits[button] = 0;
  return n;
}

int app_suspended() {
  pump();
  return g_in.suspended;
}

int app_terminate() {
  pump();
  int t = g_in.terminate;
  g_in.terminate = 0;
  return t;
}

void flush_keys() {
  poll_system();
  g_in.put = g_in.get = 0;
  g_in.key_down.fill(0);
  g_in.key_hits.fill(0);
}

void flush_mouse() {
  poll_system();
  g_in.mouse_down.fill(0);
  g_in.mouse_hits.fill(0);
  g_in.mouse_z = 0;
}

// The waits also give up on a close request (left for the caller to read), so a
// program blocked in one can still be closed.
int wait_key() {
  flush_keys();
  for (;;) {
    wait_system();
    for (int k = 1; k < kKeyCodes; ++k) {
      if (g_in.key_hits[k]) {
        g_in.key_hits[k] = 0;
        return k;
      }
    }
    if (g_in.terminate) return 0;
  }
}

int wait_char() {
  flush_keys();
  for (;;) {
    if (int c = next_char()) return c;
    if (g_in.terminate) return 0;
    wait_system();
  }
}

int wait_mouse() {
  flush_mouse();
  for (;;) {
    wait_system();
    for (int b = kLeftButton; b <= kMiddleButton; ++b) {
      if (g_in.mouse_hits[b]) {
        g_in.mouse_hits[b] = 0;
        return b;
      }
    }
    if (g_in.terminate) return 0;
  }
}

void set_auto_poll(int enabled) { g_in.auto_poll = enabled ? 1 : 0; }

void enable_polled_input(TObjectPtr source) {
  if (g_in.enabled) return;
  g_in.source = std::move(source);
  flush_keys();
  flush_mouse();
  add_hook(emit_event_hook(), input_hook, nullptr, 0);
  g_in.enabled = 1;
}

void disable_polled_input() {
  if (!g_in.enabled) return;
  remove_hook(emit_event_hook(), input_hook, nullptr);
  flush_keys();
  flush_mouse();
  g_in.source = nullptr;
  g_in.enabled = 0;
}
