// Pixmaps: conversion, resize, mask, bounds, mirrors, and PNG loading.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "graphics/pixmap/pixmap.h"
#include "png_encode.h"
#include "scratch_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::shared_ptr<TPixmap> load_bytes(const Bytes& bytes) {
  return LoadPixmap(TRamStream::CreateFromBytes(bytes));
}

uint32_t px(const std::shared_ptr<TPixmap>& pm, int x, int y) {
  return static_cast<uint32_t>(pm->ReadPixel(x, y));
}

// A 3 x 2 RGBA picture with distinct channels everywhere.
std::shared_ptr<TPixmap> sample_rgba() {
  auto pm = TPixmap::Create(3, 2, PixelRGBA8888);
  const uint32_t argb[6] = {0x80102030, 0xFFFF0000, 0x0000FF00, 0x7F0000FF, 0xFFFFFFFF, 0x01020304};
  for (int i = 0; i < 6; ++i) pm->WritePixel(i % 3, i / 3, static_cast<int>(argb[i]));
  return pm;
}

class PixmapTest : public ::testing::Test {
 protected:
  void SetUp() override { init_pixmap_module(); }
};

TEST_F(PixmapTest, CreateAlignsRowsAndRefusesAbsurdSizes) {
  auto pm = TPixmap::Create(3, 1, PixelRGB888, 4);
  ASSERT_TRUE(pm);
  EXPECT_EQ(pm->pitch, 12);
  EXPECT_EQ(pm->capacity, 12);
  EXPECT_EQ(CreatePixmap(5, 2, PixelI8, 1)->pitch, 5);

  EXPECT_FALSE(TPixmap::Create(MaxPixmapSide + 1, 1, PixelRGBA8888));
  EXPECT_FALSE(TPixmap::Create(1, MaxPixmapSide + 1, PixelI8));
  EXPECT_FALSE(TPixmap::Create(-1, 4, PixelRGBA8888));
  EXPECT_FALSE(TPixmap::Create(4, 4, 0));
  EXPECT_FALSE(TPixmap::Create(4, 4, 13));
  EXPECT_FALSE(
      TPixmap::Create(MaxPixmapSide, MaxPixmapSide, PixelRGBA8888, 1 << 30));  // size overflows
}

TEST_F(PixmapTest, ConversionsRoundTripAndFollowTheChannelRules) {
  auto src = sample_rgba();
  for (int fmt : {PixelBGRA8888, PixelRGBA8888}) {
    auto back = src->Convert(fmt)->Convert(PixelRGBA8888);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(px(back, i % 3, i / 3), px(src, i % 3, i / 3)) << fmt;
  }
  for (int fmt : {PixelRGB888, PixelBGR888}) {
    auto back = src->Convert(fmt);
    for (int i = 0; i < 6; ++i)
      EXPECT_EQ(px(back, i % 3, i / 3), px(src, i % 3, i / 3) | 0xFF000000u) << fmt;
  }
  // Intensity takes the integer mean, alpha-only keeps alpha under white.
  EXPECT_EQ(px(src->Convert(PixelI8), 0, 0), 0xFF202020u);
  EXPECT_EQ(px(src->Convert(PixelI8), 1, 0), 0xFF555555u);
  EXPECT_EQ(px(src->Convert(PixelA8), 0, 1), 0x7FFFFFFFu);
  EXPECT_EQ(src->Convert(PixelB8)->pixels[0], 0x30);
  EXPECT_EQ(src->Convert(PixelMeanRGBA8)->pixels[0], (0x10 + 0x20 + 0x30 + 0x80) / 4);

  // The bytes really are in the documented order.
  auto bgr = src->Convert(PixelBGR888);
  EXPECT_EQ(bgr->PixelPtr(0, 0)[0], 0x30);
  EXPECT_EQ(bgr->PixelPtr(0, 0)[2], 0x10);

  auto a8 = TPixmap::Create(1, 1, PixelA8);
  a8->pixels[0] = 128;
  EXPECT_EQ(px(a8, 0, 0), 0x80FFFFFFu);
  auto i8 = TPixmap::Create(1, 1, PixelI8);
  i8->WritePixel(0, 0, 0xFF102030);
  EXPECT_EQ(i8->pixels[0], 32);

  // Outside the pixmap nothing is read or written.
  EXPECT_EQ(src->ReadPixel(3, 0), 0);
  EXPECT_EQ(src->ReadPixel(0, -1), 0);
  src->WritePixel(-1, 0, -1);
  src->WritePixel(0, 2, -1);
}

TEST_F(PixmapTest, ClearFillsEveryRowInTheFormat) {
  auto pm = TPixmap::Create(3, 2, PixelRGB888, 4);  // rows with a gap
  pm->ClearPixels(static_cast<int>(0xFF112233));
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(px(pm, x, y), 0xFF112233u);
  pm->ClearPixels(0);
  EXPECT_EQ(px(pm, 2, 1), 0xFF000000u);
  auto dense = TPixmap::Create(2, 2, PixelRGBA8888);
  dense->ClearPixels(0);
  EXPECT_EQ(px(dense, 1, 1), 0u);
}

TEST_F(PixmapTest, ResizeIsBilinearWithEdgeClamping) {
  auto src = sample_rgba();
  auto same = ResizePixmap(src, 3, 2);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(px(same, i % 3, i / 3), px(src, i % 3, i / 3));

  // 2 -> 4 across: the outer samples clamp, the inner ones take 1/4 and 3/4.
  auto row = TPixmap::Create(2, 1, PixelRGB888);
  row->WritePixel(0, 0, 0xFF000000);
  row->WritePixel(1, 0, 0xFF640000);  // red 100
  auto up = ResizePixmap(row, 4, 1);
  ASSERT_TRUE(up);
  EXPECT_EQ(up->format, PixelRGB888);
  const int want[4] = {0, 25, 75, 100};
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ((px(up, x, 0) >> 16) & 0xFF, static_cast<uint32_t>(want[x])) << x;

  // 4 -> 2 down a column: each result is the mean of a pair, truncated.
  auto col = TPixmap::Create(1, 4, PixelI8);
  const uint8_t v[4] = {0, 10, 20, 31};
  for (int y = 0; y < 4; ++y) col->PixelPtr(0, y)[0] = v[y];
  auto down = ResizePixmap(col, 1, 2);
  EXPECT_EQ(down->PixelPtr(0, 0)[0], 5);
  EXPECT_EQ(down->PixelPtr(0, 1)[0], 25);

  EXPECT_FALSE(ResizePixmap(src, 0, 2));
  EXPECT_FALSE(ResizePixmap(nullptr, 2, 2));
}

TEST_F(PixmapTest, MaskHidesKeyColourUnderItsNeighboursMean) {
  auto one = TPixmap::Create(1, 1, PixelRGB888);
  one->ClearPixels(0);
  EXPECT_EQ(px(MaskPixmap(one, 0, 0, 0), 0, 0), 0u);

  auto strip = TPixmap::Create(3, 1, PixelRGBA8888);
  strip->WritePixel(0, 0, 0x10FF0000);  // red, alpha that must not survive
  strip->WritePixel(1, 0, 0x00000000);
  strip->WritePixel(2, 0, static_cast<int>(0xFF0000FF));
  auto m = MaskPixmap(strip, 0, 0, 0);
  ASSERT_EQ(m->format, PixelRGBA8888);
  EXPECT_EQ(px(m, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(px(m, 1, 0), 0x007F007Fu);
  EXPECT_EQ(px(m, 2, 0), 0xFF0000FFu);

  // Diagonal neighbours count, masked neighbours do not.
  auto grid = TPixmap::Create(3, 3, PixelRGB888);
  grid->ClearPixels(static_cast<int>(0xFF00FF00));  // green key everywhere
  grid->WritePixel(0, 0, static_cast<int>(0xFF300000));
  grid->WritePixel(2, 2, static_cast<int>(0xFF100000));
  auto g = MaskPixmap(grid, 0, 255, 0);
  EXPECT_EQ(px(g, 1, 1), 0x00200000u);
  EXPECT_EQ(px(g, 2, 0), 0x00000000u);  // no visible neighbour
}

TEST_F(PixmapTest, WindowsAndPasteStayInsideTheirPixmap) {
  auto pm = TPixmap::Create(4, 3, PixelRGBA8888);
  pm->ClearPixels(0);
  auto win = pm->Window(1, 1, 2, 2);
  ASSERT_TRUE(win);
  EXPECT_EQ(win->capacity, -1);
  win->WritePixel(1, 1, 0x11223344);
  EXPECT_EQ(px(pm, 2, 2), 0x11223344u);

  auto clipped = pm->Window(3, 2, 5, 5);
  ASSERT_TRUE(clipped);
  EXPECT_EQ(clipped->width, 1);
  EXPECT_EQ(clipped->height, 1);
  EXPECT_FALSE(pm->Window(4, 0, 1, 1));
  EXPECT_FALSE(pm->Window(-3, 0, 2, 2));

  // A window keeps its pixmap's memory alive.
  pm.reset();
  EXPECT_EQ(px(win, 1, 1), 0x11223344u);

  // Paste converts, and drops what falls outside.
  auto dst = TPixmap::Create(3, 3, PixelRGBA8888);
  dst->ClearPixels(0);
  auto src = TPixmap::Create(2, 2, PixelRGB888);
  src->ClearPixels(static_cast<int>(0xFFABCDEF));
  dst->Paste(src, -1, -1);
  dst->Paste(src, 2, 2);
  dst->Paste(src, 5, 0);
  dst->Paste(src, 0, -7);
  EXPECT_EQ(px(dst, 0, 0), 0xFFABCDEFu);
  EXPECT_EQ(px(dst, 1, 0), 0u);
  EXPECT_EQ(px(dst, 1, 1), 0u);
  EXPECT_EQ(px(dst, 2, 2), 0xFFABCDEFu);

  auto copy = dst->Copy();
  dst->ClearPixels(-1);
  EXPECT_EQ(px(copy, 2, 2), 0xFFABCDEFu);
}

TEST_F(PixmapTest, MirrorsReverseColumnsOrRows) {
  auto src = sample_rgba()->Convert(PixelRGB888);
  auto x = XFlipPixmap(src);
  auto y = YFlipPixmap(src);
  for (int r = 0; r < 2; ++r)
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(px(x, c, r), px(src, 2 - c, r));
      EXPECT_EQ(px(y, c, r), px(src, c, 1 - r));
    }
  EXPECT_EQ(x->format, PixelRGB888);
}

TEST_F(PixmapTest, PngLoadsEveryColourTypeIntoItsFormat) {
  // 8-bit RGB, as the game's pictures are.
  const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  auto pm = load_bytes(make_png(3, 2, 8, PNG_COLOR_TYPE_RGB, rgb));
  ASSERT_TRUE(pm);
  EXPECT_EQ(pm->format, PixelRGB888);
  EXPECT_EQ(pm->pitch, 12);
  EXPECT_EQ(px(pm, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(px(pm, 2, 1), 0xFF070809u);

  // The same picture interlaced.
  auto inter = load_bytes(make_png(3, 2, 8, PNG_COLOR_TYPE_RGB, rgb, true));
  ASSERT_TRUE(inter);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(px(inter, i % 3, i / 3), px(pm, i % 3, i / 3));

  // A palette with a transparency chunk gains an alpha channel.
  std::vector<png_color> pal = {{10, 20, 30}, {40, 50, 60}};
  auto paletted = load_bytes(make_png(2, 1, 8, PNG_COLOR_TYPE_PALETTE, {0, 1}, false, pal, {0}));
  ASSERT_TRUE(paletted);
  EXPECT_EQ(paletted->format, PixelRGBA8888);
  EXPECT_EQ(px(paletted, 0, 0), 0x000A141Eu);
  EXPECT_EQ(px(paletted, 1, 0), 0xFF28323Cu);

  // Grey with alpha spreads the grey over red, green and blue.
  auto ga = load_bytes(make_png(2, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {0x40, 0x80, 0xC0, 0xFF}));
  ASSERT_TRUE(ga);
  EXPECT_EQ(ga->format, PixelRGBA8888);
  EXPECT_EQ(px(ga, 0, 0), 0x80404040u);

  // One-bit grey widens to 8 bits; 16-bit samples keep their high byte.
  auto bits = load_bytes(make_png(3, 1, 1, PNG_COLOR_TYPE_GRAY, {0xA0}));
  ASSERT_TRUE(bits);
  EXPECT_EQ(bits->format, PixelI8);
  EXPECT_EQ(bits->pixels[0], 255);
  EXPECT_EQ(bits->pixels[1], 0);
  auto deep = load_bytes(make_png(1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA,
                                  {0x12, 0x99, 0x34, 0x99, 0x56, 0x99, 0x78, 0x99}));
  ASSERT_TRUE(deep);
  EXPECT_EQ(px(deep, 0, 0), 0x78123456u);
}

TEST_F(PixmapTest, PngLoadsFromEverySourceKind) {
  const Bytes png = make_png(2, 2, 8, PNG_COLOR_TYPE_GRAY, {1, 2, 3, 4});
  add_embedded_file("pixmap_test_grey.png", png.data(), static_cast<int>(png.size()));
  auto embedded = LoadPixmap("Incbin::pixmap_test_grey.png");
  ASSERT_TRUE(embedded);
  EXPECT_EQ(embedded->PixelPtr(1, 1)[0], 4);
  EXPECT_FALSE(LoadPixmap("incbin::Pixmap_test_grey.png"));

  const scratch_dir dir;
  dir.write_bytes("grey.png", png);
  EXPECT_TRUE(LoadPixmap(dir.file("grey.png")));
  EXPECT_FALSE(LoadPixmap(dir.file("missing.png")));

  EXPECT_EQ(LoadPixmap(embedded), embedded);

  // The stream is read from where it stands, and closed afterwards.
  Bytes padded = {9, 9, 9};
  padded.insert(padded.end(), png.begin(), png.end());
  auto s = TRamStream::CreateFromBytes(padded);
  s->Seek(3);
  EXPECT_TRUE(LoadPixmap(s));
}

TEST_F(PixmapTest, BrokenPngsGiveNone) {
  Bytes rgb(16 * 16 * 3);
  for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 7);
  const Bytes png = make_png(16, 16, 8, PNG_COLOR_TYPE_RGB, rgb);
  ASSERT_TRUE(load_bytes(png));

  for (size_t n = 0; n < png.size(); ++n)
    EXPECT_FALSE(load_bytes(Bytes(png.begin(), png.begin() + n))) << n;

  Bytes flipped = png;
  flipped[png.size() - 20] ^= 0x55;  // inside the compressed data: the checksum fails
  EXPECT_FALSE(load_bytes(flipped));
  EXPECT_FALSE(load_bytes(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'}));
  EXPECT_FALSE(load_bytes({}));

  // A header promising a vast picture with a valid checksum and next to no data.
  auto with_size = [&](uint32_t w, uint32_t h) {
    Bytes b = png;
    const uint8_t be[8] = {uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w),
                           uint8_t(h >> 24), uint8_t(h >> 16), uint8_t(h >> 8), uint8_t(h)};
    std::memcpy(&b[16], be, 8);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, &b[12], 17));
    b[29] = uint8_t(crc >> 24), b[30] = uint8_t(crc >> 16), b[31] = uint8_t(crc >> 8),
    b[32] = uint8_t(crc);
    return b;
  };
  EXPECT_TRUE(load_bytes(with_size(16, 16)));  // the patching itself is sound
  EXPECT_FALSE(load_bytes(with_size(100000, 100000)));
  EXPECT_FALSE(load_bytes(with_size(16000, 16000)));
  EXPECT_FALSE(load_bytes(with_size(16, 17)));  // one row short
}

// A loader placed ahead of the PNG loader, to check how the chain treats refusals.
struct ScriptedLoader : TPixmapLoader {
  int mode = 0;  // 0 consumes bytes and refuses, 1 raises a stream error, 2 another error
  std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& s) override {
    uint8_t b[5];
    s->Read(b, sizeof b);
    if (mode == 1) throw TStreamReadException();
    if (mode == 2) throw std::runtime_error("loader broke");
    return nullptr;
  }
};

TEST_F(PixmapTest, ChainSeeksBackAndTreatsStreamErrorsAsRefusals) {
  auto loader = std::make_shared<ScriptedLoader>();
  register_pixmap_loader(loader);
  const Bytes png = make_png(1, 1, 8, PNG_COLOR_TYPE_GRAY, {7});
  EXPECT_TRUE(load_bytes(png));
  loader->mode = 1;
  EXPECT_TRUE(load_bytes(png));
  loader->mode = 2;
  auto s = TRamStream::CreateFromBytes(png);
  EXPECT_THROW(LoadPixmap(s), std::runtime_error);
  loader->mode = 0;
}

}  // namespace
