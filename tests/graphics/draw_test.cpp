// The drawing context: where rotation, scale, handle and origin put things, the state
// it keeps, and the image drawing it offers.

#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

using DrawTest = GLTest;

TEST_F(DrawTest, RotationScaleHandleAndOriginPlaceRectangles) {
  // Rotated 90 degrees clockwise, a 10 x 2 bar hangs down and to the left of its spot.
  SetRotation(90);
  DrawRect(100, 100, 10, 2);
  EXPECT_EQ(lit_box(), (box{98, 100, 99, 109}));

  Cls();
  SetRotation(0);
  SetHandle(5, 5);
  DrawRect(50, 50, 10, 10);
  EXPECT_EQ(lit_box(), (box{45, 45, 54, 54}));

  // The origin is added after the matrix, never scaled.
  Cls();
  SetHandle(0, 0);
  SetScale(2, 2);
  SetOrigin(10, 0);
  DrawRect(0, 0, 1, 1);
  EXPECT_EQ(lit_box(), (box{10, 0, 11, 1}));

  // Scale is applied before rotation.
  Cls();
  SetOrigin(0, 0);
  SetRotationScale(90, 3, 1);
  DrawRect(200, 200, 2, 2);  // 6 wide across, 2 high down before turning
  EXPECT_EQ(lit_box(), (box{198, 200, 199, 205}));
}

TEST_F(DrawTest, TransformMatrixFollowsRotationAndScale) {
  SetRotationScale(30, 2, 3);
  float ix, iy, jx, jy;
  GetTransform(ix, iy, jx, jy);
  // cos 30 = 0.8660254, sin 30 = 0.5; x scaled by 2, y by 3.
  EXPECT_NEAR(ix, 1.7320508, 1e-6);
  EXPECT_NEAR(iy, -1.5, 1e-6);
  EXPECT_NEAR(jx, 1.0, 1e-6);
  EXPECT_NEAR(jy, 2.5980762, 1e-6);

  SetRotationScale(0, 1, 1);
  GetTransform(ix, iy, jx, jy);
  EXPECT_EQ(ix, 1);
  EXPECT_EQ(iy, 0);  // -sin(0) is -0, equal to 0
  EXPECT_EQ(jx, 0);
  EXPECT_EQ(jy, 1);
}

TEST_F(DrawTest, LinesWithAndWithoutTheirLastPixel) {
  SetHandle(0, 0);
  DrawLine(100, 50, 110, 50, 0);
  EXPECT_EQ(lit_box(), (box{100, 50, 109, 50}));
  DrawLine(100, 50, 110, 50);
  EXPECT_EQ(lit_box(), (box{100, 50, 110, 50}));

  // The last pixel follows the matrix and the origin like the line does.
  Cls();
  SetOrigin(5, 0);
  SetRotation(90);
  DrawLine(100, 50, 110, 50);  // turns to run downwards
  const box b = lit_box();
  EXPECT_EQ(b.x0, 105);
  EXPECT_EQ(b.x1, 105);
  EXPECT_EQ(b.y1, 60);
}

TEST_F(DrawTest, StateReadBackDrawsTheSameScreen) {
  // What the readers give back, set again after a reset, draws the very same pixels: every
  // value below changes them.
  auto draw = [] {
    Cls();
    DrawRect(40, 30, 30, 20);
    DrawLine(10, 60, 90, 70);
  };
  SetColor(200, 100, 50);
  SetAlpha(0.5f);
  SetBlend(LightBlend);
  SetClsColor(10, 20, 30);
  SetLineWidth(3);
  SetViewport(5, 6, 80, 70);
  SetOrigin(7, 8);
  SetHandle(3, -4);
  SetRotationScale(20, 1.5f, 0.75f);
  draw();
  const std::shared_ptr<TPixmap> want = grab_screen();
  int r, g, b, cr, cg, cb, vx, vy, vw, vh;
  float ox, oy, hx, hy, sx, sy;
  GetColor(r, g, b);
  GetClsColor(cr, cg, cb);
  GetViewport(vx, vy, vw, vh);
  GetOrigin(ox, oy);
  GetHandle(hx, hy);
  GetScale(sx, sy);
  const float alpha = GetAlpha(), width = GetLineWidth(), rotation = GetRotation();
  const int blend = GetBlend();
  gl_fixture_reset();
  SetColor(r, g, b);
  SetAlpha(alpha);
  SetBlend(blend);
  SetClsColor(cr, cg, cb);
  SetLineWidth(width);
  SetViewport(vx, vy, vw, vh);
  SetOrigin(ox, oy);
  SetHandle(hx, hy);
  SetRotationScale(rotation, sx, sy);
  draw();
  EXPECT_EQ(differing_pixels(grab_screen(), want), 0);
}

TEST_F(DrawTest, ReopenedGraphicsStartFromTheInitialState) {
  SetColor(1, 2, 3);
  SetAlpha(0.5f);
  SetBlend(LightBlend);
  SetRotation(45);
  SetViewport(5, 5, 5, 5);
  ASSERT_NE(OpenGraphics(640, 480, 0, 0, BackBuffer), nullptr);
  // Both buffers were cleared on the way in: the screen is black.
  EXPECT_FALSE(lit_box().any());
  // Opaque white, unturned, unclipped; drawn twice, masked, not added up.
  DrawRect(630, 470, 10, 10);
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0xFFFFFFu), 100);
  SetColor(100, 100, 100);
  DrawRect(0, 0, 2, 2);
  DrawRect(0, 0, 2, 2);
  EXPECT_EQ(count_rgb(0, 0, 2, 2, 0x646464u), 4);
  // Made current again the screen stays: only the first time clears it.
  SetGraphics(CurrentGraphics());
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0xFFFFFFu), 100);
}

std::shared_ptr<TImage> solid_image(int w, int h, uint32_t rgb) {
  auto img = CreateImage(w, h, 1, 0);
  auto p = img->Lock(0, 1, 1);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p->WritePixel(x, y, static_cast<int>(0xFF000000u | rgb));
  }
  return img;
}

TEST_F(DrawTest, StretchedAndTiledImages) {
  auto img = solid_image(4, 4, 0x00FF00);
  SetImageHandle(img, 2, 2);
  DrawImageStretched(img, 100, 100, 40, 20);
  EXPECT_EQ(lit_box(), (box{98, 98, 137, 117}));

  // Tiles cover the viewport exactly, untransformed, with one tile on (x, y) by its handle.
  Cls();
  auto tile = CreateImage(16, 8, 1, 0);
  auto p = tile->Lock(0, 1, 1);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 16; ++x) {
      p->WritePixel(x, y, static_cast<int>(x == 0 && y == 0 ? 0xFFFF0000u : 0xFF0000FFu));
    }
  }
  SetImageHandle(tile, 1, 1);
  SetViewport(20, 30, 100, 50);
  SetRotationScale(33, 2, 2);
  DrawImageTiled(tile, 45, 62);
  SetViewport(0, 0, 640, 480);
  EXPECT_EQ(lit_box(), (box{20, 30, 119, 79}));
  EXPECT_EQ(screen_rgb(44, 61),
            0xFF0000u);  // the tile's first pixel, one tile placed by the handle
  EXPECT_EQ(screen_rgb(44 + 16, 61 + 8), 0xFF0000u);
  EXPECT_EQ(screen_rgb(44 - 16, 61 - 24), 0xFF0000u);
  EXPECT_EQ(screen_rgb(45, 61), 0x0000FFu);
  // Six tiles' first pixels across (x 28 to 108) and six down (y 37 to 77), the rest blue.
  EXPECT_EQ(count_rgb(20, 30, 100, 50, 0xFF0000u), 36);
  EXPECT_EQ(count_rgb(20, 30, 100, 50, 0x0000FFu), 100 * 50 - 36);
  // The current matrix is back afterwards: a 1 x 1 rectangle covers more than a pixel.
  Cls();
  DrawRect(300, 300, 1, 1);
  EXPECT_GT(count_rgb(290, 290, 20, 20, 0xFFFFFFu), 2);
}

TEST_F(DrawTest, CollisionsSeeTheCurrentTransform) {
  auto bar = solid_image(10, 2, 0xFFFFFF);
  auto dot = solid_image(1, 1, 0xFFFFFF);
  SetRotation(90);  // the bar now covers x 98..99, y 100..109
  // The dot turns too: placed at (99, 105) it covers pixel (98, 105).
  EXPECT_EQ(ImagesOverlap(bar, 100, 100, 0, dot, 99, 105, 0), 1);
  EXPECT_EQ(ImagesOverlap(bar, 100, 100, 0, dot, 105, 101, 0), 0);
  SetRotation(0);
  EXPECT_EQ(ImagesOverlap(bar, 100, 100, 0, dot, 105, 101, 0), 1);
}

}  // namespace
