#include "graphics/soft/soft_raster.h"

#include <algorithm>
#include <cmath>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/soft/soft_pixel.h"

// The arithmetic below reproduces another program's float rounding; a compiler that fused
// a multiply and an add on its own would change which texel an edge sample takes.
#if defined(__clang__)
#pragma STDC FP_CONTRACT OFF
// The lanes are passed only between functions of this file, so how a build without AVX
// passes them is nobody else's concern.
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC optimize("fp-contract=off")
#endif

// The hot loops built a second time for newer x86-64 processors and chosen at load time:
// integer arithmetic and a correctly rounded fma give the same results on either.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && defined(__linux__)
#define AV_SOFT_CLONES(isa) __attribute__((target_clones(isa, "default")))
// The 16-bit lanes below are inlined everywhere: no vector crosses a call.
#pragma GCC diagnostic ignored "-Wpsabi"
#else
#define AV_SOFT_CLONES(isa)
#endif

namespace soft {

namespace {

bool whole_quads = true;

int64_t floor_div(int64_t a, int64_t b) {  // b > 0
  const int64_t q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}
// Floor and ceiling of a / 256, the fixed point's unit: a shift, which rounds down for
// negative a too.
int64_t floor256(int64_t a) { return a >> 8; }
int64_t ceil256(int64_t a) { return -((-a) >> 8); }

// A window coordinate in the rasteriser's fixed point: 1/256 pixel, ties to even.
int64_t snap(float v) { return static_cast<int64_t>(std::nearbyint(v * 256.0f)); }

// The snapped box (xmin, ymin, xmax, ymax) of a quad whose snapped corners (x[i], y[i])
// run along the axes; false for any other quad.
bool snapped_box(const int64_t x[4], const int64_t y[4], int64_t box[4]) {
  const bool along = (x[0] == x[3] && x[1] == x[2] && y[0] == y[1] && y[2] == y[3]) ||
                     (x[0] == x[1] && x[2] == x[3] && y[0] == y[3] && y[1] == y[2]);
  if (!along) return false;
  box[0] = std::min({x[0], x[1], x[2]});
  box[1] = std::min({y[0], y[1], y[2]});
  box[2] = std::max({x[0], x[1], x[2]});
  box[3] = std::max({y[0], y[1], y[2]});
  return true;
}

// Clip space planes, in the order they are applied: x >= -w, x <= w, y >= -w, y <= w.
float plane_distance(const ClipVertex& p, int plane) {
  switch (plane) {
    case 0: return 1.0f + p.x;
    case 1: return 1.0f - p.x;
    case 2: return 1.0f + p.y;
    default: return 1.0f - p.y;
  }
}

// The point of the edge from `in` (inside) to `out` where it meets the plane.
ClipVertex meet(const ClipVertex& in, const ClipVertex& out, float din, float dout) {
  const float t = din / (din - dout);
  return {in.x + t * (out.x - in.x), in.y + t * (out.y - in.y), in.u + t * (out.u - in.u),
          in.v + t * (out.v - in.v)};
}

bool outside(const ClipVertex& p) {
  return !(p.x >= -1.0f && p.x <= 1.0f && p.y >= -1.0f && p.y <= 1.0f);
}

// Clamped to the texture; not a number gives 0. Selects, not branches, so that a loop of
// them goes several at a time (sides are far below 2^24, so size - 1 is exact in float and
// anything from it up truncates to it).
[[gnu::always_inline]] inline int nearest_index(float u, int size) {
  float t = u * static_cast<float>(size);
  t = t >= 0.0f ? t : 0.0f;
  const float last = static_cast<float>(size - 1);
  t = t < last ? t : last;
  return static_cast<int>(t);
}

// The fixed-point texel coordinate of a filtered sample: 8 bits of weight, the sample
// point half a texel back.
int linear_coordinate(float u, int size) {
  float t = u * static_cast<float>(size) * 256.0f;
  if (!(t > -1.0e9f)) t = -1.0e9f;  // also not a number
  if (t > 1.0e9f) t = 1.0e9f;
  return static_cast<int>(std::nearbyint(t)) - 128;
}

// Each channel (a * (256 - w) + b * w + 128) >> 8, two channels at a time: each 16-bit
// half holds one channel's sum, at most 255 * 256 + 128, so nothing carries into the next.
uint32_t lerp_texel(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t iw = 256u - w;
  const uint32_t rb =
      (((a & 0x00ff00ffu) * iw + (b & 0x00ff00ffu) * w + 0x00800080u) >> 8) & 0x00ff00ffu;
  const uint32_t ag =
      (((a >> 8) & 0x00ff00ffu) * iw + ((b >> 8) & 0x00ff00ffu) * w + 0x00800080u) & 0xff00ff00u;
  return rb | ag;
}

// Bilinear, clamped to the edge: across first, rounded, then down, rounded. Four equal
// texels, or weights of 0, give the first of them back (each channel (a * 256 + 128) >> 8
// is a): the empty and the solid parts of glyphs.
[[gnu::always_inline]] inline uint32_t sample_linear(const uint32_t* texels, int w, int h, int xf,
                                                     int yf) {
  const int i0 = std::clamp(xf >> 8, 0, w - 1), i1 = std::clamp((xf >> 8) + 1, 0, w - 1);
  const int j0 = std::clamp(yf >> 8, 0, h - 1), j1 = std::clamp((yf >> 8) + 1, 0, h - 1);
  const uint32_t wx = static_cast<uint32_t>(xf & 255), wy = static_cast<uint32_t>(yf & 255);
  const uint32_t* r0 = texels + static_cast<size_t>(j0) * w;
  const uint32_t* r1 = texels + static_cast<size_t>(j1) * w;
  const uint32_t a = r0[i0], b = r0[i1], c = r1[i0], d = r1[i1];
  if (((a ^ b) | (a ^ c) | (a ^ d)) == 0 || (wx | wy) == 0) return a;
  return lerp_texel(lerp_texel(a, b, wx), lerp_texel(c, d, wx), wy);
}

}  // namespace

[[gnu::always_inline]] inline float Raster::Plane::At(int x, int y) const {
  return std::fma(dady, static_cast<float>(y), std::fma(dadx, static_cast<float>(x), a0));
}

void Raster::Begin(TSoftScreen& screen, int x0, int y0, int x1, int y1) {
  screen_ = &screen;
  w_ = screen.width;
  h_ = screen.height;
  cx0_ = std::max(0, x0);
  cy0_ = std::max(0, y0);
  cx1_ = std::min(w_, x1);
  cy1_ = std::min(h_, y1);
  if (static_cast<int>(line_.size()) < w_) line_.resize(static_cast<size_t>(w_));
  if (static_cast<int>(coords_.size()) < 2 * w_) coords_.resize(static_cast<size_t>(2 * w_));
  if (static_cast<int>(index_.size()) < 2 * w_) index_.resize(static_cast<size_t>(2 * w_));
}

ClipVertex Raster::ToClip(float x, float y, float u, float v) const {
  // glOrtho(0, w, h, 0): the matrix is made in float.
  const float sx = 2.0f / static_cast<float>(w_);
  const float sy = 2.0f / (0.0f - static_cast<float>(h_));
  return {x * sx + -1.0f, y * sy + 1.0f, u, v};
}

Raster::Window Raster::ToWindow(const ClipVertex& c) const {
  const float hw = static_cast<float>(w_) * 0.5f, hh = static_cast<float>(h_) * 0.5f;
  return {std::fma(c.x, hw, hw), std::fma(c.y, hh, hh), c.u, c.v};
}

void Raster::Quad(const ClipVertex q[4], const Paint& p) {
  if (outside(q[0]) || outside(q[1]) || outside(q[2]) || outside(q[3])) {
    Triangle(q[0], q[1], q[3], p);
    Triangle(q[1], q[2], q[3], p);
    return;
  }
  // Both halves of a quad on the screen take their texture coordinates from one plane,
  // set up from the first half.
  if (!screen_ || cx0_ >= cx1_ || cy0_ >= cy1_) return;
  const Window w[4] = {ToWindow(q[0]), ToWindow(q[1]), ToWindow(q[2]), ToWindow(q[3])};
  const Window plane[3] = {w[0], w[1], w[3]};
  if (whole_quads) {
    int64_t X[4], Y[4];
    for (int i = 0; i < 4; ++i) {
      X[i] = snap(w[i].x);
      Y[i] = snap(w[i].y);
    }
    if (Rectangle(X, Y, p, plane) || ConvexQuad(X, Y, p, plane)) return;
  }
  Rasterize(w[0], w[1], w[3], p, plane);
  Rasterize(w[1], w[2], w[3], p, plane);
}

void Raster::UseWholeQuads(bool on) { whole_quads = on; }

bool Raster::Rectangle(const int64_t X[4], const int64_t Y[4], const Paint& p,
                       const Window plane[3]) {
  int64_t box[4];
  if (!snapped_box(X, Y, box)) return false;
  // The halves cover the centres inside it between them, each once; of the centres on its
  // sides, those on the left and the bottom (rows counted upwards), as every edge of either
  // half going down or along the bottom to the right keeps its centres.
  const int64_t xmin = box[0], ymin = box[1], xmax = box[2], ymax = box[3];
  if (xmin == xmax || ymin == ymax) return true;  // no area: neither half draws
  const int64_t ilo = std::max<int64_t>(ceil256(xmin - 128), cx0_);
  const int64_t ihi = std::min<int64_t>(ceil256(xmax - 128), cx1_) - 1;
  const int64_t jlo = std::max<int64_t>(ceil256(ymin - 128), h_ - cy1_);
  const int64_t jhi = std::min<int64_t>(ceil256(ymax - 128), h_ - cy0_) - 1;
  if (jlo > jhi || ilo > ihi) return true;
  Plane pu{0.0f, 0.0f, 0.0f}, pv{0.0f, 0.0f, 0.0f};
  float lambda = 0.0f;
  if (p.texture) SetUpTexture(*p.texture, plane[0], plane[1], plane[2], ilo, ihi, pu, pv, lambda);
  for (int64_t j = jlo; j <= jhi; ++j)
    ShadeSpan(p, pu, pv, lambda, static_cast<int>(j), static_cast<int>(ilo),
              static_cast<int>(ihi) + 1);
  return true;
}

bool Raster::Covered(const ClipVertex q[4], int r[4]) const {
  int64_t X[4], Y[4], box[4];
  for (int i = 0; i < 4; ++i) {
    if (outside(q[i])) return false;
    const Window w = ToWindow(q[i]);
    X[i] = snap(w.x);
    Y[i] = snap(w.y);
  }
  if (!snapped_box(X, Y, box)) return false;
  // The pixels whose centres lie inside, not on an edge: each is in one of the two halves
  // (the diagonal's centres in exactly one), whichever way the quad runs.
  const int64_t xmin = box[0], ymin = box[1], xmax = box[2], ymax = box[3];
  const int64_t i0 = std::max<int64_t>(floor256(xmin - 128) + 1, cx0_);
  const int64_t i1 = std::min<int64_t>(ceil256(xmax - 128), cx1_);
  const int64_t j0 = floor256(ymin - 128) + 1, j1 = ceil256(ymax - 128);
  // Window rows count upwards.
  const int64_t y0 = std::max<int64_t>(h_ - j1, cy0_), y1 = std::min<int64_t>(h_ - j0, cy1_);
  if (i0 >= i1 || y0 >= y1) return false;
  r[0] = static_cast<int>(i0);
  r[1] = static_cast<int>(y0);
  r[2] = static_cast<int>(i1);
  r[3] = static_cast<int>(y1);
  return true;
}

void Raster::Fan(const ClipVertex* v, int n, const Paint& p) {
  for (int i = 1; i + 1 < n; ++i) Triangle(v[0], v[i], v[i + 1], p);
}

void Raster::Point(const ClipVertex& c, const Paint& p) {
  if (!screen_ || outside(c)) return;
  const Window w = ToWindow(c);
  const int64_t i = floor256(snap(w.x)), j = floor256(snap(w.y));
  const int64_t row = h_ - 1 - j;
  if (i < cx0_ || i >= cx1_ || row < cy0_ || row >= cy1_) return;
  BlendSpan(p, nullptr, screen_->Row(static_cast<int>(row)) + i, 1);
}

void Raster::Line(float x0, float y0, float x1, float y1, float width, const Paint& p) {
  // Along its major axis a line covers the pixels whose diamond it leaves: its first
  // pixel when it starts inside that pixel's diamond, never its last when it ends inside.
  const bool xmajor = std::fabs(x1 - x0) >= std::fabs(y1 - y0);
  auto in_diamond = [](float x, float y) {
    return std::fabs(x - (std::floor(x) + 0.5f)) + std::fabs(y - (std::floor(y) + 0.5f)) < 0.5f;
  };
  float a0 = xmajor ? x0 : y0, a1 = xmajor ? x1 : y1;  // along the major axis
  const float b0 = xmajor ? y0 : x0, b1 = xmajor ? y1 : x1;
  const float len = a1 - a0;
  if (len == 0.0f) return;
  const float slope = (b1 - b0) / len;
  float s0 = a0, s1 = a1;
  if (in_diamond(x0, y0)) s0 = std::floor(a0) + 0.5f;
  if (in_diamond(x1, y1)) s1 = std::floor(a1) + 0.5f;
  // A span going backwards is covered from its far end, with the same half-open rule.
  if (len < 0.0f) {
    s0 = in_diamond(x0, y0) ? std::floor(a0) + 1.0f : a0;
    s1 = in_diamond(x1, y1) ? std::floor(a1) + 1.0f : a1;
  }
  const float t0 = b0 + (s0 - a0) * slope, t1 = b0 + (s1 - a0) * slope;
  const float h = width * 0.5f;
  ClipVertex q[4];
  if (xmajor) {
    q[0] = ToClip(s0, t0 - h);
    q[1] = ToClip(s1, t1 - h);
    q[2] = ToClip(s1, t1 + h);
    q[3] = ToClip(s0, t0 + h);
  } else {
    q[0] = ToClip(t0 - h, s0);
    q[1] = ToClip(t0 + h, s0);
    q[2] = ToClip(t1 + h, s1);
    q[3] = ToClip(t1 - h, s1);
  }
  Quad(q, p);
}

void Raster::Triangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                      const Paint& p) {
  if (!screen_ || cx0_ >= cx1_ || cy0_ >= cy1_) return;
  if (!outside(a) && !outside(b) && !outside(c)) {
    Rasterize(ToWindow(a), ToWindow(b), ToWindow(c), p);
    return;
  }
  // Clipped to the screen, one plane after the other; what is left is drawn as a fan.
  ClipVertex buf[2][16];
  int n = 3;
  buf[0][0] = a;
  buf[0][1] = b;
  buf[0][2] = c;
  int cur = 0;
  for (int plane = 0; plane < 4 && n >= 3; ++plane) {
    bool any = false;
    for (int i = 0; i < n; ++i) any = any || plane_distance(buf[cur][i], plane) < 0.0f;
    if (!any) continue;
    const ClipVertex* in = buf[cur];
    ClipVertex* out = buf[cur ^ 1];
    int m = 0;
    for (int i = 0; i < n; ++i) {
      const ClipVertex& s = in[i];
      const ClipVertex& e = in[(i + 1) % n];
      const float ds = plane_distance(s, plane), de = plane_distance(e, plane);
      if (!(ds >= 0.0f) && !(de >= 0.0f)) continue;  // both out (or not a number)
      if (ds >= 0.0f) out[m++] = s;
      if ((ds >= 0.0f) != (de >= 0.0f))
        out[m++] = ds >= 0.0f ? meet(s, e, ds, de) : meet(e, s, de, ds);
    }
    n = m;
    cur ^= 1;
  }
  if (n < 3) return;
  // The fan of a clipped polygon starts two points on.
  const int start = n > 3 ? 2 % n : 0;
  Window w[16];
  for (int i = 0; i < n; ++i) w[i] = ToWindow(buf[cur][(start + i) % n]);
  for (int i = 1; i + 1 < n; ++i) Rasterize(w[0], w[i], w[i + 1], p);
}

void Raster::SetUpTexture(const TSoftTexture& t, const Window& pa, const Window& pb,
                          const Window& pc, int64_t ilo, int64_t ihi, Plane& pu, Plane& pv,
                          float& lambda) {
  const float x0 = pa.x - 0.5f, y0 = pa.y - 0.5f, x1 = pb.x - 0.5f, y1 = pb.y - 0.5f;
  const float x2 = pc.x - 0.5f, y2 = pc.y - 0.5f;
  const float dx01 = x0 - x1, dy01 = y0 - y1, dx20 = x2 - x0, dy20 = y2 - y0;
  const float ooa = 1.0f / (dx01 * dy20 - dx20 * dy01);
  const float ka = dy20 * ooa, kb = dy01 * ooa, kc = dx01 * ooa, kd = dx20 * ooa;
  auto plane = [&](float q0, float q1, float q2) {
    const float da01 = q0 - q1, da20 = q2 - q0;
    Plane pl;
    pl.dadx = da01 * ka - da20 * kb;
    pl.dady = da20 * kc - da01 * kd;
    pl.a0 = q0 - (pl.dadx * x0 + pl.dady * y0);
    return pl;
  };
  pu = plane(pa.u, pb.u, pc.u);
  pv = plane(pa.v, pb.v, pc.v);
  const float tw = static_cast<float>(t.width), th = static_cast<float>(t.height);
  const float rx = std::hypot(pu.dadx * tw, pv.dadx * th);
  const float ry = std::hypot(pu.dady * tw, pv.dady * th);
  lambda = std::log2(std::max(rx, ry));
  per_texel_[0] = pu.dadx != 0.0f ? 1.0f / (pu.dadx * tw) : 0.0f;
  per_texel_[1] = pv.dadx != 0.0f ? 1.0f / (pv.dadx * th) : 0.0f;
  // A texel column that only depends on the pixel column is worked out once.
  columns_.clear();
  texel_columns_.clear();
  columns_straight_ = false;
  if (pu.dady == 0.0f) {
    columns_from_ = static_cast<int>(ilo);
    const int lw = t.width;
    columns_straight_ = true;
    for (int64_t i = ilo; i <= ihi; ++i) {
      columns_.push_back(pu.At(static_cast<int>(i), 0));
      texel_columns_.push_back(nearest_index(columns_.back(), lw));
      columns_straight_ =
          columns_straight_ && texel_columns_.back() == texel_columns_.front() + (i - ilo);
    }
  }
}

void Raster::Rasterize(const Window& a, const Window& b, const Window& c, const Paint& p,
                       const Window* plane_of) {
  // Coverage on snapped vertices, counter-clockwise with rows counted upwards.
  int64_t X[3] = {snap(a.x), snap(b.x), snap(c.x)};
  int64_t Y[3] = {snap(a.y), snap(b.y), snap(c.y)};
  const int64_t area = (X[1] - X[0]) * (Y[2] - Y[0]) - (Y[1] - Y[0]) * (X[2] - X[0]);
  if (area == 0) return;
  if (area < 0) {
    std::swap(X[1], X[2]);
    std::swap(Y[1], Y[2]);
  }
  const Window own[3] = {a, b, c};
  Fill(X, Y, 3, p, plane_of ? plane_of : own);
}

bool Raster::ConvexQuad(const int64_t corner_x[4], const int64_t corner_y[4], const Paint& p,
                        const Window plane[3]) {
  int64_t X[4], Y[4];
  std::copy(corner_x, corner_x + 4, X);
  std::copy(corner_y, corner_y + 4, Y);
  // Every corner turning the same way, none straight: the halves (0, 1, 3) and (1, 2, 3)
  // then run the same way round and meet only along the diagonal, whose centres the edge
  // rule gives to exactly one of them; every other centre inside lies in one half only.
  int turns = 0;
  for (int k = 0; k < 4; ++k) {
    const int l = (k + 1) % 4, m = (k + 2) % 4;
    const int64_t cross = (X[l] - X[k]) * (Y[m] - Y[l]) - (Y[l] - Y[k]) * (X[m] - X[l]);
    if (cross == 0) return false;
    turns += cross > 0 ? 1 : -1;
  }
  // (At a corner of the diagonal, on three edges, the halves keep a centre exactly when
  // the outer two do: the edge rule is the same whichever way round a corner turns.)
  if (turns != 4 && turns != -4) return false;
  if (turns < 0) {
    std::swap(X[1], X[3]);
    std::swap(Y[1], Y[3]);
  }
  Fill(X, Y, 4, p, plane);
  return true;
}

AV_SOFT_CLONES("arch=x86-64-v3")
void Raster::Fill(const int64_t* X, const int64_t* Y, int n, const Paint& p,
                  const Window plane[3]) {
  int64_t ymin = Y[0], ymax = Y[0], xmin = X[0], xmax = X[0];
  for (int k = 1; k < n; ++k) {
    ymin = std::min(ymin, Y[k]);
    ymax = std::max(ymax, Y[k]);
    xmin = std::min(xmin, X[k]);
    xmax = std::max(xmax, X[k]);
  }
  // Window rows count upwards; screen rows downwards.
  const int64_t jlo = std::max<int64_t>(ceil256(ymin - 128), h_ - cy1_);
  const int64_t jhi = std::min<int64_t>(floor256(ymax - 128), h_ - 1 - cy0_);
  const int64_t ilo = std::max<int64_t>(ceil256(xmin - 128), cx0_);
  const int64_t ihi = std::min<int64_t>(floor256(xmax - 128), cx1_ - 1);
  if (jlo > jhi || ilo > ihi) return;

  Plane pu{0.0f, 0.0f, 0.0f}, pv{0.0f, 0.0f, 0.0f};
  float lambda = 0.0f;
  if (p.texture) SetUpTexture(*p.texture, plane[0], plane[1], plane[2], ilo, ihi, pu, pv, lambda);

  // Where each edge crosses a row is a quotient by its dy (the edge function is
  // k - dy * (cx - px) with k = dx * (cy - py)); from row to row the numerator moves by
  // dx * 256, so quotient and remainder are stepped rather than divided again.
  struct Edge {
    int64_t px, py, dx, dy, bias;
    int64_t q, r, dq, dr, den;  // floor(numerator / den) and its remainder, and their steps
  } e[4];
  const int64_t cy0 = jlo * 256 + 128;
  for (int k = 0; k < n; ++k) {
    const int l = (k + 1) % n;
    Edge& g = e[k];
    g = {X[k], Y[k], X[l] - X[k], Y[l] - Y[k], 0, 0, 0, 0, 0, 1};
    const bool inclusive = (g.dy == 0 && g.dx > 0) || g.dy < 0;
    g.bias = inclusive ? 0 : 1;
    if (g.dy == 0) continue;
    // dy < 0: cx - px = ceil((bias - k) / -dy) = -floor((k - bias) / -dy);
    // dy > 0: cx - px = floor((k - bias) / dy). Either way a floor of (k - bias) / |dy|.
    g.den = g.dy < 0 ? -g.dy : g.dy;
    const int64_t num = g.dx * (cy0 - g.py) - g.bias, step = g.dx * 256;
    g.q = floor_div(num, g.den);
    g.r = num - g.q * g.den;
    g.dq = floor_div(step, g.den);
    g.dr = step - g.dq * g.den;
  }
  for (int64_t j = jlo; j <= jhi; ++j) {
    const int64_t cy = j * 256 + 128;
    int64_t lo = ilo, hi = ihi + 1;
    for (int k = 0; k < n; ++k) {
      Edge& g = e[k];
      if (g.dy == 0) {
        if (g.dx * (cy - g.py) < g.bias) lo = hi;
        continue;
      }
      if (g.dy < 0) {
        const int64_t cx = g.px - g.q;
        lo = std::max(lo, ceil256(cx - 128));
      } else {
        const int64_t cx = g.px + g.q;
        hi = std::min(hi, floor256(cx - 128) + 1);
      }
      g.q += g.dq;
      g.r += g.dr;
      if (g.r >= g.den) {
        g.r -= g.den;
        ++g.q;
      }
    }
    if (lo < hi)
      ShadeSpan(p, pu, pv, lambda, static_cast<int>(j), static_cast<int>(lo), static_cast<int>(hi));
  }
}

namespace {

// The first x of [lo, hi) from which `holds` is true (false before it, true from it on),
// or hi; looked for at `hint` and the column before it, and searched for if not there.
template <class Holds>
[[gnu::always_inline]] inline int first_where(int lo, int hi, int hint, Holds holds) {
  if (lo >= hi) return lo;
  hint = std::clamp(hint, lo + 1, hi);
  if (!holds(hint - 1)) {
    if (hint == hi || holds(hint)) return hint;
    lo = hint + 1;
  } else {
    hi = hint - 1;
  }
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (holds(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

}  // namespace

[[gnu::always_inline]] inline bool Raster::Narrow(const TSoftTexture& t, bool filtered,
                                                  const Plane& pu, const Plane& pv, int row,
                                                  int& x0, int& x1) const {
  const int* box = t.visible;
  if (box[0] > box[2]) return false;
  // A filtered sample takes its texel and the next: it shows from one texel before the box.
  const int widen = filtered ? 1 : 0;
  const float* columns = columns_.empty() ? nullptr : columns_.data() - columns_from_;
  for (int axis = 0; axis < 2 && x0 < x1; ++axis) {
    const Plane& plane = axis == 0 ? pu : pv;
    const int size = axis == 0 ? t.width : t.height;
    const int k0 = box[axis] - widen, k1 = box[axis + 2];
    const bool from_columns = axis == 0 && columns;
    auto texel = [&](int x) __attribute__((always_inline)) {
      const float c = from_columns ? columns[x] : plane.At(x, row);
      return filtered ? (linear_coordinate(c, size) >> 8) : nearest_index(c, size);
    };
    // Along the row the texel (the first of a filtered sample's two) only ever moves one
    // way, as the plane's slope says, so the columns where it lies in the box are one run.
    const int first = texel(x0), last = texel(x1 - 1);
    const bool up = plane.dadx >= 0.0f;
    if (up ? (first >= k0 && last <= k1) : (last >= k0 && first <= k1)) continue;
    if (first == last) return false;  // one texel all along, outside
    // Where texel k begins (half a texel on for a filtered sample), from the columns a
    // texel takes.
    const float c0 = (from_columns ? columns[x0] : plane.At(x0, row)) * static_cast<float>(size);
    auto hint = [&](int k) __attribute__((always_inline)) {
      const float x = static_cast<float>(x0) +
                      (static_cast<float>(k) + (filtered ? 0.5f : 0.0f) - c0) * per_texel_[axis];
      if (!(x > static_cast<float>(x0))) return x0;
      return x < 1.0e6f ? static_cast<int>(std::ceil(x)) : 1000000;
    };
    if (up ? first < k0 : first > k1)
      x0 = first_where(
          x0, x1, hint(up ? k0 : k1 + 1), [&](int x) __attribute__((always_inline)) {
            const int i = texel(x);
            return up ? i >= k0 : i <= k1;
          });
    if (x0 < x1 && (up ? last > k1 : last < k0))
      x1 = first_where(
          x0, x1, hint(up ? k1 + 1 : k0), [&](int x) __attribute__((always_inline)) {
            const int i = texel(x);
            return up ? i > k1 : i < k0;
          });
  }
  return x0 < x1;
}

AV_SOFT_CLONES("arch=x86-64-v3")
void Raster::ShadeSpan(const Paint& p, const Plane& pu, const Plane& pv, float lambda, int row,
                       int x0, int x1) {
  if (!p.texture) {
    BlendSpan(p, nullptr, screen_->Row(h_ - 1 - row) + x0, x1 - x0);
    return;
  }
  const TSoftTexture& t = *p.texture;
  const bool mipmapped = (t.flags & MipmappedImage) != 0 && t.MaxLevel() > 0;
  // Above a scale of 1 the picture is magnified and the first level serves.
  int level = 0, level2 = -1;
  uint32_t level_weight = 0;
  if (mipmapped && lambda > 0.0f) {
    if (p.filtered) {
      if (lambda >= static_cast<float>(t.MaxLevel())) {
        level = t.MaxLevel();
      } else {
        level = static_cast<int>(lambda);
        level2 = level + 1;
        level_weight = static_cast<uint32_t>((lambda - static_cast<float>(level)) * 256.0f);
        // A weight of 0 takes nothing of the second level: a frame drawn at its own size
        // whose scale comes out a hair above 1.
        if (level_weight == 0) level2 = -1;
      }
    } else {
      level = lambda <= 0.5f ? 0 : static_cast<int>(std::ceil(lambda + 0.5f)) - 1;
      level = std::min(level, t.MaxLevel());
    }
  }
  struct LevelView {
    const uint32_t* texels;
    int w, h;
  };
  auto view = [&](int lv) {
    return LevelView{t.levels[static_cast<size_t>(lv)].data(), std::max(1, t.width >> lv),
                     std::max(1, t.height >> lv)};
  };
  // What lies beyond the picture's visible texels at either end of the span is not drawn.
  if (level == 0 && level2 < 0 && ClearTexelsLeaveScreen(p.blend) && !t.AllVisible() &&
      !Narrow(t, p.filtered, pu, pv, row, x0, x1))
    return;
  uint32_t* dst = screen_->Row(h_ - 1 - row) + x0;
  const int n = x1 - x0;
  const LevelView first_level = view(level), second_level = view(level2 >= 0 ? level2 : level);
  const bool have_columns = !columns_.empty();
  const bool filtered = p.filtered;
  auto fetch = [&](const LevelView& l, int x) __attribute__((always_inline)) {
    const float u = have_columns ? columns_[static_cast<size_t>(x - columns_from_)] : pu.At(x, row);
    const float v = pv.At(x, row);
    if (!filtered)
      return l.texels[static_cast<size_t>(nearest_index(v, l.h)) * l.w + nearest_index(u, l.w)];
    return sample_linear(l.texels, l.w, l.h, linear_coordinate(u, l.w), linear_coordinate(v, l.h));
  };
  uint32_t* line = line_.data();
  // Along a row v only ever moves one way: the same texel row (or filtered, the same two
  // rows and weight) at both ends is the same all along. So it is for a frame drawn
  // untransformed, whose planes can come out a hair from level.
  auto one_row = [&]() __attribute__((always_inline)) {
    if (pv.dadx == 0.0f) return true;
    const float v0 = pv.At(x0, row), v1 = pv.At(x1 - 1, row);
    const int h = first_level.h;
    return filtered ? linear_coordinate(v0, h) == linear_coordinate(v1, h)
                    : nearest_index(v0, h) == nearest_index(v1, h);
  };
  if (!p.filtered && level == 0 && !columns_.empty() && one_row()) {
    // One texel row for the whole span, a texel column per pixel column.
    const int lw = t.width;
    const uint32_t* texrow =
        t.levels[0].data() + static_cast<size_t>(nearest_index(pv.At(x0, row), t.height)) * lw;
    const int* cols = texel_columns_.data() + (x0 - columns_from_);
    if (columns_straight_) {
      BlendSpan(p, texrow + cols[0], dst, n);
      return;
    }
    for (int i = 0; i < n; ++i) line[i] = texrow[cols[i]];
    BlendSpan(p, line, dst, n);
    return;
  }
  if (level2 < 0) {
    // One level: the coordinates, then the texel numbers, then the texels, each a pass the
    // compiler can do several pixels at a time.
    const LevelView& l = first_level;
    float* us = coords_.data();
    float* vs = us + n;
    int* xs = index_.data();
    int* ys = xs + n;
    for (int i = 0; i < n; ++i) {
      us[i] =
          have_columns ? columns_[static_cast<size_t>(x0 + i - columns_from_)] : pu.At(x0 + i, row);
      vs[i] = pv.At(x0 + i, row);
    }
    if (!filtered) {
      for (int i = 0; i < n; ++i)
        xs[i] = nearest_index(vs[i], l.h) * l.w + nearest_index(us[i], l.w);
      for (int i = 0; i < n; ++i) line[i] = l.texels[xs[i]];
    } else if (one_row()) {
      // The two texel rows and their weight are the same all along the row.
      for (int i = 0; i < n; ++i) xs[i] = linear_coordinate(us[i], l.w);
      const int yf = linear_coordinate(vs[0], l.h);
      const int j0 = std::clamp(yf >> 8, 0, l.h - 1), j1 = std::clamp((yf >> 8) + 1, 0, l.h - 1);
      const uint32_t wy = static_cast<uint32_t>(yf & 255);
      const uint32_t* r0 = l.texels + static_cast<size_t>(j0) * l.w;
      const uint32_t* r1 = l.texels + static_cast<size_t>(j1) * l.w;
      const int last = l.w - 1;
      if (wy == 0) {  // the second row weighs nothing
        for (int i = 0; i < n; ++i) {
          const int i0 = std::clamp(xs[i] >> 8, 0, last),
                    i1 = std::clamp((xs[i] >> 8) + 1, 0, last);
          line[i] = lerp_texel(r0[i0], r0[i1], static_cast<uint32_t>(xs[i] & 255));
        }
      } else {
        for (int i = 0; i < n; ++i) {
          const int i0 = std::clamp(xs[i] >> 8, 0, last),
                    i1 = std::clamp((xs[i] >> 8) + 1, 0, last);
          const uint32_t wx = static_cast<uint32_t>(xs[i] & 255);
          line[i] = lerp_texel(lerp_texel(r0[i0], r0[i1], wx), lerp_texel(r1[i0], r1[i1], wx), wy);
        }
      }
    } else {
      for (int i = 0; i < n; ++i) {
        xs[i] = linear_coordinate(us[i], l.w);
        ys[i] = linear_coordinate(vs[i], l.h);
      }
      for (int i = 0; i < n; ++i) line[i] = sample_linear(l.texels, l.w, l.h, xs[i], ys[i]);
    }
    BlendSpan(p, line, dst, n);
    return;
  }
  for (int i = 0; i < n; ++i) {
    uint32_t texel = fetch(first_level, x0 + i);
    if (level2 >= 0) texel = lerp_texel(texel, fetch(second_level, x0 + i), level_weight);
    line[i] = texel;
  }
  BlendSpan(p, line, dst, n);
}

namespace {

// The same arithmetic four pixels at a time, a channel to a 16-bit lane (in memory order:
// blue, green, red, alpha). No lane overflows: a product of two bytes plus its rounding is
// at most 65407, a sum of two blended bytes at most 510.
#if defined(__GNUC__)
#define AV_SOFT_LANES 1
using Lanes = uint16_t __attribute__((vector_size(32)));
using Bytes = uint8_t __attribute__((vector_size(16)));

[[gnu::always_inline]] inline Lanes load_lanes(const uint32_t* words) {
  Bytes b;
  __builtin_memcpy(&b, words, sizeof b);
  return __builtin_convertvector(b, Lanes);
}
[[gnu::always_inline]] inline void store_lanes(uint32_t* words, Lanes v) {
  const Bytes b = __builtin_convertvector(v, Bytes);
  __builtin_memcpy(words, &b, sizeof b);
}
[[gnu::always_inline]] inline Lanes modulate_lanes(Lanes x, Lanes y) {
  const Lanes p = x * y + 128;
  return (p + (p >> 8)) >> 8;
}
[[gnu::always_inline]] inline Lanes blend_mul_lanes(Lanes x, Lanes y) {
  const Lanes t = x * y;
  return (t + (t >> 8) + 128) >> 8;
}
[[gnu::always_inline]] inline Lanes saturate_lanes(Lanes v) {
  const Lanes top = {255, 255, 255, 255, 255, 255, 255, 255,
                     255, 255, 255, 255, 255, 255, 255, 255};
  return v > top ? top : v;
}

// Each pixel's alpha in all four of its lanes: shifts of 64-bit lanes, which every
// x86-64 has (a byte shuffle needs newer ones).
[[gnu::always_inline]] inline Lanes alpha_lanes(Lanes v) {
  using Quads = uint64_t __attribute__((vector_size(32)));
  Quads q = reinterpret_cast<Quads>(v) >> 48;
  q |= q << 16;
  q |= q << 32;
  return reinterpret_cast<Lanes>(q);
}

// n / 4 * 4 pixels of blend_span below; returns how many it did.
template <int kBlend, bool kWhite, bool kKeepAlpha>
[[gnu::always_inline]] inline int blend_lanes(const Paint& p, const uint32_t* texels, uint32_t* dst,
                                              int n) {
  const Lanes color = {p.color[2], p.color[1], p.color[0], p.color[3], p.color[2], p.color[1],
                       p.color[0], p.color[3], p.color[2], p.color[1], p.color[0], p.color[3],
                       p.color[2], p.color[1], p.color[0], p.color[3]};
  const Lanes alpha_lane = {0, 0, 0, 0xffff, 0, 0, 0, 0xffff, 0, 0, 0, 0xffff, 0, 0, 0, 0xffff};
  const Lanes top = {255, 255, 255, 255, 255, 255, 255, 255,
                     255, 255, 255, 255, 255, 255, 255, 255};
  int i = 0;
  for (; i + 4 <= n; i += 4) {
    Lanes s = color;
    if (texels) {
      s = load_lanes(texels + i);
      if (!kWhite) s = modulate_lanes(s, color);
    }
    const Lanes a = alpha_lanes(s);
    const Lanes d = load_lanes(dst + i);
    Lanes v;
    if constexpr (kBlend == MaskBlend) {
      v = s;
    } else if constexpr (kBlend == AlphaBlend) {
      v = saturate_lanes(blend_mul_lanes(s, a) + blend_mul_lanes(d, top - a));
    } else if constexpr (kBlend == LightBlend) {
      v = saturate_lanes(blend_mul_lanes(s, a) + d);
    } else if constexpr (kBlend == ShadeBlend) {
      v = blend_mul_lanes(d, s);
    } else {
      v = s;
    }
    if (!kKeepAlpha) v = (v & ~alpha_lane) | (top & alpha_lane);
    if constexpr (kBlend == MaskBlend) {
      const Lanes threshold = {kMaskThreshold, kMaskThreshold, kMaskThreshold, kMaskThreshold,
                               kMaskThreshold, kMaskThreshold, kMaskThreshold, kMaskThreshold,
                               kMaskThreshold, kMaskThreshold, kMaskThreshold, kMaskThreshold,
                               kMaskThreshold, kMaskThreshold, kMaskThreshold, kMaskThreshold};
      const Lanes pass = reinterpret_cast<Lanes>(a >= threshold);
      v = (v & pass) | (d & ~pass);
    }
    store_lanes(dst + i, v);
  }
  return i;
}
#endif

// Written without branches so that the compiler can blend several pixels at a time: the
// alpha and light blends of alpha 0 give the destination back and the alpha blend of
// alpha 255 the source, so their shortcuts are left out, and the texel times the colour
// is worked out (Modulate) rather than looked up.
template <int kBlend, bool kWhite, bool kKeepAlpha, bool kLanes = true>
[[gnu::always_inline]] inline void blend_span(const Paint& p, const uint32_t* texels, uint32_t* dst,
                                              int n) {
  const uint32_t cr = p.color[0], cg = p.color[1], cb = p.color[2], ca = p.color[3];
  int i = 0;
#ifdef AV_SOFT_LANES
  if constexpr (kLanes) i = blend_lanes<kBlend, kWhite, kKeepAlpha>(p, texels, dst, n);
#endif
  for (; i < n; ++i) {
    uint32_t r, g, b, a;
    if (texels) {
      const uint32_t t = texels[i];
      r = Channel(t, kRed);
      g = Channel(t, kGreen);
      b = Channel(t, kBlue);
      a = Channel(t, kAlpha);
      if (!kWhite) {
        r = Modulate(r, cr);
        g = Modulate(g, cg);
        b = Modulate(b, cb);
        a = Modulate(a, ca);
      }
    } else {
      r = cr;
      g = cg;
      b = cb;
      a = ca;
    }
    const uint32_t d = dst[i];
    if constexpr (kBlend == MaskBlend) {
      dst[i] = a >= kMaskThreshold ? Pack(r, g, b, kKeepAlpha ? a : 255u) : d;
    } else if constexpr (kBlend == AlphaBlend) {
      dst[i] = Pack(AlphaOver(r, a, Channel(d, kRed)), AlphaOver(g, a, Channel(d, kGreen)),
                    AlphaOver(b, a, Channel(d, kBlue)),
                    kKeepAlpha ? AlphaOver(a, a, Channel(d, kAlpha)) : 255u);
    } else if constexpr (kBlend == LightBlend) {
      dst[i] = Pack(LightOver(r, a, Channel(d, kRed)), LightOver(g, a, Channel(d, kGreen)),
                    LightOver(b, a, Channel(d, kBlue)),
                    kKeepAlpha ? LightOver(a, a, Channel(d, kAlpha)) : 255u);
    } else if constexpr (kBlend == ShadeBlend) {
      dst[i] = Pack(ShadeOver(r, Channel(d, kRed)), ShadeOver(g, Channel(d, kGreen)),
                    ShadeOver(b, Channel(d, kBlue)),
                    kKeepAlpha ? ShadeOver(a, Channel(d, kAlpha)) : 255u);
    } else {
      dst[i] = Pack(r, g, b, kKeepAlpha ? a : 255u);
    }
  }
}

// Texels through unchanged onto a screen without alpha: the two blends that only copy
// (or not) go word by word, which the compiler can do several at a time.
[[gnu::always_inline]] inline void solid_white(const uint32_t* texels, uint32_t* dst, int n) {
  for (int i = 0; i < n; ++i) dst[i] = texels[i] | 0xff000000u;
}
[[gnu::always_inline]] inline void mask_white(const uint32_t* texels, uint32_t* dst, int n) {
  for (int i = 0; i < n; ++i) {
    const uint32_t t = texels[i];
    dst[i] = (t >> 24) >= kMaskThreshold ? (t | 0xff000000u) : dst[i];
  }
}

// Whether every source word of a span is opaque: the alpha blend of alpha 255 is the
// source, so such a span is drawn as the solid blend draws it.
[[gnu::always_inline]] inline bool opaque_span(const Paint& p, const uint32_t* texels, int n) {
  if (p.color[3] != 255) return false;
  if (!texels) return true;
  uint32_t all = 0xffffffffu;
  for (int i = 0; i < n; ++i) all &= texels[i];
  return (all >> 24) == 255u;
}

template <int kBlend>
[[gnu::always_inline]] inline void blend_run(const Paint& p, const uint32_t* texels, uint32_t* dst,
                                             int n);

// The alpha and light blends of a texel of alpha 0 leave the destination as it is (its
// alpha too: kept, or 255 throughout), so runs of eight such pixels are left out: the space
// between and around glyphs.
constexpr int kClearRun = 8;
[[gnu::always_inline]] inline bool clear_run(const uint32_t* texels) {
  uint32_t any = 0;
  for (int i = 0; i < kClearRun; ++i) any |= texels[i];
  return (any >> 24) == 0;
}

template <int kBlend>
[[gnu::always_inline]] inline void blend_span_for(const Paint& p, const uint32_t* texels,
                                                  uint32_t* dst, int n) {
  // (blend_run draws an opaque run of the alpha blend as the solid blend.)
  if constexpr (kBlend == AlphaBlend || kBlend == LightBlend) {
    if (texels && n >= 2 * kClearRun) {
      int from = 0, i = 0;
      for (; i + kClearRun <= n; i += kClearRun) {
        if (!clear_run(texels + i)) continue;
        if (i > from) blend_run<kBlend>(p, texels + from, dst + from, i - from);
        from = i + kClearRun;
      }
      if (n > from) blend_run<kBlend>(p, texels + from, dst + from, n - from);
      return;
    }
  }
  blend_run<kBlend>(p, texels, dst, n);
}

template <int kBlend>
[[gnu::always_inline]] inline void blend_run(const Paint& p, const uint32_t* texels, uint32_t* dst,
                                             int n) {
  if constexpr (kBlend == AlphaBlend) {
    if (opaque_span(p, texels, n)) {
      blend_run<SolidBlend>(p, texels, dst, n);
      return;
    }
  }
  if constexpr (kBlend == SolidBlend || kBlend == MaskBlend) {
    if (p.white && texels && !p.keep_alpha) {
      kBlend == SolidBlend ? solid_white(texels, dst, n) : mask_white(texels, dst, n);
      return;
    }
  }
  const bool white = p.white || !texels;
  if (p.keep_alpha) {
    white ? blend_span<kBlend, true, true>(p, texels, dst, n)
          : blend_span<kBlend, false, true>(p, texels, dst, n);
  } else {
    white ? blend_span<kBlend, true, false>(p, texels, dst, n)
          : blend_span<kBlend, false, false>(p, texels, dst, n);
  }
}

}  // namespace

bool ClearTexelsLeaveScreen(int blend) {
  return blend == MaskBlend || blend == AlphaBlend || blend == LightBlend;
}

AV_SOFT_CLONES("arch=x86-64-v3")
void BlendSpan(const Paint& p, const uint32_t* texels, uint32_t* dst, int n) {
  switch (p.blend) {
    case MaskBlend: blend_span_for<MaskBlend>(p, texels, dst, n); break;
    case AlphaBlend: blend_span_for<AlphaBlend>(p, texels, dst, n); break;
    case LightBlend: blend_span_for<LightBlend>(p, texels, dst, n); break;
    case ShadeBlend: blend_span_for<ShadeBlend>(p, texels, dst, n); break;
    default: blend_span_for<SolidBlend>(p, texels, dst, n); break;
  }
}

}  // namespace soft
