// Images drawn on the real screen and read back: masking, grabbing, handles,
// rotation and scale, and collision agreeing with what is drawn.
#include <gtest/gtest.h>

#include "gl_fixture.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/gl/gl2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

std::shared_ptr<TPixmap> filled(int w, int h, int format, int argb) {
  auto pm = CreatePixmap(w, h, format);
  pm->ClearPixels(argb);
  return pm;
}

class Images : public GLTest {
 protected:
  void SetUp() override {
    GLTest::SetUp();
    SetMaskColor(0, 0, 0);
    SetDefaultImageFlags(MaskedImage | FilteredImage);
    AutoCentreHandle(0);
    SetCollisionTransform(1, 0, 0, 1);
  }
  void TearDown() override { SetDefaultImageFlags(MaskedImage | FilteredImage); }
};

TEST_F(Images, MaskColourIsTransparentAlphaIsKept) {
  // Red square in a black frame, no alpha channel.
  auto rgb = filled(6, 6, PixelRGB888, 0);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) rgb->WritePixel(x, y, static_cast<int>(0xffff0000u));
  auto masked = LoadImage(rgb, MaskedImage);
  auto solid = LoadImage(rgb, 0);
  ASSERT_TRUE(masked && solid);

  SetClsColor(0, 0, 255);
  Cls();
  DrawImage(masked, 10, 10);
  DrawImage(solid, 30, 10);
  EXPECT_EQ(count_rgb(10, 10, 6, 6, 0x0000ff), 20);  // the black frame let blue through
  EXPECT_EQ(count_rgb(11, 11, 4, 4, 0xff0000), 16);
  EXPECT_EQ(count_rgb(30, 10, 6, 6, 0x000000), 20);  // unmasked: black drawn

  // A picture with its own alpha keeps it, black or not.
  auto rgba = filled(4, 4, PixelRGBA8888, static_cast<int>(0xff000000u));
  rgba->WritePixel(0, 0, 0x00ffffff);
  DrawImage(LoadImage(rgba, MaskedImage), 50, 10);
  EXPECT_EQ(count_rgb(50, 10, 4, 4, 0x000000), 15);
  EXPECT_EQ(screen_rgb(50, 10), 0x0000ffu);
}

TEST_F(Images, CreateImageFlagsAndGrab) {
  SetDefaultImageFlags(MaskedImage | DynamicImage);
  EXPECT_EQ(CreateImage(8, 8)->flags, MaskedImage | DynamicImage);
  SetDefaultImageFlags(MaskedImage | FilteredImage);
  EXPECT_EQ(CreateImage(8, 8)->flags, MaskedImage | FilteredImage | DynamicImage);
  SetDefaultImageFlags(-1);  // ignored
  EXPECT_EQ(CreateImage(8, 8)->flags, MaskedImage | FilteredImage | DynamicImage);
  AutoCentreHandle(1);
  auto centred = CreateImage(8, 6, 2, MaskedImage);
  AutoCentreHandle(0);
  EXPECT_EQ(centred->handle_x, 4.0f);
  EXPECT_EQ(centred->handle_y, 3.0f);
  EXPECT_EQ(centred->flags, MaskedImage | DynamicImage);
  EXPECT_EQ(centred->pixmaps.size(), 2u);

  // Grab a green bar with black around it into frame 1, then draw it elsewhere.
  SetColor(0, 255, 0);
  DrawRect(102, 201, 4, 3);
  SetColor(255, 255, 255);
  auto img = CreateImage(8, 6, 2, 0);
  img->flags |= MaskedImage;
  SetMaskColor(0, 0, 0);
  GrabImage(img, 100, 200, 1);
  Cls();
  SetClsColor(40, 40, 40);
  Cls();
  DrawImage(img, 300, 300, 1);
  EXPECT_EQ(count_rgb(300, 300, 8, 6, 0x00ff00), 12);
  EXPECT_EQ(count_rgb(302, 301, 4, 3, 0x00ff00), 12);
  EXPECT_EQ(count_rgb(300, 300, 8, 6, 0x282828), 36);  // black was masked away
  // The grabbed pixels decide collisions too.
  auto dot = LoadImage(filled(1, 1, PixelRGBA8888, -1), 0);
  EXPECT_EQ(ImagesOverlap(img, 0, 0, 1, dot, 2, 1, 0), 1);
  EXPECT_EQ(ImagesOverlap(img, 0, 0, 1, dot, 1, 1, 0), 0);
}

TEST_F(Images, HandlesRotationScaleAndOrigin) {
  auto bar = LoadImage(filled(10, 2, PixelRGBA8888, -1), 0);
  box b;
  SetRotation(90);
  DrawImage(bar, 100, 100);
  EXPECT_EQ(lit_box(), (box{98, 100, 99, 109}));

  Cls();
  SetRotationScale(0, 2, 2);
  auto sq = LoadImage(filled(4, 4, PixelRGBA8888, -1), 0);
  CentreImageHandle(sq);
  DrawImage(sq, 50, 50);
  EXPECT_EQ(lit_box(), (box{46, 46, 53, 53}));

  // The origin moves drawing and collision alike, and is neither scaled nor turned.
  Cls();
  SetRotationScale(0, 1, 1);
  SetOrigin(10, 5);
  SetHandle(3, 3);  // the primitives' handle is not the image's
  SetImageHandle(sq, 0, 0);
  DrawImage(sq, 0, 0);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_EQ(b.x0, 10);
  EXPECT_EQ(b.y0, 5);
  ClearCollisionLayers(1 << 2);
  LayerTestImage(sq, 0, 0, 0, 0, 1 << 2);
  SetOrigin(0, 0);
  EXPECT_EQ(LayerTestRect(13, 8, 1, 1, 1 << 2, 0).size(), 1u);
  EXPECT_EQ(LayerTestRect(3, 3, 1, 1, 1 << 2, 0).size(), 0u);
  ClearCollisionLayers(1 << 2);
}

TEST_F(Images, CollisionAgreesWithDrawingWhenTurned) {
  // A ring drawn turned and scaled, then every pixel around it probed with an
  // unturned 1 x 1 rectangle against the quad recorded under the same state.
  auto pm = filled(12, 9, PixelRGBA8888, -1);
  for (int y = 3; y < 6; ++y)
    for (int x = 4; x < 8; ++x) pm->WritePixel(x, y, 0);
  auto ring = LoadImage(pm, 0);
  CentreImageHandle(ring);
  SetRotationScale(30, 2.5f, 1.5f);
  DrawImage(ring, 320, 240);
  ClearCollisionLayers(1 << 4);
  LayerTestImage(ring, 320, 240, 0, 0, 1 << 4);
  SetRotationScale(0, 1, 1);
  auto screen = grab_screen();
  int lit = 0, hits = 0, agree = 0;
  double drawn_x = 0, drawn_y = 0, hit_x = 0, hit_y = 0;
  for (int y = 215; y < 265; ++y)
    for (int x = 295; x < 345; ++x) {
      const bool drawn = screen->PixelPtr(x, y)[0] != 0;
      const bool hit = !LayerTestRect(x, y, 1, 1, 1 << 4, 0).empty();
      lit += drawn;
      hits += hit;
      agree += drawn == hit;
      drawn_x += drawn * x;
      drawn_y += drawn * y;
      hit_x += hit * x;
      hit_y += hit * y;
    }
  ClearCollisionLayers(1 << 4);
  ASSERT_GT(lit, 150);
  ASSERT_GT(hits, 150);
  // The scan counts a pixel from its top-left corner, the renderer from its centre, so
  // the two shapes lie half a pixel apart in x and in y, never a whole pixel; only
  // edge pixels may differ.
  EXPECT_NEAR(hit_x / hits - drawn_x / lit, -0.5, 0.2);
  EXPECT_NEAR(hit_y / hits - drawn_y / lit, -0.5, 0.2);
  EXPECT_GE(agree, 2500 - 45);
}

TEST_F(Images, FramesAreMadeLazilyAndAfterReopening) {
  auto sq = LoadImage(filled(4, 4, PixelRGBA8888, -1), 0);
  EXPECT_EQ(sq->seqs[0], 0);
  EXPECT_EQ(sq->frames[0], nullptr);
  DrawImage(sq, 0, 0);
  EXPECT_EQ(sq->seqs[0], GraphicsGeneration());
  EXPECT_NE(sq->frames[0], nullptr);
  // Writing to the pixels drops the texture; the next draw shows the new pixels.
  LockImageFrame(sq)->ClearPixels(static_cast<int>(0xffff0000u));
  UnlockImageFrame(sq);
  EXPECT_EQ(sq->frames[0], nullptr);
  DrawImage(sq, 20, 0);
  EXPECT_EQ(count_rgb(20, 0, 4, 4, 0xff0000), 16);

  const int before = GraphicsGeneration();
  CloseGraphics();
  ASSERT_NE(OpenGraphics(640, 480, 0, 0, BackBuffer), nullptr);
  gl_fixture_reset();
  ASSERT_NE(GraphicsGeneration(), before);
  DrawImage(sq, 40, 0);
  EXPECT_EQ(sq->seqs[0], GraphicsGeneration());
  EXPECT_EQ(count_rgb(40, 0, 4, 4, 0xff0000), 16);
}

TEST_F(Images, StripsAndBadSources) {
  // Six 2 x 1 cells in a 3 x 2 sheet; take cells 2 to 4.
  auto sheet = filled(6, 2, PixelRGBA8888, 0);
  for (int c = 0; c < 6; ++c)
    sheet->WritePixel((c % 3) * 2, c / 3, static_cast<int>(0xff000000u) | (c + 1));
  auto strip = LoadImageStrip(sheet, 2, 1, 2, 3);
  ASSERT_TRUE(strip);
  EXPECT_EQ(ImageWidth(strip), 2);
  EXPECT_EQ(ImageHeight(strip), 1);
  ASSERT_EQ(strip->pixmaps.size(), 3u);
  for (int f = 0; f < 3; ++f) EXPECT_EQ(strip->pixmaps[f]->ReadPixel(0, 0) & 0xff, f + 3);
  EXPECT_EQ(LoadImageStrip(sheet, 2, 1, 4, 3), nullptr);  // runs past the last cell
  EXPECT_EQ(LoadImageStrip(sheet, 0, 1, 0, 1), nullptr);
  EXPECT_EQ(LoadImage(std::string("no such picture.png")), nullptr);
  EXPECT_EQ(LoadImage(std::shared_ptr<TPixmap>()), nullptr);
  // Nothing happens for frames the image does not have.
  DrawImage(strip, 0, 0, 3);
  GrabImage(strip, 0, 0, -1);
  EXPECT_EQ(strip->Frame(7), nullptr);
  EXPECT_EQ(strip->Lock(3, 1, 1), nullptr);
}

TEST_F(Images, FramesShareATextureAndAGrabRenewsOnlyItsOwnFrame) {
  auto image = CreateImage(3, 2, 3, 0);
  auto paint = [&](int frame, uint32_t rgb) {
    SetBlend(SolidBlend);
    SetColor(rgb >> 16, (rgb >> 8) & 255, rgb & 255);
    DrawRect(0, 0, 3, 2);
    GrabImage(image, 0, 0, frame);
  };
  uint32_t colours[] = {0xff0000, 0x00ff00, 0x0000ff};
  auto expect_shown = [&] {
    Cls();
    SetColor(255, 255, 255);
    for (int i = 0; i < 3; ++i) DrawImage(image, 10.0f + 10 * i, 10, i);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(count_rgb(10 + 10 * i, 10, 3, 2, colours[i]), 6) << i;
  };
  for (int i = 0; i < 3; ++i) paint(i, colours[i]);
  expect_shown();
  // The GL's texture names (the software renderer's frames have none: 0 for each).
  auto name = [](const std::shared_ptr<TImage>& im, int i) {
    const auto gl = std::dynamic_pointer_cast<TGLImageFrame>(im->Frame(i));
    return gl ? gl->name : 0;
  };
  EXPECT_EQ(name(image, 0), name(image, 2));
  paint(1, colours[1] = 0xffff00);
  expect_shown();
  // Turned, a frame is drawn from a texture of its own: the same picture.
  Cls();
  SetRotation(180);
  DrawImage(image, 13, 12, 2);
  SetRotation(0);
  EXPECT_EQ(count_rgb(10, 10, 3, 2, colours[2]), 6);
  // The glyphs of a font share one texture as well.
  std::shared_ptr<TImageFont> font = DefaultImageFont();
  EXPECT_EQ(name(font->LoadGlyph(font->CharToGlyph('A'))->_image, 0),
            name(font->LoadGlyph(font->CharToGlyph('z'))->_image, 0));
}

}  // namespace
