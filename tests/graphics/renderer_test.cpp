// The OpenGL renderer on the real screen: blend modes, colour and alpha clamping,
// scissoring, primitives and their pixel placement, textures and pixmaps, and all of them
// on one screen.

#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/gl/gl2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

using RendererTest = GLTest;

uint8_t channel(uint32_t rgb, int shift) { return static_cast<uint8_t>((rgb >> shift) & 255); }

// Each channel within `near` steps of what it should be.
void expect_rgb_near(uint32_t got, int r, int g, int b, const std::string& what, int near = 1) {
  EXPECT_NEAR(channel(got, 16), r, near) << what << ": red";
  EXPECT_NEAR(channel(got, 8), g, near) << what << ": green";
  EXPECT_NEAR(channel(got, 0), b, near) << what << ": blue";
}

// A pixmap with every pixel different, alpha 255.
std::shared_ptr<TPixmap> pattern(int w, int h) {
  auto p = CreatePixmap(w, h, PixelRGBA8888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* px = p->PixelPtr(x, y);
      px[0] = static_cast<uint8_t>(x * 2);
      px[1] = static_cast<uint8_t>(y * 4);
      px[2] = static_cast<uint8_t>(128 + (x + y) % 100);
      px[3] = 255;
    }
  }
  return p;
}

std::shared_ptr<TGLImageFrame> make_frame(const std::shared_ptr<TPixmap>& p, int flags = 0) {
  return std::dynamic_pointer_cast<TGLImageFrame>(GLRenderer()->CreateFrameFromPixmap(p, flags));
}

TEST_F(RendererTest, BlendModesCombineWithTheScreen) {
  struct Case {
    int mode;
    int r, g, b;
  };
  // Screen (100, 100, 100); drawing (200, 50, 0) at alpha 0.5, sent as 127/255.
  const double a = 127.0 / 255.0;
  const Case cases[] = {
      {SolidBlend, 200, 50, 0},
      {AlphaBlend, static_cast<int>(std::lround(200 * a + 100 * (1 - a))),
       static_cast<int>(std::lround(50 * a + 100 * (1 - a))),
       static_cast<int>(std::lround(100 * (1 - a)))},
      {LightBlend, static_cast<int>(std::lround(100 + 200 * a)),
       static_cast<int>(std::lround(100 + 50 * a)), 100},
      {ShadeBlend, static_cast<int>(std::lround(100 * 200 / 255.0)),
       static_cast<int>(std::lround(100 * 50 / 255.0)), 0},
      {9, 200, 50, 0},  // unknown modes draw solid
  };
  for (const Case& c : cases) {
    SetBlend(SolidBlend);
    SetAlpha(1);
    SetColor(100, 100, 100);
    DrawRect(0, 0, 20, 20);
    SetBlend(c.mode);
    SetAlpha(0.5f);
    SetColor(200, 50, 0);
    DrawRect(0, 0, 20, 20);
    expect_rgb_near(screen_rgb(10, 10), c.r, c.g, c.b, "blend " + std::to_string(c.mode));
  }
}

TEST_F(RendererTest, MaskBlendDropsWhatIsLessThanHalfOpaque) {
  auto frame = make_frame(pattern(8, 8));
  ASSERT_NE(frame, nullptr);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  SetAlpha(1);
  DrawRect(0, 0, 8, 8);
  frame->Draw(0, 0, 8, 8, 20, 0);
  EXPECT_EQ(count_rgb(0, 0, 8, 8, 0xFFFFFFu), 64);
  EXPECT_EQ(count_rgb(20, 0, 8, 8, 0u), 0);

  Cls();
  // Texel alpha times the current alpha is what the test sees, textured or not.
  SetAlpha(0.4f);
  DrawRect(0, 0, 8, 8);
  frame->Draw(0, 0, 8, 8, 20, 0);
  EXPECT_FALSE(lit_box().any());

  // A texel with alpha 127 is dropped, 128 is drawn.
  auto p = CreatePixmap(2, 1, PixelRGBA8888);
  const uint8_t px[8] = {255, 255, 255, 127, 255, 255, 255, 128};
  std::memcpy(p->pixels, px, 8);
  auto edge = make_frame(p);
  SetAlpha(1);
  edge->Draw(0, 0, 2, 1, 40, 40);
  EXPECT_EQ(screen_rgb(40, 40), 0u);
  EXPECT_EQ(screen_rgb(41, 40), 0xFFFFFFu);
}

TEST_F(RendererTest, ColourAndAlphaAreClampedToBytes) {
  // Opaque white blended over black at each alpha: the screen shows the alpha byte itself.
  SetBlend(AlphaBlend);
  for (auto [alpha, byte] : {std::pair{1.5f, 255},
                             {0.5f, 127},
                             {-3.0f, 0},
                             {std::numeric_limits<float>::quiet_NaN(), 0}}) {
    Cls();
    SetAlpha(alpha);
    DrawRect(0, 0, 4, 4);
    EXPECT_EQ(channel(screen_rgb(1, 1), 16), byte) << "alpha " << alpha;
  }
  SetAlpha(1);
  SetBlend(SolidBlend);
  SetColor(300, -5, 128);
  DrawRect(0, 0, 4, 4);
  expect_rgb_near(screen_rgb(1, 1), 255, 0, 128, "colour (300, -5, 128)", 0);
  SetClsColor(999, -1, 64);
  Cls();
  expect_rgb_near(screen_rgb(300, 300), 255, 0, 64, "clear colour (999, -1, 64)", 0);
}

TEST_F(RendererTest, ViewportClipsDrawingAndClearing) {
  SetViewport(10, 20, 30, 40);
  SetClsColor(0, 255, 0);
  Cls();
  EXPECT_EQ(lit_box(), (box{10, 20, 39, 59}));
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0x00FF00u), 30 * 40);

  SetColor(255, 0, 0);
  SetBlend(SolidBlend);
  DrawRect(0, 0, 640, 480);
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0xFF0000u), 30 * 40);

  // The whole screen turns clipping off again.
  SetViewport(0, 0, GraphicsWidth(), GraphicsHeight());
  SetClsColor(0, 0, 255);
  Cls();
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0x0000FFu), 640 * 480);
}

TEST_F(RendererTest, PrimitivesLandOnTheRightPixels) {
  SetBlend(SolidBlend);
  Plot(5, 7);
  box b;
  EXPECT_EQ(lit_box(), (box{5, 7, 5, 7}));

  Cls();
  DrawLine(10, 10, 20, 10, 0);
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0xFFFFFFu), 10);
  EXPECT_EQ(screen_rgb(20, 10), 0u);
  DrawLine(10, 10, 20, 10, 1);
  EXPECT_EQ(screen_rgb(20, 10), 0xFFFFFFu);
  Cls();
  DrawLine(30, 30, 30, 40);  // vertical, end pixel included
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_EQ(b.x0, 30);
  EXPECT_EQ(b.x1, 30);
  EXPECT_GE(b.y0, 30);  // the start pixel of a line is the GL's own rasterisation rule
  EXPECT_LE(b.y0, 31);
  EXPECT_EQ(b.y1, 40);

  Cls();
  DrawOval(100, 100, 40, 20);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_NEAR(b.x0, 100, 1);
  EXPECT_NEAR(b.x1, 139, 1);
  EXPECT_NEAR(b.y0, 100, 1);
  EXPECT_NEAR(b.y1, 119, 1);
  EXPECT_EQ(screen_rgb(120, 110), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(101, 101), 0u);  // the corner stays outside the curve

  Cls();
  DrawPoly({10, 10, 20, 10, 10});  // five values: nothing
  DrawPoly({10, 10, 20, 10});      // two points: nothing
  EXPECT_FALSE(lit_box().any());
  DrawPoly({10, 10, 30, 10, 10, 30});
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_EQ(b.x0, 10);
  EXPECT_EQ(b.y0, 10);
  EXPECT_LE(b.x1, 29);
  EXPECT_LE(b.y1, 29);
  EXPECT_EQ(screen_rgb(12, 12), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(28, 28), 0u);

  // Quads wholly off the screen are left out; one a pixel inside any edge still draws.
  Cls();
  DrawRect(-5, 100, 5, 1);
  DrawRect(640, 100, 5, 1);
  DrawRect(100, -5, 1, 5);
  DrawRect(100, 480, 1, 5);
  EXPECT_FALSE(lit_box().any());
  DrawRect(-5, 100, 5.75f, 1);
  DrawRect(639.25f, 101, 5, 1);
  DrawRect(100, -5, 1, 5.75f);
  DrawRect(101, 479.25f, 1, 5);
  EXPECT_EQ(screen_rgb(0, 100), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(639, 101), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(100, 0), 0xFFFFFFu);
  EXPECT_EQ(screen_rgb(101, 479), 0xFFFFFFu);
  EXPECT_EQ(count_rgb(0, 0, 640, 480, 0xFFFFFFu), 4);
}

TEST_F(RendererTest, TexturesArePowersOfTwoWithRepeatedEdges) {
  auto src = pattern(100, 60);
  auto f = make_frame(src);
  ASSERT_NE(f, nullptr);
  EXPECT_FLOAT_EQ(f->u0, 0.0f);
  EXPECT_FLOAT_EQ(f->v0, 0.0f);
  EXPECT_FLOAT_EQ(f->u1, 0.78125f);
  EXPECT_FLOAT_EQ(f->v1, 0.9375f);
  EXPECT_EQ(f->seq, GraphicsGeneration());

  // The texture itself: 128 x 64, last column repeated at x 100, last row at y 60.
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(f->name));
  GLint tw = 0, th = 0;
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &tw);
  glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &th);
  EXPECT_EQ(tw, 128);
  EXPECT_EQ(th, 64);
  std::vector<uint8_t> tex(128 * 64 * 4);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
  auto texel = [&](int x, int y) { return &tex[static_cast<size_t>(y * 128 + x) * 4]; };
  auto same = [&](const uint8_t* t, int sx, int sy) {
    return std::memcmp(t, src->PixelPtr(sx, sy), 4) == 0;
  };
  EXPECT_TRUE(same(texel(0, 0), 0, 0));
  EXPECT_TRUE(same(texel(99, 59), 99, 59));
  EXPECT_TRUE(same(texel(100, 17), 99, 17));
  EXPECT_TRUE(same(texel(42, 60), 42, 59));
  EXPECT_TRUE(same(texel(100, 60), 99, 59));
  // The renderer's idea of the bound texture is stale now.
  GLRenderer()->ResetGLContext(CurrentGraphics());
  gl_fixture_reset();

  // Drawn 1:1 with nearest texels, the screen shows exactly the picture.
  SetBlend(SolidBlend);
  f->Draw(0, 0, 100, 60, 7, 9);
  EXPECT_EQ(differing_pixels(GrabPixmap(7, 9, 100, 60), src), 0);

  auto square = make_frame(pattern(64, 64), FilteredImage | MipmappedImage);
  ASSERT_NE(square, nullptr);
  EXPECT_FLOAT_EQ(square->u1, 1.0f);
  EXPECT_FLOAT_EQ(square->v1, 1.0f);
  auto single = make_frame(pattern(1, 1));
  ASSERT_NE(single, nullptr);
  EXPECT_FLOAT_EQ(single->u1, 1.0f);
  EXPECT_EQ(make_frame(CreatePixmap(0, 5, PixelRGBA8888)), nullptr);
}

TEST_F(RendererTest, TexturesTakeAnyPixelFormat) {
  auto rgb = CreatePixmap(3, 2, PixelRGB888);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x)
      rgb->WritePixel(x, y, static_cast<int>(0xFF000000u | (x * 80u) << 16 | (y * 200u) << 8 | 7u));
  }
  auto f = make_frame(rgb);
  ASSERT_NE(f, nullptr);
  SetBlend(SolidBlend);
  f->Draw(0, 0, 3, 2, 0, 0);
  expect_rgb_near(screen_rgb(2, 1), 160, 200, 7, "the RGB pixel (2, 1)", 0);
}

TEST_F(RendererTest, PixmapsGoOnAndComeOffTheScreenTopRowFirst) {
  auto p = pattern(5, 3);
  SetRotationScale(45, 3, 3);  // pixmaps ignore the matrix
  SetBlend(AlphaBlend);        // and the blend, which comes back afterwards
  DrawPixmap(p, 50, 60);
  auto back = GrabPixmap(50, 60, 5, 3);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->format, PixelRGBA8888);
  EXPECT_EQ(differing_pixels(back, p), 0);
  EXPECT_EQ(lit_box(), (box{50, 60, 54, 62}));
  // Blending again after the draw and the read: half-transparent white over black is grey.
  SetRotationScale(0, 1, 1);
  SetAlpha(0.5f);
  DrawRect(200, 200, 1, 1);
  EXPECT_EQ(channel(screen_rgb(200, 200), 16), 127) << "the blend after DrawPixmap and GrabPixmap";

  // Partly off the screen: what is outside reads as zero.
  auto edge = GrabPixmap(638, 478, 4, 4);
  ASSERT_NE(edge, nullptr);
  EXPECT_EQ(edge->ReadPixel(3, 3), 0);
}

TEST_F(RendererTest, GrabbedPixelsAreOpaqueWithoutAnAlphaBuffer) {
  // A texel of alpha 0 drawn solid leaves alpha 0 in the screen buffer, which keeps alpha
  // whether the graphics asked for it or not (these did not).
  auto see_through = CreatePixmap(4, 4, PixelRGBA8888);
  see_through->ClearPixels(0x00FF0000);
  SetBlend(SolidBlend);
  make_frame(see_through)->Draw(0, 0, 4, 4, 10, 10);
  EXPECT_EQ(static_cast<uint32_t>(GrabPixmap(10, 10, 4, 4)->ReadPixel(1, 1)), 0xFFFF0000u);
  // So an unmasked image grabbed there is solid, and overlaps itself.
  auto image = CreateImage(4, 4, 1, 0);
  GrabImage(image, 10, 10);
  EXPECT_EQ(ImagesOverlap(image, 50, 50, 0, image, 51, 51, 0), 1);
}

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

// One screen that uses everything at once, as a frame of the game does: the pieces must
// not disturb each other (state left behind by one primitive spoiling the next).
TEST_F(RendererTest, EveryPrimitiveImagesAndTextOnOneScreen) {
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
