// One screen that uses everything at once, as a frame of the game does: the pieces must
// not disturb each other (state left behind by one primitive spoiling the next).
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

// 8 x 4 picture: a red left half and a green right half, with a black (masked) column.
std::shared_ptr<TImage> two_tone() {
  auto p = TPixmap::Create(8, 4, PixelRGB888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x)
      p->WritePixel(x, y,
                    static_cast<int>(x == 3  ? 0xFF000000u
                                     : x < 4 ? 0xFFFF0000u
                                             : 0xFF00FF00u));
  return LoadImage(p, MaskedImage);
}

class SceneTest : public GLTest {};

TEST_F(SceneTest, EveryPrimitiveImagesAndTextOnOneScreen) {
  SetClsColor(0, 0, 64);
  Cls();

  SetBlend(SolidBlend);
  SetColor(255, 255, 0);
  DrawRect(20, 20, 30, 10);  // yellow block 20..49 x 20..29
  SetColor(0, 255, 255);
  DrawLine(20, 40, 59, 40);  // cyan line, last pixel included
  SetColor(255, 0, 255);
  DrawOval(100, 20, 40, 40);  // magenta disc around (120, 40)
  SetColor(255, 255, 255);
  DrawPoly({200, 20, 240, 20, 200, 60});  // white triangle
  Plot(300, 300);

  auto img = two_tone();
  ASSERT_NE(img, nullptr);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  DrawImage(img, 300, 100);  // as it is: 300..307 x 100..103
  SetRotation(90);
  SetScale(2, 2);
  DrawImage(img, 400, 100);  // turned clockwise and doubled
  SetRotation(0);
  SetScale(1, 1);

  SetImageFont(nullptr);  // the built-in 8 x 16 font
  SetBlend(SolidBlend);
  SetColor(255, 128, 0);
  DrawText("HI", 20, 200);

  const uint32_t sky = 0x000040u;
  EXPECT_EQ(screen_rgb(20, 20), 0xFFFF00u);
  EXPECT_EQ(screen_rgb(49, 29), 0xFFFF00u);
  EXPECT_EQ(screen_rgb(50, 29), sky);
  EXPECT_EQ(screen_rgb(59, 40), 0x00FFFFu);
  EXPECT_EQ(screen_rgb(120, 40), 0xFF00FFu);
  EXPECT_EQ(screen_rgb(101, 21), sky);  // outside the curve
  EXPECT_EQ(screen_rgb(205, 25), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(238, 58), sky);  // beyond the hypotenuse
  EXPECT_EQ(screen_rgb(300, 300), 0xFFFFFFu);

  // Unturned: red, the masked column shows the sky, then green.
  EXPECT_EQ(screen_rgb(300, 100), 0xFF0000u);
  EXPECT_EQ(screen_rgb(303, 101), sky);
  EXPECT_EQ(screen_rgb(307, 103), 0x00FF00u);
  // Turned 90 degrees clockwise about the top-left handle and doubled: the picture's x
  // runs down the screen and its y to the left, so red is on top, green below.
  EXPECT_EQ(screen_rgb(395, 101), 0xFF0000u);
  EXPECT_EQ(screen_rgb(395, 107), sky);  // the masked column, doubled
  EXPECT_EQ(screen_rgb(395, 113), 0x00FF00u);
  EXPECT_EQ(screen_rgb(401, 105), sky);  // right of the handle: nothing

  // The text: orange pixels inside two 8 x 16 cells, none outside them.
  EXPECT_GT(count_rgb(20, 200, 8, 16, 0xFF8000u), 10);
  EXPECT_GT(count_rgb(28, 200, 8, 16, 0xFF8000u), 5);
  EXPECT_EQ(count_rgb(36, 200, 40, 16, 0xFF8000u), 0);
  EXPECT_EQ(TextWidth("HI"), 16);
}

}  // namespace
