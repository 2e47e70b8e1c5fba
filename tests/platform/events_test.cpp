// The system driver: SDL events through the real pump into the game's event stream.
#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "platform/input.h"
#include "platform/sdl_bridge.h"
#include "platform/system.h"
#include "sdl_events.h"

namespace {

class Events : public ::testing::Test {
 protected:
  void SetUp() override {
    start_dummy_video();
    poll_system();  // drain whatever SDL queued at start
    start_recording();
  }
  void TearDown() override {
    stop_recording();
    platform_set_window_handler(nullptr);
    platform_attach_window(nullptr);
    platform_set_screen_area(0, 0, 640, 480, 640, 480);
    if (window_) SDL_DestroyWindow(window_);
    poll_system();
  }
  // A window of w x h showing the 640 x 480 screen at (ax, ay, aw, ah).
  void open_window(int w, int h, int ax, int ay, int aw, int ah) {
    window_ = SDL_CreateWindow("events", 0, 0, w, h, SDL_WINDOW_HIDDEN);
    ASSERT_NE(window_, nullptr) << SDL_GetError();
    platform_attach_window(window_);
    platform_set_screen_area(ax, ay, aw, ah, 640, 480);
    poll_system();
    seen().clear();
  }
  SDL_Window* window_ = nullptr;
};

// What the pump emits, as (id, data), and for the pointer as (id, data, x, y).
using Got = std::vector<std::pair<int, int>>;
using At = std::tuple<int, int, int, int>;
Got pumped() {
  Got out;
  for (const Seen& e : pump_and_take()) out.emplace_back(e.id, e.data);
  return out;
}
std::vector<At> pumped_at() {
  std::vector<At> out;
  for (const Seen& e : pump_and_take()) out.emplace_back(e.id, e.data, e.x, e.y);
  return out;
}

int key_code(SDL_Scancode sc) {
  push_key(sc, true);
  push_key(sc, false);
  auto ev = pump_and_take();
  if (ev.size() < 2 || ev[0].id != KeyDown || ev.back().id != KeyUp) return -1;
  return ev[0].data;
}

TEST_F(Events, KeysBecomeWindowsCodes) {
  const std::pair<SDL_Scancode, int> keys[] = {
      {SDL_SCANCODE_A, 65},     {SDL_SCANCODE_Z, 90},          {SDL_SCANCODE_0, 48},
      {SDL_SCANCODE_9, 57},     {SDL_SCANCODE_LEFT, 37},       {SDL_SCANCODE_UP, 38},
      {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_DOWN, 40},       {SDL_SCANCODE_SPACE, 32},
      {SDL_SCANCODE_F1, 112},   {SDL_SCANCODE_F12, 123},       {SDL_SCANCODE_DELETE, 46},
      {SDL_SCANCODE_KP_5, 12},  {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_LGUI, 91},
  };
  for (auto [sc, code] : keys) EXPECT_EQ(key_code(sc), code) << SDL_GetScancodeName(sc);
}

TEST_F(Events, ModifiersAreSidedAndSetTheMask) {
  const struct {
    SDL_Scancode sc;
    int code;
    int mask;
  } mods[] = {
      {SDL_SCANCODE_LSHIFT, 160, ModShift},  {SDL_SCANCODE_RSHIFT, 161, ModShift},
      {SDL_SCANCODE_LCTRL, 162, ModControl}, {SDL_SCANCODE_RCTRL, 163, ModControl},
      {SDL_SCANCODE_LALT, 164, ModAlt},      {SDL_SCANCODE_RALT, 165, ModAlt},
      {SDL_SCANCODE_RGUI, 92, ModSystem},
  };
  for (auto m : mods) {
    push_key(m.sc, true);
    push_key(SDL_SCANCODE_X, true);
    push_key(SDL_SCANCODE_X, false);
    push_key(m.sc, false);
    auto ev = pump_and_take();
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[0].data, m.code);
    EXPECT_EQ(ev[1].mods, m.mask) << m.code;  // X typed with the modifier held
    EXPECT_EQ(ev[3].mods, 0);
  }
  EXPECT_EQ(current_modifiers(), 0);
}

TEST_F(Events, EveryScancodeGivesACodeInRangeAndNeverTheGenericModifiers) {
  for (int sc = 0; sc < SDL_NUM_SCANCODES; ++sc) {
    push_key(static_cast<SDL_Scancode>(sc), true);
    push_key(static_cast<SDL_Scancode>(sc), false);
    for (const Seen& e : pump_and_take()) {
      if (e.id != KeyDown && e.id != KeyUp) continue;
      EXPECT_GE(e.data, 1) << sc;
      EXPECT_LE(e.data, 255) << sc;
      EXPECT_TRUE(e.data < 16 || e.data > 18) << "scancode " << sc << " gave " << e.data;
    }
  }
  // A key without a code makes no event at all.
  push_key(SDL_SCANCODE_INTERNATIONAL1, true);
  EXPECT_TRUE(pump_and_take().empty());
}

TEST_F(Events, KeypadFollowsNumLockAndWindowKeysNeverReachTheGame) {
  static int toggles = 0;
  platform_set_window_toggle([] { ++toggles; });
  push_key(SDL_SCANCODE_KP_8, true);                    // NumLock off: Up
  push_key(SDL_SCANCODE_KP_8, false, false, KMOD_NUM);  // its up matches its down
  push_key(SDL_SCANCODE_KP_8, true, false, KMOD_NUM);   // on: 8
  // F11, and Alt+Enter; Alt let go before Enter, whose up is still the display's.
  for (bool down : {true, false})
    for (SDL_Scancode sc : {SDL_SCANCODE_F11, SDL_SCANCODE_LALT, SDL_SCANCODE_RETURN})
      push_key(sc, down);
  EXPECT_EQ(pumped(),
            (Got{{KeyDown, 38}, {KeyUp, 38}, {KeyDown, 104}, {KeyDown, 164}, {KeyUp, 164}}));
  EXPECT_EQ(toggles, 2);
  platform_set_window_toggle(nullptr);
}

TEST_F(Events, RepeatTextAndControlCharacters) {
  push_key(SDL_SCANCODE_B, true);
  push_key(SDL_SCANCODE_B, true, true);
  push_key(SDL_SCANCODE_B, true, true);
  EXPECT_EQ(pumped(), (Got{{KeyDown, 'B'}, {KeyRepeat, 'B'}, {KeyRepeat, 'B'}}));
  push_text("a\xC3\xA9\xE2\x82\xAC");  // a, e-acute, euro sign
  push_key(SDL_SCANCODE_RETURN, true);
  EXPECT_EQ(
      pumped(),
      (Got{{KeyChar, 'a'}, {KeyChar, 0xE9}, {KeyChar, 0x20AC}, {KeyDown, 13}, {KeyChar, 13}}));
}

TEST_F(Events, CloseRequestsFromButtonAltF4QuitAndSignals) {
  const Got close = {{AppTerminate, 0}};
  push_window(SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(pumped(), close);
  push_key(SDL_SCANCODE_LALT, true);
  push_key(SDL_SCANCODE_F4, true);
  push_key(SDL_SCANCODE_F4, true, true);  // held: still one request
  EXPECT_EQ(pumped(), (Got{{KeyDown, 164}, {KeyDown, 115}, close[0], {KeyRepeat, 115}}));
  push_key(SDL_SCANCODE_F4, false);
  push_key(SDL_SCANCODE_LALT, false);
  push_key(SDL_SCANCODE_F4, true);  // F4 alone is just a key
  EXPECT_EQ(pumped(), (Got{{KeyUp, 115}, {KeyUp, 164}, {KeyDown, 115}}));
  push_quit();
  EXPECT_EQ(pumped(), close);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    std::raise(sig);  // our handler only notes it
    EXPECT_EQ(pumped(), close) << sig;
    EXPECT_EQ(pumped(), Got{});
  }
}

TEST_F(Events, PointerInScreenCoordinatesOfALargerWindow) {
  // 1600 x 960 window, the screen scaled x2 between 160-pixel side bars.
  open_window(1600, 960, 160, 0, 1280, 960);
  push_motion(160 + 2 * 100 + 1, 2 * 50 + 1);
  push_button(SDL_BUTTON_RIGHT, true, 160 + 2 * 100 + 1, 2 * 50 + 1);
  push_motion(1599, 959);                           // held: captured moves keep coming
  push_button(SDL_BUTTON_RIGHT, false, 1599, 959);  // let go: back to the screen's edge
  EXPECT_EQ(pumped_at(), (std::vector<At>{{MouseEnter, 0, 100, 50},
                                          {MouseMove, 0, 100, 50},
                                          {MouseDown, 2, 100, 50},
                                          {MouseLeave, 0, 719, 479},
                                          {MouseMove, 2, 719, 479},
                                          {MouseUp, 2, 719, 479},
                                          {MouseMove, 0, 639, 479}}));
  // Over a side bar the pointer has left the screen, and its position stays on the edge.
  push_motion(361, 101);
  push_motion(20, 10);
  EXPECT_EQ(pumped_at(), (std::vector<At>{{MouseEnter, 0, 100, 50},
                                          {MouseMove, 0, 100, 50},
                                          {MouseLeave, 0, 0, 5},
                                          {MouseMove, 0, 0, 5}}));
}

TEST_F(Events, LeavingShowsAHiddenPointerAndComingBackHidesIt) {
  open_window(640, 480, 0, 0, 640, 480);
  hide_mouse();
  push_motion(100, 100);
  EXPECT_EQ(pumped_at(), (std::vector<At>{{MouseEnter, 0, 100, 100}, {MouseMove, 0, 100, 100}}));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  push_window(SDL_WINDOWEVENT_LEAVE);
  EXPECT_EQ(pumped_at(), (std::vector<At>{{MouseLeave, 0, 100, 100}}));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  push_motion(200, 100);
  EXPECT_EQ(pumped_at(), (std::vector<At>{{MouseEnter, 0, 200, 100}, {MouseMove, 0, 200, 100}}));
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  show_mouse();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

// The system pointer goes to the window pixel under the screen pixel's centre, and the
// game reads back the point it asked for even where two screen pixels share a window pixel.
TEST_F(Events, MoveMousePlacesThePointerAndReadsBackExactlyAtAnyScale) {
  const auto moved_to = [](int x, int y) {
    move_mouse(x, y);
    At at{-1, -1, mouse_x(), mouse_y()};
    SDL_GetMouseState(&std::get<0>(at), &std::get<1>(at));
    return at;
  };
  open_window(320, 240, 0, 0, 320, 240);  // half size: 316 and 317 share window pixel 158
  enable_polled_input();
  EXPECT_EQ(moved_to(316, 242), std::make_tuple(158, 121, 316, 242));
  disable_polled_input();
  SDL_DestroyWindow(window_);
  window_ = nullptr;
  open_window(1000, 750, 0, 0, 1000, 750);
  enable_polled_input();
  EXPECT_EQ(moved_to(0, 242), std::make_tuple(0, 378, 0, 242));
  EXPECT_EQ(moved_to(316, 242), std::make_tuple(494, 378, 316, 242));
  EXPECT_EQ(moved_to(639, 242), std::make_tuple(999, 378, 639, 242));
  // A joystick walking off the screen stops at its edge.
  EXPECT_EQ(moved_to(-6, 485), std::make_tuple(0, 749, 0, 479));
  disable_polled_input();
}

TEST_F(Events, WheelAndWindowHandlerAfterTranslation) {
  static std::vector<Seen>* log = &seen();
  static int handled = 0;
  handled = 0;
  platform_set_window_handler([](const SDL_Event& e) {
    if (e.type == SDL_MOUSEWHEEL) {
      EXPECT_FALSE(log->empty());  // the event was emitted before the display saw it
      ++handled;
    }
  });
  push_wheel(-2);
  EXPECT_EQ(pumped(), (Got{{MouseWheel, -2}}));
  EXPECT_EQ(handled, 1);
}

// ---- hooks and the pump's re-entry guard

std::vector<int> g_order;

TObjectPtr hook_a(int, TObjectPtr d, TObjectPtr) {
  g_order.push_back(1);
  return d;
}
TObjectPtr hook_b(int, TObjectPtr d, TObjectPtr) {
  g_order.push_back(2);
  return d;
}
TObjectPtr hook_c(int, TObjectPtr d, TObjectPtr) {
  g_order.push_back(3);
  return d;
}
TObjectPtr hook_swap(int, TObjectPtr, TObjectPtr ctx) { return ctx; }

TEST(Hooks, PriorityOrderRemovalAndChainedData) {
  const int id = alloc_hook_id();
  auto ctx = std::make_shared<int>(7);
  add_hook(id, hook_a, nullptr, 0);
  add_hook(id, hook_b, nullptr, 5);
  add_hook(id, hook_c, nullptr, 0);  // equal priority goes after
  add_hook(id, hook_c, ctx, 5);
  g_order.clear();
  run_hooks(id, nullptr);
  EXPECT_EQ(g_order, (std::vector<int>{2, 3, 1, 3}));

  remove_hook(id, hook_c, nullptr);  // only the one with that context
  g_order.clear();
  run_hooks(id, nullptr);
  EXPECT_EQ(g_order, (std::vector<int>{2, 3, 1}));

  add_hook(id, hook_swap, ctx, -1);
  auto out = run_hooks(id, std::make_shared<int>(1));
  EXPECT_EQ(*static_cast<int*>(out.get()), 7);
}

int g_self_id = 0;
TObjectPtr hook_once(int, TObjectPtr d, TObjectPtr) {
  g_order.push_back(9);
  remove_hook(g_self_id, hook_once, nullptr);
  return d;
}

TEST(Hooks, AHookMayRemoveItselfWhileRunning) {
  g_self_id = alloc_hook_id();
  add_hook(g_self_id, hook_a, nullptr, 1);
  add_hook(g_self_id, hook_once, nullptr, 1);
  add_hook(g_self_id, hook_b, nullptr, 1);
  g_order.clear();
  run_hooks(g_self_id, nullptr);
  run_hooks(g_self_id, nullptr);
  EXPECT_EQ(g_order, (std::vector<int>{1, 9, 2, 1, 2}));
}

TEST(Hooks, RunningOutOfIdsThrows) {
  EXPECT_EXIT(
      {
        emit_event_hook();
        try {
          for (int i = 0; i < 300; ++i) alloc_hook_id();
        } catch (const std::runtime_error& e) {
          std::exit(std::string(e.what()) == "Too many hook ids" ? 0 : 2);
        }
        std::exit(1);
      },
      ::testing::ExitedWithCode(0), "");
}

int g_depth = 0;
int g_nested_keys = 0;
TObjectPtr reentrant(int, TObjectPtr d, TObjectPtr) {
  auto* ev = static_cast<TEvent*>(d.get());
  if (ev->id != KeyDown) return d;
  if (g_depth) ++g_nested_keys;
  ++g_depth;
  if (ev->data == 'Q') push_key(SDL_SCANCODE_W, true);
  poll_system();  // must return at once
  --g_depth;
  return d;
}

TEST_F(Events, PumpInsideAPumpReturnsAtOnce) {
  add_hook(emit_event_hook(), reentrant, nullptr, 0);
  push_key(SDL_SCANCODE_Q, true);
  auto ev = pumped();
  auto later = pumped();  // SDL hands out events queued mid-pump on the next pump
  ev.insert(ev.end(), later.begin(), later.end());
  remove_hook(emit_event_hook(), reentrant, nullptr);
  EXPECT_EQ(g_nested_keys, 0);
  // W was not lost, just not taken inside the hook.
  EXPECT_EQ(ev, (Got{{KeyDown, 'Q'}, {KeyDown, 'W'}}));
}

}  // namespace
