// The present shows the screen exactly, at a fractional scale (full screen on a 1000 x 700
// desktop: 933 x 700 from x 33) and at its own size (a 640 x 480 window), and leaves the
// screen and the drawing state as they were.

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "private_display.h"

namespace {

// Every screen pixel a colour of its own, far from its neighbours' (a filter would show).
int pattern(int x, int y) {
  return static_cast<int>((static_cast<unsigned>(y * 640 + x) * 2654435761u) & 0xFFFFFFu);
}

// What the X server shows, top row first.
std::shared_ptr<TPixmap> shown_desktop() {
  const std::string path = testing::TempDir() + "present_test_desktop.png";
  if (std::system(("import -window root PNG24:" + path).c_str()) != 0) return nullptr;
  std::shared_ptr<TPixmap> p = LoadPixmap(path);
  std::remove(path.c_str());
  return p;
}

// The texels a pixel centre may show: the one under it, and its neighbour on an edge.
void texels(int i, int n, int size, int& lo, int& hi) {
  const double t = (i + 0.5) * size / n;
  lo = hi = static_cast<int>(t);
  if (t - lo < 0.01 && lo > 0) --lo;
  if (hi + 1 - t < 0.01 && hi + 1 < size) ++hi;
}

// Desktop pixels in the rectangle that are not the screen pixel under their centre.
int wrong_pixels(TPixmap& shown, int x0, int y0, int w, int h) {
  int wrong = 0;
  for (int y = 0; y < h; ++y) {
    int ylo, yhi;
    texels(y, h, 480, ylo, yhi);
    for (int x = 0; x < w; ++x) {
      int xlo, xhi;
      texels(x, w, 640, xlo, xhi);
      const int got = shown.ReadPixel(x0 + x, y0 + y) & 0xFFFFFF;
      bool ok = false;
      for (int sy = ylo; sy <= yhi; ++sy) {
        for (int sx = xlo; sx <= xhi; ++sx) ok = ok || got == pattern(sx, sy);
      }
      wrong += ok ? 0 : 1;
    }
  }
  return wrong;
}

TEST(Present, EveryShownPixelIsTheScreenPixelUnderIt) {
  use_private_display(1000, 700);
  init_graphics_module();
  init_pixmap_module();
  std::shared_ptr<TPixmap> screen = CreatePixmap(640, 480, PixelRGBA8888);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) screen->WritePixel(x, y, static_cast<int>(0xFF000000u) | pattern(x, y));
  }
  std::shared_ptr<TPixmap> blue = CreatePixmap(4, 4, PixelRGBA8888);
  blue->ClearPixels(static_cast<int>(0xFF0000FFu));
  std::shared_ptr<TImage> image = LoadImage(blue, 0);
  for (int depth : {32, 0}) {
    SCOPED_TRACE(depth ? "full screen, scaled" : "window, its own size");
    ASSERT_NE(OpenGraphics(640, 480, depth, 0, BackBuffer), nullptr) << GraphicsError();
    DrawImage(image, 0, 0);
    DrawPixmap(screen, 0, 0);
    // State the present must not disturb: a scissor, a clear colour, untextured drawing
    // with a texture still bound (the image's; the pixmap turned texturing off).
    SetViewport(100, 100, 10, 10);
    SetClsColor(0, 255, 0);
    SetBlend(SolidBlend);
    SetColor(255, 0, 0);
    Flip(0);

    std::shared_ptr<TPixmap> shown = shown_desktop();
    ASSERT_NE(shown, nullptr) << "cannot read the X screen";
    int x0 = 33, y0 = 0, w = 933, h = 700;
    if (depth == 0) {
      SDL_GetWindowPosition(SDL_GL_GetCurrentWindow(), &x0, &y0);
      w = 640;
      h = 480;
    } else {
      EXPECT_EQ(shown->ReadPixel(32, 350) & 0xFFFFFF, 0) << "left border";
      EXPECT_EQ(shown->ReadPixel(966, 350) & 0xFFFFFF, 0) << "right border";
    }
    EXPECT_EQ(wrong_pixels(*shown, x0, y0, w, h), 0);

    // The screen is read back unchanged, and drawing goes on with the state it had.
    Cls();
    SetViewport(0, 0, 640, 480);
    DrawRect(200, 200, 1, 1);
    std::shared_ptr<TPixmap> after = GrabPixmap(0, 0, 640, 480);
    EXPECT_EQ(after->ReadPixel(105, 105) & 0xFFFFFF, 0x00FF00) << "scissored clear";
    EXPECT_EQ(after->ReadPixel(200, 200) & 0xFFFFFF, 0xFF0000) << "untextured rectangle";
    EXPECT_EQ(after->ReadPixel(99, 99) & 0xFFFFFF, pattern(99, 99));
    EXPECT_EQ(after->ReadPixel(639, 479) & 0xFFFFFF, pattern(639, 479));
    CloseGraphics();
  }
}

}  // namespace
