// Scan conversion of two quads, scanline by scanline, the way the renderer fills
// them: a pixel counts for a quad when its texel alpha is 128 or more, and a pixel
// counted by both is a hit.
#include "graphics/draw/collision_scan.h"

#include <algorithm>
#include <cstdint>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

// Work one pair of quads may take, in scanlines plus texels sampled; two masked
// 2048 x 2048 images laid over each other take half of it. Quads scaled far beyond
// that count as apart rather than being scanned for minutes.
constexpr int64_t kWorkLimit = int64_t{1} << 24;
// Overlap pixels marked at a time; wider spans are taken in pieces.
constexpr int kChunk = 4096;
// Edges move a scanline at a time, as drawn, up to this many lines; further only
// far outside any screen, in one step.
constexpr int kExactSteps = 4096;

// Truncation toward zero, kept inside int for absurd or not-a-number coordinates.
inline int to_int(float f) {
  constexpr float kLimit = 1073741824.0f;
  if (!(f > -kLimit)) return f != f ? 0 : -1073741824;
  if (f >= kLimit) return 1073741824;
  return static_cast<int>(f);
}

struct Mask {
  const unsigned char* alpha = nullptr;  // alpha byte of the top-left texel
  int pitch = 0, bpp = 0, w = 0, h = 0;
  bool solid = true;  // no usable alpha: every pixel counts
};

struct Edge {
  float x = 0, u = 0, v = 0;
  float dx = 0, du = 0, dv = 0;
  int end = 0;  // corner the edge runs to
};

struct Scan {
  float x[4], y[4], u[4], v[4];
  int ty[4];
  int top = 0, top_y = 0, bottom_y = 0;
  bool started = false, finished = false;
  Edge left, right;
  Mask mask;
};

void init_scan(Scan& s, const TQuad& q) {
  for (int i = 0; i < 4; ++i) {
    s.x[i] = q.xyuv[i * 4 + 0];
    s.y[i] = q.xyuv[i * 4 + 1];
    s.u[i] = q.xyuv[i * 4 + 2];
    s.v[i] = q.xyuv[i * 4 + 3];
  }
  // Walk the corners clockwise on screen, so that the backward walk is the left edge.
  auto turn = [&](int k) {
    return (s.x[k] - s.x[k - 1]) * (s.y[k - 1] - s.y[0]) -
           (s.x[k - 1] - s.x[0]) * (s.y[k] - s.y[k - 1]);
  };
  // trunc(t) >= 0 exactly when t > -1.
  if (turn(2) > -1.0f && turn(3) > -1.0f) {
    std::reverse(s.x, s.x + 4);
    std::reverse(s.y, s.y + 4);
    std::reverse(s.u, s.u + 4);
    std::reverse(s.v, s.v + 4);
  }
  for (int i = 0; i < 4; ++i) s.ty[i] = to_int(s.y[i]);
  s.top = 0;
  for (int i = 1; i < 4; ++i)
    if (s.ty[i] < s.ty[s.top]) s.top = i;
  s.top_y = s.ty[s.top];
  s.bottom_y = *std::max_element(s.ty, s.ty + 4);

  const TPixmap* m = q.mask.get();
  if (m) {
    int bpp = 0, aoff = 0;
    if (m->format == PixelA8) {
      bpp = 1;
    } else if (m->format == PixelRGBA8888 || m->format == PixelBGRA8888) {
      bpp = 4;
      aoff = 3;
    }
    if (bpp) {
      s.mask.solid = false;
      s.mask.w = m->width;
      s.mask.h = m->height;
      s.mask.pitch = m->pitch;
      s.mask.bpp = bpp;
      s.mask.alpha = reinterpret_cast<const unsigned char*>(m->pixels) + aoff;
    }
  }
}

// Moves an edge on from corner `from` at scanline `line`: past every following
// corner already reached, to the first one beyond. False when the walk is back at
// the top corner or the new edge is less than a scanline high: the quad is done.
bool next_edge(const Scan& s, Edge& e, int from, int dir, int line) {
  int c = from;
  for (;;) {
    const int n = (c + dir) & 3;
    if (n == s.top) return false;
    if (s.ty[n] <= line) {
      c = n;
      continue;
    }
    const int64_t dy = int64_t{s.ty[n]} - s.ty[c];  // up to 2^31
    if (dy < 1) return false;
    const float fdy = static_cast<float>(dy);
    e.dx = (s.x[n] - s.x[c]) / fdy;
    e.du = (s.u[n] - s.u[c]) / fdy;
    e.dv = (s.v[n] - s.v[c]) / fdy;
    e.x = s.x[c] + e.dx * 0.5f;
    e.u = s.u[c] + e.du * 0.5f;
    e.v = s.v[c] + e.dv * 0.5f;
    e.end = n;
    return true;
  }
}

void enter_scanline(Scan& s, int line) {
  if (!s.started) {
    if (line != s.top_y) return;
    s.started = true;
    if (!next_edge(s, s.left, s.top, -1, line) || !next_edge(s, s.right, s.top, 1, line))
      s.finished = true;
    return;
  }
  if (s.finished) return;
  if (line >= s.ty[s.left.end] && !next_edge(s, s.left, s.left.end, -1, line)) {
    s.finished = true;
    return;
  }
  if (line >= s.ty[s.right.end] && !next_edge(s, s.right, s.right.end, 1, line)) s.finished = true;
}

void step(Scan& s, int64_t lines) {
  for (Edge* e : {&s.left, &s.right}) {
    if (lines > kExactSteps) {
      const float k = static_cast<float>(lines);
      e->x += e->dx * k;
      e->u += e->du * k;
      e->v += e->dv * k;
      continue;
    }
    for (int64_t i = 0; i < lines; ++i) {
      e->x += e->dx;
      e->u += e->du;
      e->v += e->dv;
    }
  }
}

// The next scanline at which anything changes while only one quad takes part: a
// corner of the started quad, or the top of the other.
int next_event(const Scan (&s)[2], int last) {
  int next = last;
  for (const Scan& q : s)
    next = std::min(next, q.started ? std::min(q.ty[q.left.end], q.ty[q.right.end]) : q.top_y);
  return next;
}

// Walks the overlap pixels lo + i, i < n, of the quad's own span [l, r). For each
// pixel that want(i) asks for, samples the texel at the pixel centre and calls
// visit(i, solid); stops when visit returns true. Pixels not asked for still move the
// interpolation on, so every sample is the one the full walk would take.
template <class Want, class Visit>
bool sample_span(const Scan& s, int l, int r, int lo, int n, Want want, Visit visit) {
  const Mask& m = s.mask;
  if (m.solid || m.w <= 0 || m.h <= 0) {
    for (int i = 0; i < n; ++i)
      if (want(i) && visit(i, m.solid)) return true;
    return false;
  }
  // Spans may be 2^31 pixels wide: differences in 64 bits.
  const float span = static_cast<float>(int64_t{r} - l);
  const float du = (s.right.u - s.left.u) / span;
  const float dv = (s.right.v - s.left.v) / span;
  const float off = static_cast<float>(int64_t{lo} - l) + 0.5f;
  float u = s.left.u + du * off;
  float v = s.left.v + dv * off;
  const float fw = static_cast<float>(m.w), fh = static_cast<float>(m.h);
  for (int i = 0; i < n; ++i, u += du, v += dv) {
    if (!want(i)) continue;
    const float cu = u < 0.0f ? 0.0f : (u > 1.0f ? 1.0f : u);
    const float cv = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
    const int col = std::min(to_int(cu * fw), m.w - 1);
    const int row = std::min(to_int(cv * fh), m.h - 1);
    const bool solid = m.alpha[static_cast<std::ptrdiff_t>(row) * m.pitch + col * m.bpp] >= 128;
    if (visit(i, solid)) return true;
  }
  return false;
}

// True when a masked quad samples one texel row all along its span (v does not change
// across it, as for any quad that is not turned) and that row has no solid texel: then
// nothing on the span is solid, and the span need not be sampled.
bool span_row_clear(const Scan& s, int l, int r, int lo) {
  const Mask& m = s.mask;
  if (m.solid || m.w <= 0 || m.h <= 0) return false;
  const float span = static_cast<float>(int64_t{r} - l);
  const float dv = (s.right.v - s.left.v) / span;
  if (dv != 0.0f) return false;
  const float v = s.left.v + dv * (static_cast<float>(int64_t{lo} - l) + 0.5f);
  const float cv = v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
  const int row = std::min(to_int(cv * static_cast<float>(m.h)), m.h - 1);
  const unsigned char* alpha = m.alpha + static_cast<std::ptrdiff_t>(row) * m.pitch;
  for (int col = 0; col < m.w; ++col)
    if (alpha[col * m.bpp] >= 128) return false;
  return true;
}

// Spends the texels it samples from budget; a spent budget ends the scan unhit.
bool scanline_hits(const Scan& a, const Scan& b, int64_t& budget) {
  const int la = to_int(a.left.x), ra = to_int(a.right.x);
  const int lb = to_int(b.left.x), rb = to_int(b.right.x);
  const int lo = std::max(la, lb), hi = std::min(ra, rb);
  if (lo >= hi) return false;
  if (a.mask.solid && b.mask.solid) return true;
  unsigned char mk[kChunk];
  auto every = [](int) { return true; };
  for (int start = lo; start < hi;) {
    const int n = static_cast<int>(std::min<int64_t>(kChunk, int64_t{hi} - start));
    budget -= 2 * n;
    if (budget < 0) return false;
    if (span_row_clear(a, la, ra, start)) {
      start += n;
      continue;
    }
    // The second quad is sampled only where the first one is solid.
    bool any = false;
    sample_span(a, la, ra, start, n, every, [&](int i, bool solid) {
      mk[i] = solid;
      any = any || solid;
      return false;
    });
    if (any && sample_span(
                   b, lb, rb, start, n, [&mk](int i) { return mk[i] != 0; },
                   [](int, bool solid) { return solid; }))
      return true;
    start += n;
  }
  return false;
}

}  // namespace

bool QuadsCollide(const TQuad& qa, const TQuad& qb) {
  if (qa.maxx < qb.minx || qa.maxy < qb.miny || qa.minx > qb.maxx || qa.miny > qb.maxy)
    return false;
  Scan s[2];
  init_scan(s[0], qa);
  init_scan(s[1], qb);
  const int last = std::max(s[0].bottom_y, s[1].bottom_y);
  int64_t budget = kWorkLimit;
  for (int line = std::min(s[0].top_y, s[1].top_y); line < last;) {
    for (Scan& q : s) {
      enter_scanline(q, line);
      // A finished quad covers no further scanline, so nothing more can hit.
      if (q.started && q.finished) return false;
    }
    if (!s[0].started || !s[1].started) {
      // Alone, a quad cannot hit: it moves straight on to its next corner.
      const int next = next_event(s, last);
      for (Scan& q : s)
        if (q.started) step(q, int64_t{next} - line);
      line = next;
      continue;
    }
    if (--budget < 0) return false;
    if (scanline_hits(s[0], s[1], budget)) return true;
    step(s[0], 1);
    step(s[1], 1);
    ++line;
  }
  return false;
}
