// Text with the built-in font and with a real TrueType font, drawn on the screen and
// measured; broken font files must give no font and never crash.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include "gl_fixture.h"
#include "graphics/draw/builtin_font.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "scratch_dir.h"
#include "stream/stream.h"

namespace {

const std::string kFont = AV_SOURCE_DIR "/assets/skyfont.ttf";

class Fonts : public GLTest {};

TEST_F(Fonts, BuiltInFontMeasuresAndDraws) {
  EXPECT_EQ(TextWidth("abc"), 24);
  EXPECT_EQ(TextHeight("abc"), 16);
  EXPECT_EQ(TextHeight(""), 16);
  EXPECT_EQ(TextWidth(""), 0);
  EXPECT_EQ(TextWidth("\x01\x1f\x80\xff"), 0);  // no glyphs: skipped, no advance
  EXPECT_EQ(TextWidth("a\x01"
                      "b"),
            16);

  box b;
  DrawText("HH", 100, 100);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_GE(b.x0, 100);
  EXPECT_LT(b.x1, 116);
  EXPECT_GT(b.x1, 108);  // the second H is 8 further on
  EXPECT_GE(b.y0, 100);
  EXPECT_LT(b.y1, 116);

  // Under 90 degrees the pen runs down the screen.
  Cls();
  SetRotation(90);
  DrawText("HH", 100, 100);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_LE(b.x1, 100);
  EXPECT_GE(b.x0, 84);
  EXPECT_GE(b.y0, 100);
  EXPECT_GT(b.y1, 108);
  EXPECT_LT(b.y1, 116);

  // Origin and the stored handle move the pen like any primitive.
  Cls();
  SetRotation(0);
  SetOrigin(50, 0);
  SetHandle(0, 16);
  DrawText("|", 0, 216);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_GE(b.x0, 50);
  EXPECT_LT(b.x1, 58);
  EXPECT_GE(b.y0, 200);
  EXPECT_LT(b.y1, 216);
}

TEST_F(Fonts, BuiltInGlyphsAreAllDistinct) {
  // Packing mistakes show up as empty or repeated glyphs.
  std::shared_ptr<TImageFont> font = DefaultImageFont();
  ASSERT_EQ(font->CountGlyphs(), 96);
  EXPECT_EQ(font->CharToGlyph(' '), 0);
  EXPECT_EQ(font->CharToGlyph(127), 95);
  EXPECT_EQ(font->CharToGlyph(128), -1);
  std::set<std::vector<int>> seen;
  for (int code = 33; code < 128; ++code) {
    std::shared_ptr<TImageGlyph> g = font->LoadGlyph(font->CharToGlyph(code));
    ASSERT_TRUE(g && g->_image);
    EXPECT_EQ(g->_advance, 8.0f);
    std::shared_ptr<TPixmap> pm = g->_image->pixmaps[0];
    ASSERT_EQ(pm->width, 8);
    ASSERT_EQ(pm->height, 16);
    std::vector<int> px;
    int ink = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        px.push_back(pm->ReadPixel(x, y));
        ink += pm->ReadPixel(x, y) == -1;
      }
    EXPECT_GT(ink, 1) << "code " << code;
    EXPECT_TRUE(seen.insert(px).second) << "code " << code << " repeats another glyph";
  }
  // Byte j of row i is row i of glyph j, lowest bit leftmost: '|' is a vertical stroke.
  const unsigned char* bits = BuiltinFontBits();
  const int bar = '|' - 32;
  EXPECT_EQ(bits[5 * 96 + bar], bits[6 * 96 + bar]);
  EXPECT_NE(bits[5 * 96 + bar], 0);
}

TEST_F(Fonts, TrueTypeTextPlacesAndMeasures) {
  std::shared_ptr<TImageFont> font = LoadImageFont(kFont, 18, SmoothFont);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->_imageFlags, FilteredImage | MipmappedImage);
  SetImageFont(font);
  // The game's font at 18 pixels; at 17 or 19 every one of these differs.
  EXPECT_EQ(TextHeight("x"), 21);
  EXPECT_EQ(TextWidth("Hello"), 51);
  EXPECT_EQ(TextWidth("H"), 15);
  EXPECT_EQ(TextWidth("He"), TextWidth("H") + TextWidth("e"));  // whole-pixel advances
  EXPECT_EQ(TextWidth("\x01"), 0);

  box b;
  SetBlend(AlphaBlend);
  DrawText("Hello", 200, 200);
  b = lit_box();
  ASSERT_TRUE(b.any()) << "nothing was drawn";
  EXPECT_NEAR(b.x0, 201, 1);
  EXPECT_NEAR(b.y0, 203, 1);
  EXPECT_NEAR(b.x1, 250, 1);
  EXPECT_NEAR(b.y1, 216, 1);

  // A space has an advance and no picture.
  const int n = font->CharToGlyph(' ');
  ASSERT_GE(n, 0);
  std::shared_ptr<TImageGlyph> space = font->LoadGlyph(n);
  ASSERT_TRUE(space);
  EXPECT_EQ(space->_image, nullptr);
  EXPECT_GT(space->_advance, 0.0f);

  // Without smoothing, and one-bit glyph pictures: coverage is all or nothing.
  std::shared_ptr<TImageFont> sharp = LoadImageFont(kFont, 18, 0);
  ASSERT_TRUE(sharp);
  EXPECT_EQ(sharp->_imageFlags, 0);
  std::shared_ptr<TImageGlyph> hg = sharp->LoadGlyph(sharp->CharToGlyph('H'));
  ASSERT_TRUE(hg && hg->_image);
  std::shared_ptr<TImageGlyph> hs = font->LoadGlyph(font->CharToGlyph('H'));
  EXPECT_EQ(hs->_w, hg->_w + 2);
  EXPECT_EQ(hs->_x, hg->_x - 1);

  SetImageFont(nullptr);
  EXPECT_EQ(TextHeight(""), 16);
  EXPECT_EQ(GetImageFont(), DefaultImageFont());
}

TEST_F(Fonts, StreamSourcesKeepTheirBytes) {
  // The registry keeps the caller's bytes; the font must hold its own copy.
  static std::vector<uint8_t> bytes = file_bytes(kFont);
  add_embedded_file("font_test.ttf", bytes.data(), static_cast<int>(bytes.size()));
  std::shared_ptr<TImageFont> font = LoadImageFont("incbin::font_test.ttf", 18, 0);
  ASSERT_TRUE(font);
  SetImageFont(font);
  DrawText("Aa", 10, 10);
  EXPECT_TRUE(lit_box().any());
  EXPECT_EQ(LoadImageFont("incbin::missing.ttf", 18, 0), nullptr);
  EXPECT_EQ(LoadImageFont("", 18, 0), nullptr);
  EXPECT_EQ(LoadImageFont(kFont, 0, 0), nullptr);
  EXPECT_EQ(LoadImageFont(kFont, -3, 0), nullptr);
}

TEST_F(Fonts, BrokenFontsGiveNoneAndNeverCrash) {
  const scratch_dir dir;
  auto written = [&](const std::vector<uint8_t>& bytes) {
    dir.write_bytes("font.ttf", bytes);
    return dir.file("font.ttf");
  };
  EXPECT_EQ(LoadImageFont(written({}), 18, 0), nullptr);
  EXPECT_EQ(LoadImageFont(written(std::vector<uint8_t>(4000, 'x')), 18, 0), nullptr);
  EXPECT_EQ(LoadImageFont("/nonexistent/font.ttf", 18, 0), nullptr);

  const std::vector<uint8_t> good = file_bytes(kFont);
  std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<long>(good.size() / 8));
  EXPECT_EQ(LoadImageFont(written(cut), 18, 0), nullptr);
  // Damage in the glyph data leaves a font that opens: drawing with it must stay safe.
  std::mt19937 rng(7);
  int opened = 0;
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> bad = good;
    for (int i = 0; i < 30; ++i) bad[rng() % bad.size()] = static_cast<uint8_t>(rng());
    std::shared_ptr<TImageFont> font = LoadImageFont(written(bad), 18, round % 2 ? SmoothFont : 0);
    if (!font) continue;
    ++opened;
    SetImageFont(font);
    DrawText("The quick brown fox 0123", 0, 100);
    TextWidth("The quick brown fox 0123");
  }
  EXPECT_GT(opened, 20);
  SetImageFont(nullptr);
}

}  // namespace
