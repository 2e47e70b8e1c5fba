// The display: opening and closing, generations, frame pacing with a controlled clock,
// the bars around the presented screen, and failing cleanly without a display.

#include <SDL.h>
#include <gtest/gtest.h>

#include "private_display.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/window/screen_window.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "sdl_events.h"

namespace {

// A clock that moves `step` ms per reading and jumps ahead on every sleep, so pacing
// can be checked to the millisecond without waiting.
uint32_t fake_ms = 100000;  // unsigned: it wraps like the real clock
int fake_step = 0;
std::vector<int> sleeps;

int now_ms() { return static_cast<int>(fake_ms); }

int fake_clock() {
  fake_ms += static_cast<uint32_t>(fake_step);
  return now_ms();
}

void fake_sleep(int ms) {
  sleeps.push_back(ms);
  if (ms > 0) fake_ms += static_cast<uint32_t>(ms);
}

class DisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Some cases read what the X server shows, so no other program's window may cover ours.
    use_private_display(1280, 1024);
    init_graphics_module();
    SetDisplaySyncCheck(false);  // the X server under test cannot sync; measure the probe anyway
    sleeps.clear();
    fake_step = 0;
  }
  void TearDown() override {
    set_clock_hooks(nullptr, nullptr);
    SetDisplaySyncCheck(true);
    CloseGraphics();
    SetGraphicsWindowed(false);
  }
  // Opens full screen while every present of the vertical-sync probe "takes" probe_ms.
  void open_full_screen(int probe_ms) {
    set_clock_hooks(fake_clock, fake_sleep);
    fake_step = probe_ms;
    ASSERT_NE(OpenGraphics(640, 480, 32, 60, BackBuffer), nullptr) << GraphicsError();
    fake_step = 0;
    sleeps.clear();
  }
};

TEST_F(DisplayTest, OpenCloseSettingsAndGenerations) {
  const int g0 = GraphicsGeneration();
  EXPECT_NE(g0, 0);
  auto g = OpenGraphics(640, 480, 0, 0, BackBuffer);
  ASSERT_NE(g, nullptr) << GraphicsError();
  EXPECT_EQ(GraphicsGeneration(), g0 + 1);
  EXPECT_EQ(GraphicsWidth(), 640);
  EXPECT_EQ(GraphicsHeight(), 480);
  EXPECT_EQ(GraphicsDepth(), 0);
  EXPECT_EQ(GraphicsFlags() & BackBuffer, BackBuffer);
  EXPECT_EQ(CurrentGraphics(), g);
  EXPECT_EQ(OpenedGraphics(), g);
  EXPECT_EQ(GraphicsSync().soft_sync, 0);  // hertz 0: no pacing

  // Opening again closes the first graphics (one generation) and opens anew (another).
  auto g2 = OpenGraphics(640, 480, 0, 0, BackBuffer);
  ASSERT_NE(g2, nullptr);
  EXPECT_EQ(GraphicsGeneration(), g0 + 3);

  CloseGraphics();
  EXPECT_EQ(GraphicsGeneration(), g0 + 4);
  EXPECT_EQ(GraphicsWidth(), 0);
  EXPECT_EQ(GraphicsHeight(), 0);
  EXPECT_EQ(CurrentGraphics(), nullptr);
  EXPECT_EQ(T2DGraphics::Current(), nullptr);
  CloseGraphics();  // nothing open: no new generation
  EXPECT_EQ(GraphicsGeneration(), g0 + 4);
}

TEST_F(DisplayTest, SoftSyncPacesSixtyFramesToExactlyOneSecond) {
  open_full_screen(100);  // presents far slower than a refresh: the display does not sync
  TGraphicsSync s = GraphicsSync();
  ASSERT_EQ(s.soft_sync, 1);
  EXPECT_EQ(s.period, 16);
  EXPECT_EQ(s.fraction, 40);
  EXPECT_EQ(s.rate, 60);
  EXPECT_EQ(s.time, now_ms());

  const int start = GraphicsSync().time;
  for (int i = 0; i < 60; ++i) Flip(-1);
  EXPECT_EQ(GraphicsSync().time - start, 1000);
  ASSERT_EQ(sleeps.size(), 60u);
  for (size_t i = 0; i < sleeps.size(); ++i) {
    EXPECT_EQ(sleeps[i], i % 3 == 0 ? 16 : 17) << "frame " << i;
  }
  EXPECT_EQ(GraphicsSync().accumulator, 0);
}

TEST_F(DisplayTest, LateFrameIsDroppedNotMadeUp) {
  open_full_screen(100);
  Flip(-1);
  Flip(-1);
  sleeps.clear();
  fake_ms += 45;  // a slow frame: 45 ms of work before the next present
  Flip(-1);
  EXPECT_TRUE(sleeps.empty() || sleeps[0] <= 0);
  EXPECT_EQ(GraphicsSync().time, now_ms());  // pacing restarts from now
  sleeps.clear();
  Flip(-1);
  Flip(-1);
  Flip(-1);
  // Full frames again, not shortened to catch up.
  ASSERT_EQ(sleeps.size(), 3u);
  EXPECT_EQ(sleeps[0] + sleeps[1] + sleeps[2], 50);
  for (int ms : sleeps) EXPECT_GE(ms, 16);
}

TEST_F(DisplayTest, SyncTimeWrapsWithTheClock) {
  // The vertical-sync probe reads the clock for 1200 ms; pacing starts 40 ms before the
  // clock turns negative.
  fake_ms = 0x80000000u - 1240u;
  open_full_screen(100);
  ASSERT_GT(GraphicsSync().time, 0);
  const int start = GraphicsSync().time;
  for (int i = 0; i < 6; ++i) Flip(-1);
  EXPECT_EQ(clock_diff(GraphicsSync().time, start), 100);
  EXPECT_LT(GraphicsSync().time, 0);
  for (int ms : sleeps) EXPECT_TRUE(ms == 16 || ms == 17) << ms;
  fake_ms = 100000;
}

TEST_F(DisplayTest, DisplayThatSyncsTurnsSoftSyncOff) {
  for (int took : {15, 16, 17}) {
    open_full_screen(took);
    EXPECT_EQ(GraphicsSync().soft_sync, 0) << "presents taking " << took << " ms";
    Flip(-1);  // the display paces; Flip must not sleep
    EXPECT_TRUE(sleeps.empty());
  }
  for (int took : {14, 18}) {
    open_full_screen(took);
    EXPECT_EQ(GraphicsSync().soft_sync, 1) << "presents taking " << took << " ms";
  }
}

TEST_F(DisplayTest, DisplayThatRefusesTheSwapIntervalIsNeverTrusted) {
  // The virtual X server refuses the swap interval: even presents that look like refresh
  // periods must leave the pacing on.
  SetDisplaySyncCheck(true);
  open_full_screen(16);
  EXPECT_EQ(GraphicsSync().soft_sync, 1);
}

TEST_F(DisplayTest, FullScreenCentresThePointer) {
  open_full_screen(100);
  set_clock_hooks(nullptr, nullptr);
  poll_system();
  // 1280 x 1024 shows the screen twice as large from row 32: its centre is at (640, 512).
  int x = -1, y = -1;
  SDL_GetGlobalMouseState(&x, &y);
  EXPECT_NEAR(x, 640, 1);
  EXPECT_NEAR(y, 512, 1);
}

TEST_F(DisplayTest, AWindowStaysPutWithoutTheFocusAndMapsThePointerAfterAResize) {
  SetGraphicsWindowed(true);
  open_full_screen(100);
  ASSERT_NE(CurrentScreenWindow(), nullptr);
  SDL_Window* w = CurrentScreenWindow()->window;
  push_window(SDL_WINDOWEVENT_FOCUS_LOST);
  EXPECT_EQ(app_suspended(), 1);  // the game pauses; the window stays
  EXPECT_EQ(SDL_GetWindowFlags(w) & SDL_WINDOW_MINIMIZED, 0u);
  SDL_SetWindowSize(w, 1000, 600);  // the screen shows at 800 x 600 between bars of 100
  push_motion(106, 6);
  EXPECT_EQ(mouse_x(), 5);
  EXPECT_EQ(mouse_y(), 5);
}

// Every pixel of the screen in the window is the present test's; here, the bars a 4:3
// screen leaves on a taller desktop.
TEST_F(DisplayTest, PresentLeavesBlackBarsAboveAndBelow) {
  open_full_screen(100);
  set_clock_hooks(nullptr, nullptr);
  SetClsColor(0, 0, 255);
  Cls();
  Flip(0);
  // 1280 x 1024 shows the screen twice as large from row 32 to row 991.
  std::shared_ptr<TPixmap> shown = desktop_shot();
  ASSERT_TRUE(shown && shown->width == 1280 && shown->height == 1024) << "cannot read the X screen";
  for (int x : {0, 640, 1279}) {
    for (auto [y, rgb] : {std::pair{0, 0}, {31, 0}, {32, 0xFF}, {991, 0xFF}, {992, 0}, {1023, 0}})
      EXPECT_EQ(shown->ReadPixel(x, y) & 0xFFFFFF, rgb) << x << ", " << y;
  }
}

TEST(NoDisplay, OpeningFailsWithAReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // The child starts afresh without any display to talk to.
  std::vector<std::pair<std::string, std::string>> saved;
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}) {
    if (const char* v = std::getenv(name)) saved.emplace_back(name, v);
    unsetenv(name);
  }
  EXPECT_EXIT(
      {
        init_graphics_module();
        auto g = OpenGraphics(640, 480, 32, 60, BackBuffer);
        if (g) std::exit(3);
        std::fprintf(stderr, "%s\n", GraphicsError().c_str());
        std::exit(GraphicsError().empty() ? 4 : 1);
      },
      ::testing::ExitedWithCode(1), "no display");
  for (const auto& [name, value] : saved) setenv(name.c_str(), value.c_str(), 1);
}

}  // namespace
