#include "canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ag {

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

static int clamp255(double v) {
  int i = static_cast<int>(std::lround(v));
  return i < 0 ? 0 : (i > 255 ? 255 : i);
}

Rgb mix(Rgb a, Rgb b, double t) {
  return {clamp255(a.r + (b.r - a.r) * t), clamp255(a.g + (b.g - a.g) * t),
          clamp255(a.b + (b.b - a.b) * t)};
}

Rgb scale(Rgb c, double k) { return {clamp255(c.r * k), clamp255(c.g * k), clamp255(c.b * k)}; }

Rgb clamp_visible(Rgb c) {
  Rgb o{std::clamp(c.r, 0, 255), std::clamp(c.g, 0, 255), std::clamp(c.b, 0, 255)};
  if (o.r == 0 && o.g == 0 && o.b == 0) return kInk;
  return o;
}

Canvas::Canvas(int w, int h, Rgb fill) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 3) {
  this->fill(fill);
}

Rgb Canvas::get(int x, int y) const {
  if (!inside(x, y)) return kClear;
  const uint8_t* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
  return {p[0], p[1], p[2]};
}

void Canvas::set(int x, int y, Rgb c) {
  if (!inside(x, y)) return;
  uint8_t* p = &px_[(static_cast<size_t>(y) * w_ + x) * 3];
  p[0] = static_cast<uint8_t>(std::clamp(c.r, 0, 255));
  p[1] = static_cast<uint8_t>(std::clamp(c.g, 0, 255));
  p[2] = static_cast<uint8_t>(std::clamp(c.b, 0, 255));
}

void Canvas::blend(int x, int y, Rgb c, double a) {
  if (!inside(x, y) || a <= 0) return;
  set(x, y, mix(get(x, y), c, clamp01(a)));
}

void Canvas::add(int x, int y, Rgb c, double k) {
  if (!inside(x, y)) return;
  Rgb o = get(x, y);
  set(x, y, {clamp255(o.r + c.r * k), clamp255(o.g + c.g * k), clamp255(o.b + c.b * k)});
}

void Canvas::fill(Rgb c) {
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) set(x, y, c);
}

void Canvas::rect(int x, int y, int w, int h, Rgb c) {
  for (int j = y; j < y + h; ++j)
    for (int i = x; i < x + w; ++i) set(i, j, c);
}

void Canvas::ellipse(double cx, double cy, double rx, double ry, Rgb c) {
  if (rx <= 0 || ry <= 0) return;
  int x0 = static_cast<int>(std::floor(cx - rx)), x1 = static_cast<int>(std::ceil(cx + rx));
  int y0 = static_cast<int>(std::floor(cy - ry)), y1 = static_cast<int>(std::ceil(cy + ry));
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
      if (dx * dx + dy * dy <= 1.0) set(x, y, c);
    }
}

void Canvas::polygon(const std::vector<double>& xy, Rgb c) {
  size_t n = xy.size() / 2;
  if (n < 3) return;
  double ymin = xy[1], ymax = xy[1];
  for (size_t i = 0; i < n; ++i) {
    ymin = std::min(ymin, xy[2 * i + 1]);
    ymax = std::max(ymax, xy[2 * i + 1]);
  }
  // Even-odd scanline fill sampled at pixel centres.
  for (int y = static_cast<int>(std::floor(ymin)); y <= static_cast<int>(std::ceil(ymax)); ++y) {
    double sy = y + 0.5;
    std::vector<double> xs;
    for (size_t i = 0; i < n; ++i) {
      double ax = xy[2 * i], ay = xy[2 * i + 1];
      double bx = xy[2 * ((i + 1) % n)], by = xy[2 * ((i + 1) % n) + 1];
      if ((ay <= sy && by > sy) || (by <= sy && ay > sy))
        xs.push_back(ax + (sy - ay) * (bx - ax) / (by - ay));
    }
    std::sort(xs.begin(), xs.end());
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      int xa = static_cast<int>(std::ceil(xs[k] - 0.5));
      int xb = static_cast<int>(std::floor(xs[k + 1] - 0.5));
      for (int x = xa; x <= xb; ++x) set(x, y, c);
    }
  }
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb c) {
  int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
  int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    set(x0, y0, c);
    if (x0 == x1 && y0 == y1) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
}

void Canvas::outline(Rgb c, bool diagonal) {
  std::vector<uint8_t> mark(static_cast<size_t>(w_) * h_, 0);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) {
      if (!(get(x, y) == kClear)) continue;
      bool edge = false;
      for (int dy = -1; dy <= 1 && !edge; ++dy)
        for (int dx = -1; dx <= 1 && !edge; ++dx) {
          if ((dx == 0 && dy == 0) || (!diagonal && dx != 0 && dy != 0)) continue;
          if (inside(x + dx, y + dy) && !(get(x + dx, y + dy) == kClear)) edge = true;
        }
      if (edge) mark[static_cast<size_t>(y) * w_ + x] = 1;
    }
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x)
      if (mark[static_cast<size_t>(y) * w_ + x]) set(x, y, c);
}

void Canvas::blit(const Canvas& src, int dx, int dy) {
  for (int y = 0; y < src.h(); ++y)
    for (int x = 0; x < src.w(); ++x) set(dx + x, dy + y, src.get(x, y));
}

Canvas Canvas::flipped_x() const {
  Canvas o(w_, h_);
  for (int y = 0; y < h_; ++y)
    for (int x = 0; x < w_; ++x) o.set(w_ - 1 - x, y, get(x, y));
  return o;
}

Canvas Canvas::scaled(int k) const {
  Canvas o(w_ * k, h_ * k);
  for (int y = 0; y < o.h(); ++y)
    for (int x = 0; x < o.w(); ++x) o.set(x, y, get(x / k, y / k));
  return o;
}

void write_png(const Canvas& c, const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    throw std::runtime_error("PNG encoding failed for " + path);
  }
  png_init_io(png, f);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(c.w()), static_cast<png_uint_32>(c.h()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const uint8_t* base = c.bytes().data();
  for (int y = 0; y < c.h(); ++y)
    png_write_row(png, const_cast<png_bytep>(base + static_cast<size_t>(y) * c.w() * 3));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

uint64_t Rng::next() {
  uint64_t z = (s_ += 0x9e3779b97f4a7c15ULL);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
  return z ^ (z >> 31);
}

double Rng::real() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

int Rng::range(int a, int b) {
  return a + static_cast<int>(next() % static_cast<uint64_t>(b - a + 1));
}

double Noise::lattice(int x, int y) const {
  uint64_t h = seed_ * 0x100000001b3ULL ^ (static_cast<uint64_t>(static_cast<uint32_t>(x)) << 32) ^
               static_cast<uint32_t>(y);
  Rng r(h);
  r.next();
  return r.real();
}

static double smooth(double t) { return t * t * (3 - 2 * t); }

double Noise::at(double x, double y) const {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
  double tx = smooth(x - fx), ty = smooth(y - fy);
  int ix1 = ix + 1;
  if (px_ > 0) {
    ix = ((ix % px_) + px_) % px_;
    ix1 = ((ix1 % px_) + px_) % px_;
  }
  double a = lattice(ix, iy), b = lattice(ix1, iy);
  double c = lattice(ix, iy + 1), d = lattice(ix1, iy + 1);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double Noise::fbm(double x, double y, int octaves, double gain) const {
  double sum = 0, amp = 1, norm = 0, f = 1;
  for (int o = 0; o < octaves; ++o) {
    // Each octave doubles the frequency, so the wrap period doubles with it.
    Noise layer(seed_ + static_cast<uint64_t>(o) * 7919, px_ > 0 ? px_ * static_cast<int>(f) : 0);
    sum += amp * layer.at(x * f, y * f);
    norm += amp;
    amp *= gain;
    f *= 2;
  }
  return sum / norm;
}

}  // namespace ag
