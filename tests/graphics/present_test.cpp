// The present shows the screen exactly, at a fractional scale (full screen on a 1400 x 1010
// desktop: 1346 x 1010 from x 27) and at its own size (a 640 x 480 window), and leaves the
// screen and the drawing state as they were.

#include <SDL.h>
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/soft/soft2d.h"
#include "graphics/window/screen_window.h"
#include "private_display.h"

namespace {

// Every screen pixel a colour of its own, far from its neighbours' (a filter would show);
// rows from `from` to `to` (not included), between columns `left` and `right`, another set of
// colours.
// A 16 x 16 square of one colour at sprite_x, sprite_y over it, when there.
int from = 0, to = 0, left = 0, right = 640;
int sprite_x = -100, sprite_y = -100;
constexpr int kSprite = 0x123456;
int pattern(int x, int y) {
  if (x >= sprite_x && x < sprite_x + 16 && y >= sprite_y && y < sprite_y + 16) return kSprite;
  const unsigned seed = y >= from && y < to && x >= left && x < right ? 7u : 0u;
  return static_cast<int>((static_cast<unsigned>(y * 640 + x) * 2654435761u + seed) & 0xFFFFFFu);
}
std::shared_ptr<TPixmap> pattern_pixmap(int rows) {
  std::shared_ptr<TPixmap> p = CreatePixmap(640, rows, PixelRGBA8888);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < 640; ++x) p->WritePixel(x, y, ~0xFFFFFF | pattern(x, y + 480 - rows));
  }
  return p;
}

// Pixels of the w x h rectangle at (x0, y0) of the desktop that do not show the screen pixel
// under their centre (either one, for a centre on a texel's edge).
int wrong_pixels(TPixmap& desktop, int x0, int y0, int w, int h) {
  int wrong = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int got = desktop.ReadPixel(x0 + x, y0 + y) & 0xFFFFFF;
      bool ok = false;
      for (double ex : {-0.01, 0.01}) {
        for (double ey : {-0.01, 0.01}) {
          ok = ok || got == pattern(static_cast<int>((x + 0.5 + ex) * 640 / w),
                                    static_cast<int>((y + 0.5 + ey) * 480 / h));
        }
      }
      wrong += ok ? 0 : 1;
    }
  }
  return wrong;
}

TEST(Present, EveryShownPixelIsTheScreenPixelUnderIt) {
  use_private_display(1400, 1010);
  init_graphics_module();
  init_pixmap_module();
  std::shared_ptr<TPixmap> screen = pattern_pixmap(480);
  std::shared_ptr<TPixmap> blue = CreatePixmap(4, 4, PixelRGBA8888);
  blue->ClearPixels(~0xFFFFFF | 0xFF);
  std::shared_ptr<TImage> image = LoadImage(blue, 0);
  for (int depth : {32, 0}) {
    SCOPED_TRACE(depth ? "full screen, scaled" : "window, its own size");
    ASSERT_NE(OpenGraphics(640, 480, depth, 0, BackBuffer), nullptr) << GraphicsError();
    DrawImage(image, 0, 0);
    DrawPixmap(screen, 0, 0);
    // State the present must leave alone: a scissor, a clear colour, untextured drawing
    // with a texture still bound (the image's; the pixmap turned texturing off).
    SetViewport(100, 100, 10, 10);
    SetClsColor(0, 255, 0);
    SetBlend(SolidBlend);
    SetColor(255, 0, 0);
    Flip(0);

    std::shared_ptr<TPixmap> desktop = desktop_shot();
    ASSERT_NE(desktop, nullptr);
    const TScreenWindow* shown = CurrentScreenWindow();
    ASSERT_NE(shown, nullptr);
    if (depth && shown->offscreen) {  // without framebuffer objects, a plain window
      EXPECT_EQ(wrong_pixels(*desktop, 27, 0, 1346, 1010), 0);
      EXPECT_EQ(desktop->ReadPixel(26, 500) & 0xFFFFFF, 0) << "left border";
      EXPECT_EQ(desktop->ReadPixel(1373, 500) & 0xFFFFFF, 0) << "right border";
    } else {
      int x = 0, y = 0;
      SDL_GetWindowPosition(shown->window, &x, &y);
      EXPECT_EQ(wrong_pixels(*desktop, x, y, 640, 480), 0);
    }

    Cls();
    SetViewport(0, 0, 640, 480);
    DrawRect(200, 200, 1, 1);
    std::shared_ptr<TPixmap> after = GrabPixmap(0, 0, 640, 480);
    EXPECT_EQ(after->ReadPixel(105, 105) & 0xFFFFFF, 0x00FF00) << "scissored clear";
    EXPECT_EQ(after->ReadPixel(200, 200) & 0xFFFFFF, 0xFF0000) << "untextured rectangle";
    EXPECT_EQ(after->ReadPixel(99, 99) & 0xFFFFFF, pattern(99, 99)) << "the screen as it was";
    EXPECT_EQ(after->ReadPixel(639, 479) & 0xFFFFFF, pattern(639, 479));
    CloseGraphics();
  }
}

// Presents after the first show what changed since, and what another window covered and
// left, as well as the first shows all of it.
TEST(Present, ChangesAndUncoveredPartsShowAtTheNextPresent) {
  use_private_display(1400, 1010);
  init_graphics_module();
  init_pixmap_module();
  ASSERT_NE(OpenGraphics(640, 480, 32, 0, BackBuffer), nullptr) << GraphicsError();
  const TScreenWindow* shown = CurrentScreenWindow();
  ASSERT_NE(shown, nullptr);
  if (!shown->offscreen) GTEST_SKIP() << "a plain window: nothing is letterboxed";
  auto pump = [] {  // the window system's events, for a moment
    for (int i = 0; i < 20; ++i) {
      SDL_PumpEvents();
      SDL_Delay(10);
    }
  };
  auto present = [](int changed_from, int changed_to) {
    from = changed_from;
    to = changed_to;
    Cls();
    DrawPixmap(pattern_pixmap(480), 0, 0);
    Flip(0);
  };
  // Frames drawn from pictures, the same but for a square that moves: it shows where it
  // is, and the picture where it was.
  std::shared_ptr<TImage> sky = LoadImage(pattern_pixmap(480), 0);
  std::shared_ptr<TPixmap> square = CreatePixmap(16, 16, PixelRGBA8888);
  square->ClearPixels(~0xFFFFFF | kSprite);
  std::shared_ptr<TImage> sprite = LoadImage(square, 0);
  auto moving = [&](int x0, int y0, int w, int h) {
    for (int k = 0; k < 3; ++k) {
      Cls();
      DrawImage(sky, 0, 0);
      DrawImage(sprite, static_cast<float>(100 + 37 * k), static_cast<float>(200 + 5 * k));
      Flip(0);
    }
    sprite_x = 174, sprite_y = 210;  // where the last frame drew it
    std::shared_ptr<TPixmap> desktop = desktop_shot();
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(wrong_pixels(*desktop, x0, y0, w, h), 0) << "a square moved";
    sprite_x = sprite_y = -100;
  };
  moving(27, 0, 1346, 1010);
  present(0, 0);
  present(0, 0);
  present(100, 141);
  std::shared_ptr<TPixmap> desktop = desktop_shot();
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(wrong_pixels(*desktop, 27, 0, 1346, 1010), 0) << "rows 100 to 140 changed";

  // A window over ours, painted white and gone: the X server leaves its pixels. (Mesa's
  // software GL under Xvfb leaves them at every swap after, too; the GL renderer is not
  // chosen where that GL is all there is.)
  if (!dynamic_cast<TSoft2DDriver*>(Current2DDriver())) GTEST_SKIP() << "the GL renderer";
  SDL_Window* cover = SDL_CreateWindow("cover", 500, 300, 300, 300, SDL_WINDOW_BORDERLESS);
  ASSERT_NE(cover, nullptr) << SDL_GetError();
  SDL_Surface* white = SDL_GetWindowSurface(cover);
  ASSERT_NE(white, nullptr) << SDL_GetError();
  SDL_FillRect(white, nullptr, SDL_MapRGB(white->format, 255, 255, 255));
  SDL_UpdateWindowSurface(cover);
  SDL_Delay(200);
  SDL_DestroyWindow(cover);
  pump();
  present(100, 141);
  desktop = desktop_shot();
  ASSERT_NE(desktop, nullptr);
  EXPECT_EQ(wrong_pixels(*desktop, 27, 0, 1346, 1010), 0) << "after the window over it went";
  CloseGraphics();

  // A window twice the screen's size, where each screen pixel shows as four.
  ASSERT_NE(OpenGraphics(640, 480, 0, 0, BackBuffer), nullptr) << GraphicsError();
  SDL_Window* window = CurrentScreenWindow()->window;
  SDL_SetWindowSize(window, 1280, 960);
  pump();
  present(0, 0);
  left = 201;
  right = 263;
  present(300, 302);
  desktop = desktop_shot();
  ASSERT_NE(desktop, nullptr);
  int x = 0, y = 0;
  SDL_GetWindowPosition(window, &x, &y);
  EXPECT_EQ(wrong_pixels(*desktop, x, y, 1280, 960), 0) << "doubled";
  left = 0, right = 640, from = to = 0;
  moving(x, y, 1280, 960);
  CloseGraphics();
}

}  // namespace
