// The stereo drawer: flat and anaglyph drawing, rotation offsets, text centring.
#include <memory>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "world/globals.h"
#include "world/qndraw.h"
#include "world_fixture.h"

using StereoTest = WorldTest;

TEST_F(StereoTest, LeftEyeCopyLiesAtXMinusOffset) {
  qndraw_tag d;
  d.slc(255, 0, 0, 0, 255, 0);
  mode3d = 1;
  SetAlpha(1.0f);
  d.i3d(sprites, 300.0f, 200.0f, 0, 30.0f, 0.0f, 1);
  EXPECT_EQ(screen_rgb(250, 200), 0xFF0000u);
  EXPECT_EQ(screen_rgb(350, 200), 0x00FF00u);
  EXPECT_EQ(screen_rgb(300, 200), 0u);
  // Nothing restored: light blend and the right-eye tint stay.
  EXPECT_EQ(GetBlend(), LightBlend);
  int r = 0, g = 0, b = 0;
  GetColor(r, g, b);
  EXPECT_EQ(r, 0);
  EXPECT_EQ(g, 255);

  // A negative offset swaps the sides; offset 0 adds both copies on the same pixels.
  Cls();
  d.i3d(sprites, 300.0f, 200.0f, 0, -30.0f, 0.0f, 1);
  EXPECT_EQ(screen_rgb(250, 200), 0x00FF00u);
  Cls();
  d.i3d(sprites, 300.0f, 200.0f, 0, 0.0f, 0.0f, 1);
  EXPECT_EQ(screen_rgb(300, 200), 0xFFFF00u);

  // count 0 draws nothing.
  Cls();
  d.i3d(sprites, 300.0f, 200.0f, 0, 30.0f, 0.0f, 0);
  EXPECT_FALSE(lit_at(250, 200));
}

TEST_F(StereoTest, RotationOffsetLeavesTheTruncatedBase) {
  qndraw_tag d;
  mode3d = 1;
  SetRotation(12.7f);
  d.i3d(sprites, 300.0f, 200.0f, 0, 4.0f, 3.0f, 0);
  EXPECT_EQ(GetRotation(), 12.0f);

  SetRotation(12.7f);
  d.i3d(sprites, 300.0f, 200.0f, 0, 4.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(GetRotation(), 12.7f);

  mode3d = 0;
  SetRotation(-7.9f);
  d.i3d(sprites, 300.0f, 200.0f, 0, 0.0f, 2.0f, 1);
  EXPECT_EQ(GetRotation(), -7.0f);  // toward zero, not down
  SetRotation(0.0f);
}

TEST_F(StereoTest, CentredTextUsesTheScaleOfTheLastSip) {
  // 88 x 16 in the built-in font: half of a half-size text is 22 by 4.
  const std::string text = "Get Ready!!";

  qndraw_tag d;
  d.sip(MaskBlend, 1.0f, 0.0f, 0.5f, 0.5f);
  SetScale(1.0f, 1.0f);
  SetColor(255, 255, 255);
  Cls();
  d.t3d(text, 320.0f, 240.0f, 0.0f, 1);
  auto centred = GrabPixmap(200, 200, 240, 80);
  Cls();
  DrawText(text, 298.0f, 236.0f);
  auto expected = GrabPixmap(200, 200, 240, 80);
  EXPECT_EQ(differing_pixels(centred, expected), 0);

  // Before any sip the recorded scale is 0: a centred text is not moved.
  qndraw_tag fresh;
  Cls();
  fresh.t3d(text, 320.0f, 240.0f, 0.0f, 1);
  auto unmoved = GrabPixmap(200, 200, 240, 80);
  Cls();
  DrawText(text, 320.0f, 240.0f);
  EXPECT_EQ(differing_pixels(unmoved, GrabPixmap(200, 200, 240, 80)), 0);
}
