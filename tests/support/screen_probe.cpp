#include "screen_probe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

bool lit(rgb c) { return c.r != 0 || c.g != 0 || c.b != 0; }

bool near_colour(rgb c, int r, int g, int b, int tolerance) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance &&
         std::abs(c.b - b) <= tolerance;
}

std::shared_ptr<TPixmap> grab_screen() {
  std::shared_ptr<TPixmap> p = GrabPixmap(0, 0, GraphicsWidth(), GraphicsHeight());
  if (p && p->format != PixelRGBA8888) p = p->Convert(PixelRGBA8888);
  return p;
}

uint32_t screen_rgb(int x, int y) {
  std::shared_ptr<TPixmap> p = GrabPixmap(x, y, 1, 1);
  if (!p) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(p->ReadPixel(0, 0)) & 0xFFFFFFu;
}

bool lit_at(int x, int y) { return screen_rgb(x, y) != 0; }

int count_rgb(int x, int y, int w, int h, uint32_t rgb) {
  std::shared_ptr<TPixmap> p = GrabPixmap(x, y, w, h);
  if (!p) return -1;
  int n = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) n += (static_cast<uint32_t>(p->ReadPixel(i, j)) & 0xFFFFFFu) == rgb;
  return n;
}

std::ostream& operator<<(std::ostream& out, const box& b) {
  if (!b.any()) return out << "nothing";
  return out << "(" << b.x0 << ", " << b.y0 << ") to (" << b.x1 << ", " << b.y1 << ")";
}

box lit_box() {
  const screen_shot shot;
  box b;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (lit(shot.at(x, y))) b = {std::min(b.x0, x), std::min(b.y0, y), std::max(b.x1, x), y};
  return b;
}

int differing_pixels(const std::shared_ptr<TPixmap>& a, const std::shared_ptr<TPixmap>& b) {
  if (!a || !b || a->width != b->width || a->height != b->height) return -1;
  int n = 0;
  for (int y = 0; y < a->height; ++y)
    for (int x = 0; x < a->width; ++x)
      n += ((a->ReadPixel(x, y) ^ b->ReadPixel(x, y)) & 0xFFFFFF) != 0;
  return n;
}

screen_shot::screen_shot() : pixmap_(grab_screen()) {
  if (!pixmap_) ADD_FAILURE() << "the back buffer could not be read";
}

int screen_shot::width() const { return pixmap_ ? pixmap_->width : 0; }
int screen_shot::height() const { return pixmap_ ? pixmap_->height : 0; }

rgb screen_shot::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return {};
  const std::uint8_t* p = pixmap_->PixelPtr(x, y);
  return {p[0], p[1], p[2]};
}

int screen_shot::count(int x0, int y0, int x1, int y1, const std::function<bool(rgb)>& test) const {
  int n = 0;
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) n += test(at(x, y));
  return n;
}

int screen_shot::right_edge(int x0, int y0, int x1, int y1,
                            const std::function<bool(rgb)>& test) const {
  for (int x = x1; x >= x0; --x)
    if (count(x, y0, x, y1, test) > 0) return x;
  return -1;
}

int screen_shot::left_edge(int x0, int y0, int x1, int y1,
                           const std::function<bool(rgb)>& test) const {
  for (int x = x0; x <= x1; ++x)
    if (count(x, y0, x, y1, test) > 0) return x;
  return -1;
}
