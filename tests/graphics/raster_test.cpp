// A quad with its sides along the axes, or turned, is drawn in one go, with the pixels its
// two halves would give: every centre on its sides, on a pixel's edge or between, or on a
// corner, in the one place. And of a picture with a clear border, a span is drawn only where
// it samples the visible middle, with the pixels the whole span would give.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/soft/soft2d.h"
#include "graphics/soft/soft_frame.h"
#include "graphics/soft/soft_raster.h"
#include "graphics/soft/soft_screen.h"

namespace {

TEST(Raster, AQuadDrawsWhatItsTwoHalvesDrawnInFullWould) {
  init_pixmap_module();
  constexpr int kW = 64, kH = 48;
  std::shared_ptr<TPixmap> picture = CreatePixmap(13, 9, PixelRGBA8888);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 13; ++x)
      picture->WritePixel(x, y,
                          static_cast<int>((x > 2 && x < 10 && y > 1 && y < 7 ? 0x80000000u : 0u) |
                                           (y * 13 + x) * 0x010305u));
  std::shared_ptr<TSoft2DDriver> driver = SoftRenderer();
  std::shared_ptr<TSoftImageFrame> frame =
      TSoftImageFrame::CreateFromPixmap(driver.get(), picture, FilteredImage);
  // The reference draws its spans whole.
  TSoftTexture whole = *frame->texture;
  std::copy_n(std::initializer_list<int>{0, 0, whole.width - 1, whole.height - 1}.begin(), 4,
              whole.visible);
  std::mt19937 random(7);
  auto coordinate = [&](int most) {  // on pixel edges and centres, a hair past, or anywhere
    const unsigned k = random() % 6;
    const float part = k < 4    ? 0.25f * static_cast<float>(k)
                       : k == 4 ? 0.5f + 1.0f / 512.0f
                                : static_cast<float>(random() % 997) / 997.0f;
    return static_cast<float>(static_cast<int>(random() % (most + 8)) - 4) + part;
  };
  TSoftScreen one, halves;
  for (TSoftScreen* s : {&one, &halves}) s->Resize(kW, kH);
  soft::Raster raster;
  int differ = 0;
  for (int n = 0; n < 3000; ++n) {
    const float x0 = coordinate(kW), x1 = coordinate(kW), y0 = coordinate(kH), y1 = coordinate(kH);
    const int m = static_cast<int>(random() % 20);  // the clip rectangle's margins
    soft::Paint paint;
    const int blends[5] = {SolidBlend, AlphaBlend, MaskBlend, LightBlend, AlphaBlend};
    paint.blend = blends[n % 5];
    for (int c = 0; c < 4; ++c) paint.color[c] = static_cast<uint8_t>(90 + 40 * c);
    paint.white = false;
    paint.texture = n % 4 == 0 ? nullptr : frame->texture.get();
    paint.filtered = n % 4 == 1;
    // The corners in the orders images, flipped images and rectangles give them.
    float xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
    if (n % 2 == 1) {  // turned about its first corner, at any angle or by eighths of a turn
      const double a = random() % 3 == 0 ? M_PI / 4.0 * (random() % 8) : (random() % 3600) / 572.96;
      for (int i = 1; i < 4; ++i) {
        const double dx = xs[i] - x0, dy = ys[i] - y0;
        xs[i] = static_cast<float>(x0 + dx * std::cos(a) - dy * std::sin(a));
        ys[i] = static_cast<float>(y0 + dx * std::sin(a) + dy * std::cos(a));
      }
      if (n % 10 == 3) xs[2] = coordinate(kW), ys[2] = coordinate(kH);  // any four points
    }
    const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
    const int start = static_cast<int>(random() % 4);
    const bool back = random() % 2 != 0;
    for (TSoftScreen* s : {&one, &halves}) {
      soft::Raster::UseWholeQuads(s == &one);
      raster.Begin(*s, m, m / 2, kW - m % 7, kH - m / 3);
      soft::ClipVertex q[4];
      for (int i = 0; i < 4; ++i) {
        const int k = back ? (start + 4 - i) % 4 : (start + i) % 4;
        q[i] = raster.ToClip(xs[k], ys[k], us[i], vs[i]);
      }
      soft::Paint drawn = paint;
      if (s == &halves && paint.texture) drawn.texture = &whole;
      raster.Quad(q, drawn);
    }
    soft::Raster::UseWholeQuads(true);
    differ += one.pixels != halves.pixels;
    halves.pixels = one.pixels;
  }
  EXPECT_EQ(differ, 0);
}

}  // namespace
