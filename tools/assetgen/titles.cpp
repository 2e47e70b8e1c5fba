// Lettered pictures: the studio logo, the game's title plate and the review sheet.
#include "art.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace ag {

Lettering::Lettering(const std::string& font_path) {
  std::ifstream in(font_path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read font " + font_path);
  data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  FT_Library lib = nullptr;
  if (FT_Init_FreeType(&lib)) throw std::runtime_error("FreeType did not start");
  lib_ = lib;
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(lib, data_.data(), static_cast<FT_Long>(data_.size()), 0, &face))
    throw std::runtime_error("cannot open font " + font_path);
  face_ = face;
}

Lettering::~Lettering() {
  if (face_) FT_Done_Face(static_cast<FT_Face>(face_));
  if (lib_) FT_Done_FreeType(static_cast<FT_Library>(lib_));
}

Lettering::Mask Lettering::render(const std::string& text, int px, int track) const {
  FT_Face face = static_cast<FT_Face>(face_);
  FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(px));
  int asc = static_cast<int>(face->size->metrics.ascender >> 6);
  int desc = static_cast<int>(-(face->size->metrics.descender >> 6));
  // First pass measures, second pass paints.
  Mask m;
  for (int pass = 0; pass < 2; ++pass) {
    int pen = 0;
    for (unsigned char ch : text) {
      if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) continue;
      FT_GlyphSlot g = face->glyph;
      if (pass == 1) {
        for (unsigned r = 0; r < g->bitmap.rows; ++r)
          for (unsigned col = 0; col < g->bitmap.width; ++col) {
            int x = pen + g->bitmap_left + static_cast<int>(col);
            int y = asc - g->bitmap_top + static_cast<int>(r);
            if (x < 0 || y < 0 || x >= m.w || y >= m.h) continue;
            float v = g->bitmap.buffer[r * static_cast<unsigned>(g->bitmap.pitch) + col] / 255.f;
            float& dst = m.a[static_cast<size_t>(y) * m.w + x];
            dst = std::max(dst, v);
          }
      }
      pen += static_cast<int>(g->advance.x >> 6) + track;
    }
    if (pass == 0) {
      m.w = std::max(1, pen - track + 2);
      m.h = asc + desc;
      m.a.assign(static_cast<size_t>(m.w) * m.h, 0.f);
    }
  }
  return m;
}

namespace {

using Mask = Lettering::Mask;

// Grows a mask by r pixels (round pen), keeping soft edges.
Mask dilate(const Mask& m, double r) {
  int R = static_cast<int>(std::ceil(r)) + 1;
  Mask o;
  o.w = m.w + 2 * R;
  o.h = m.h + 2 * R;
  o.a.assign(static_cast<size_t>(o.w) * o.h, 0.f);
  for (int y = 0; y < o.h; ++y)
    for (int x = 0; x < o.w; ++x) {
      float best = 0;
      for (int dy = -R; dy <= R; ++dy)
        for (int dx = -R; dx <= R; ++dx) {
          double d = std::hypot(dx, dy);
          if (d > r + 0.5) continue;
          float v = m.at(x - R + dx, y - R + dy) * static_cast<float>(clamp01(r + 0.5 - d));
          best = std::max(best, v);
        }
      o.a[static_cast<size_t>(y) * o.w + x] = best;
    }
  return o;
}

// Paints mask m onto c at (ox, oy) with colours from fn(x, y) (mask coordinates).
template <class Fn>
void paint(Canvas& c, const Mask& m, int ox, int oy, Fn fn) {
  for (int y = 0; y < m.h; ++y)
    for (int x = 0; x < m.w; ++x) {
      float a = m.a[static_cast<size_t>(y) * m.w + x];
      if (a > 0) c.blend(ox + x, oy + y, fn(x, y), a);
    }
}

void paint_solid(Canvas& c, const Mask& m, int ox, int oy, Rgb col) {
  paint(c, m, ox, oy, [&](int, int) { return col; });
}

// Lettering with a gradient face, a dark rim and a drop shadow, centred on (cx, top).
void fancy_text(Canvas& c, const Mask& m, int cx, int top, Rgb face_top, Rgb face_bottom, Rgb rim,
                double rim_w, int shadow) {
  Mask outer = dilate(m, rim_w);
  int R = (outer.w - m.w) / 2;
  int ox = cx - m.w / 2, oy = top;
  paint_solid(c, outer, ox - R + shadow, oy - R + shadow, scale(rim, 0.45));
  paint_solid(c, outer, ox - R, oy - R, rim);
  paint(c, m, ox, oy, [&](int, int y) {
    double t = static_cast<double>(y) / m.h;
    Rgb col = mix(face_top, face_bottom, t);
    if (t > 0.48 && t < 0.56) col = mix(col, {255, 255, 255}, 0.35);  // a glint line
    return col;
  });
}

void frame_border(Canvas& c, Rgb outer, Rgb inner, int W = 0) {
  if (W == 0) W = c.w();
  int H = c.h();
  for (int k = 0; k < 2; ++k) {
    c.rect(k + 3, k + 3, W - 2 * (k + 3), 1, k ? inner : outer);
    c.rect(k + 3, H - 4 - k, W - 2 * (k + 3), 1, k ? inner : outer);
    c.rect(k + 3, k + 3, 1, H - 2 * (k + 3), k ? inner : outer);
    c.rect(W - 4 - k, k + 3, 1, H - 2 * (k + 3), k ? inner : outer);
  }
}

}  // namespace

// Our studio card: a noon sun with a quarter moon cut from it, over the name.
// The splash centres the card on the screen, where the playfield between the
// side bars is only 414 pixels wide, so the design is laid out on the first
// 414 columns and the last six only carry the background on.
Canvas make_logo(const Lettering& font) {
  const int W = 414, H = 236;
  Canvas c(420, H);
  Noise n(6100);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < c.w(); ++x) {
      double t = static_cast<double>(y) / H;
      Rgb col = mix({22, 26, 62}, {74, 44, 92}, t);
      double glow = std::exp(-std::hypot(x - 207.0, (y - 92.0) * 1.3) / 90.0);
      col = mix(col, {150, 90, 110}, glow * 0.6);
      int g = static_cast<int>((n.at(x * 0.7, y * 0.7) - 0.5) * 4);
      c.set(x, y, clamp_visible({col.r + g, col.g + g, col.b + g}));
    }
  // Sun disc with rays, the moon's bite taken out of its upper right.
  const double sx = 207, sy = 88, sr = 44;
  for (int k = 0; k < 16; ++k) {
    double a = k * 3.14159265358979323846 / 8;
    double r0 = sr + 6, r1 = sr + (k % 2 ? 14 : 22);
    c.polygon({sx + std::cos(a - 0.08) * r0, sy + std::sin(a - 0.08) * r0, sx + std::cos(a) * r1,
               sy + std::sin(a) * r1, sx + std::cos(a + 0.08) * r0, sy + std::sin(a + 0.08) * r0},
              {250, 190, 90});
  }
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double d = std::hypot(x + 0.5 - sx, y + 0.5 - sy);
      double dm = std::hypot(x + 0.5 - (sx + 20), y + 0.5 - (sy - 14));
      if (d > sr) continue;
      double a = clamp01(sr - d + 0.5);
      if (dm < 34) {
        // The quarter moon: cool silver inside the bite.
        if (dm > 30) c.blend(x, y, {250, 200, 110}, a);
        continue;
      }
      double t = (y - (sy - sr)) / (2 * sr);
      c.blend(x, y, mix({255, 236, 140}, {236, 110, 60}, t), a);
    }
  // A crescent of silver inside the bite.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double dm = std::hypot(x + 0.5 - (sx + 20), y + 0.5 - (sy - 14));
      double dm2 = std::hypot(x + 0.5 - (sx + 30), y + 0.5 - (sy - 22));
      if (dm < 24 && dm2 > 22) c.blend(x, y, {214, 224, 246}, clamp01(24 - dm));
    }
  Mask name = font.render("QUARTERNOON", 40, 3);
  fancy_text(c, name, W / 2, 146, {255, 244, 200}, {240, 176, 90}, {46, 24, 40}, 2.5, 3);
  Mask sub = font.render("G A M E S", 18, 2);
  paint_solid(c, sub, W / 2 - sub.w / 2, 196, {210, 190, 230});
  c.rect(60, 206, 80, 1, {170, 140, 190});
  c.rect(W - 140, 206, 80, 1, {170, 140, 190});
  frame_border(c, {110, 80, 130}, {46, 34, 70}, W);
  return c;
}

// The title plate of the menu: the name in warm gold on a dusk-blue plate, with
// "2D/3D" in sky blue. Bright letters on a dark plate keep the contrast in both
// tinted copies of the stereo mode.
Canvas make_title(const Lettering& font) {
  const int W = 347, H = 124;
  Canvas c(W, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double t = static_cast<double>(y) / H;
      Rgb col = mix({20, 30, 70}, {46, 60, 112}, t);
      col = mix(col, {70, 90, 150}, 0.5 * std::exp(-std::fabs(y - 62.0) / 18.0));
      c.set(x, y, clamp_visible(col));
    }
  // Wings spread behind the name.
  for (int side = -1; side <= 1; side += 2)
    for (int k = 0; k < 4; ++k) {
      double y0 = 84 + k * 6;
      double x0 = W / 2.0 + side * 48, x1 = W / 2.0 + side * (150 - k * 22);
      c.polygon({x0, y0, x1, y0 + 2 - k * 0.5, x1 - side * 8, y0 + 5, x0, y0 + 4},
                mix({200, 170, 90}, {120, 100, 70}, k / 3.0));
    }
  Mask name = font.render("Aerovane", 56, 1);
  fancy_text(c, name, W / 2, 9, {255, 246, 170}, {236, 128, 36}, {60, 16, 20}, 3.0, 4);
  Mask sub = font.render("2D/3D", 26, 2);
  fancy_text(c, sub, W / 2, 82, {230, 246, 255}, {110, 180, 250}, {16, 26, 60}, 2.0, 2);
  frame_border(c, {200, 170, 90}, {90, 70, 50});
  return c;
}

namespace {

Rgb over_sky(Rgb px, Rgb sky, bool additive, double k) {
  if (px == kClear) return sky;
  if (!additive) return px;
  return {std::min(255, sky.r + static_cast<int>(px.r * k)),
          std::min(255, sky.g + static_cast<int>(px.g * k)),
          std::min(255, sky.b + static_cast<int>(px.b * k))};
}

// Shows a game picture enlarged on a sky-blue tile, as the game would mask or
// add it, with its label underneath.
void tile(Canvas& out, const Canvas& pic, int x, int y, int k, bool additive, double add_k,
          const std::string& label, const Lettering& font) {
  const Rgb sky{108, 158, 220};
  for (int j = 0; j < pic.h() * k; ++j)
    for (int i = 0; i < pic.w() * k; ++i)
      out.set(x + i, y + j, over_sky(pic.get(i / k, j / k), sky, additive, add_k));
  Mask m = font.render(label, 14);
  paint_solid(out, m, x, y + pic.h() * k + 2, {230, 230, 236});
}

void place(Canvas& screen, const Canvas& pic, int cx, int cy, bool additive, double k) {
  int x0 = cx - pic.w() / 2, y0 = cy - pic.h() / 2;
  for (int y = 0; y < pic.h(); ++y)
    for (int x = 0; x < pic.w(); ++x) {
      Rgb p = pic.get(x, y);
      if (p == kClear || !screen.inside(x0 + x, y0 + y)) continue;
      if (additive) screen.add(x0 + x, y0 + y, p, k);
      else screen.set(x0 + x, y0 + y, p);
    }
}

// Bilinear enlargement, as the game's filtered glyph images are scaled.
Mask scale_mask(const Mask& m, double k) {
  Mask o;
  o.w = static_cast<int>(m.w * k);
  o.h = static_cast<int>(m.h * k);
  o.a.assign(static_cast<size_t>(o.w) * o.h, 0.f);
  for (int y = 0; y < o.h; ++y)
    for (int x = 0; x < o.w; ++x) {
      double sx = (x + 0.5) / k - 0.5, sy = (y + 0.5) / k - 0.5;
      int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
      double fx = sx - ix, fy = sy - iy;
      double v = m.at(ix, iy) * (1 - fx) * (1 - fy) + m.at(ix + 1, iy) * fx * (1 - fy) +
                 m.at(ix, iy + 1) * (1 - fx) * fy + m.at(ix + 1, iy + 1) * fx * fy;
      o.a[static_cast<size_t>(y) * o.w + x] = static_cast<float>(v);
    }
  return o;
}

// The game's texts in its own font and colours: 18 pixels, and enlarged 1.2 and 2 times.
Canvas text_sample(const Lettering& font) {
  Canvas c(380, 230, {40, 58, 118});
  struct Line {
    const char* text;
    double k;
    Rgb col;
  };
  const Line lines[] = {{"Score 150   Best 1000   Stage 03", 1.0, {250, 250, 100}},
                        {"Start Game   3D Graphics: R\\C", 1.0, {200, 120, 50}},
                        {"Resume Game", 1.2, {240, 180, 80}},
                        {"Get Ready!!   Bonus: 1500", 1.0, {255, 255, 200}},
                        {"Game Over!", 2.0, {255, 255, 200}}};
  int y = 8;
  for (const Line& l : lines) {
    Mask m = font.render(l.text, 18);
    if (l.k != 1.0) m = scale_mask(m, l.k);
    paint_solid(c, m, 10, y, l.col);
    y += m.h + 10;
  }
  return c;
}

}  // namespace

Canvas make_contact_sheet(const SheetParts& parts, const Canvas& sheet, const Canvas& backdrop,
                          const Canvas& title, const Canvas& logo, const Canvas& m1,
                          const Canvas& m2, const Canvas& pointer, const Lettering& font) {
  const int W = 1420, H = 1800;
  Canvas out(W, H, {40, 44, 54});
  // Sprite frames at three times their size.
  for (int i = 0; i < kFrames; ++i) {
    bool additive = i >= 22;
    tile(out, parts.frames[i], 10 + (i % 9) * 156, 10 + (i / 9) * 124, 3, additive, 0.8,
         "frame " + std::to_string(i), font);
  }
  for (int j = 0; j < kHitFrames; ++j)
    tile(out, parts.hits[j], 10 + j * 252, 384, 3, false, 1, "blimp hit " + std::to_string(j),
         font);
  tile(out, parts.cloud, 1030, 384, 2, true, 0.8, "cloud", font);

  // A mock play screen: backdrop, clouds, sprites, mountains, side bars.
  Canvas screen(640, 480);
  screen.blit(backdrop, 90, 0);
  place(screen, parts.cloud, 200, 180, true, 0.8);
  place(screen, parts.cloud, 440, 250, true, 0.8);
  place(screen, parts.frames[10], 420, 150, false, 1);
  place(screen, parts.frames[14], 250, 280, false, 1);
  place(screen, parts.frames[12], 460, 210, false, 1);
  place(screen, parts.frames[13], 180, 120, false, 1);
  place(screen, parts.frames[1], 300, 220, false, 1);
  place(screen, parts.frames[21], 350, 220, false, 1);
  place(screen, parts.frames[23], 470, 300, true, 0.8);
  place(screen, parts.frames[20], 200, 240, false, 1);
  for (int y = 0; y < m1.h(); ++y)
    for (int x = 0; x < m1.w(); ++x) {
      if (!(m1.get(x, y) == kClear)) screen.set(100 + x, 332 + y, m1.get(x, y));
      if (!(m2.get(x, y) == kClear) && 514 + x < 640) screen.set(514 + x, 332 + y, m2.get(x, y));
    }
  screen.rect(0, 0, 110, 480, {1, 1, 1});
  screen.rect(524, 0, 116, 480, {1, 1, 1});
  tile(out, screen, 10, 560, 1, false, 1, "in play", font);

  // The menu look: the sky tinted blue-grey with the title plate over it.
  Canvas menu(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 460; ++x) {
      Rgb p = backdrop.get(x, y);
      menu.set(90 + x, y, {p.r * 100 / 255, p.g * 100 / 255, p.b * 180 / 255});
    }
  place(menu, title, 320, 130, false, 1);
  for (int y = 0; y < pointer.h(); ++y)
    for (int x = 0; x < pointer.w(); ++x)
      if (!(pointer.get(x, y) == kClear)) menu.set(316 + x, 242 + y, pointer.get(x, y));
  menu.rect(0, 0, 110, 480, {1, 1, 1});
  menu.rect(524, 0, 116, 480, {1, 1, 1});
  tile(out, menu, 670, 560, 1, false, 1, "menu", font);

  // Red/cyan stereo view of the backdrop and title, as the glasses see it.
  Canvas stereo(640, 480, {15, 25, 25});
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 460; ++x) {
      Rgb p = backdrop.get(x, y);
      stereo.add(90 + x + 14, y, {p.r * 140 / 255, p.g * 4 / 255, p.b * 10 / 255}, 1);
      stereo.add(90 + x - 14, y, {p.r * 4 / 255, p.g * 80 / 255, p.b * 60 / 255}, 1);
    }
  tile(out, stereo, 10, 1080, 1, false, 1, "stereo backdrop", font);
  tile(out, logo, 670, 1080, 1, false, 1, "studio logo", font);
  tile(out, title, 670, 1340, 1, false, 1, "title", font);
  tile(out, text_sample(font), 1030, 1340, 1, false, 1, "font at 18 px, x1.2, x2", font);
  // The two strips side by side as the game first places them, 414 apart,
  // and again the other way round as they come after a wrap.
  Canvas join(414 * 3 + 2, 147);
  join.blit(m1, 0, 0);
  join.blit(m2, 414, 0);
  for (int y = 0; y < 147; ++y)
    for (int x = 0; x < 416; ++x)
      if (!(m1.get(x, y) == kClear)) join.set(828 + x, y, m1.get(x, y));
  tile(out, join, 10, 1600, 1, false, 1, "mountains 1, 2, 1 placed 414 apart", font);
  tile(out, pointer, 1100, 1080, 3, false, 1, "pointer", font);
  (void)sheet;
  return out;
}

}  // namespace ag
