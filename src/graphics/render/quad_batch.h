#pragma once
// Primitives in screen space, gathered to be drawn together until the state they depend on
// changes. Each vertex is what immediate mode would send: the local point by the matrix,
// then the translation, with the colour of the moment; so a batch drawn at once leaves
// every pixel as drawing its primitives one by one would.

#include <cmath>
#include <cstdint>

#include "graphics/draw/draw2d.h"
#include "graphics/render/render_state.h"

enum class TBatchKind { Points, Lines, Quads };

// The corners of a quad on the screen in drawing order: (x0,y0), (x1,y0), (x1,y1), (x0,y1).
struct TScreenQuad {
  float x[4], y[4];
  TScreenQuad(const TRenderState& s, float x0, float y0, float x1, float y1, float tx, float ty);
  // Wholly outside the screen, a pixel or more away from it. Clipping would leave nothing,
  // but on a software GL even a quad clipped away costs set-up on this thread, and the game
  // draws many (clouds in two copies, planes and balloons coming in).
  bool OffScreen(const TRenderState& s) const;
};

// Whether the pixel of a point at the pixel centre (px, py) lies wholly outside the screen.
bool PointOffScreen(const TRenderState& s, float px, float py);

// Calls point(x, y) for each corner, in local space, of the polygon an oval in the box
// (x0,y0)-(x1,y1) is drawn as: one per pixel of its two radii, at least 12, a multiple of 4.
template <typename F>
void ForEachOvalPoint(float x0, float y0, float x1, float y1, F&& point) {
  const float rx = (x1 - x0) * 0.5f;
  const float ry = (y1 - y0) * 0.5f;
  const float around = std::fabs(rx) + std::fabs(ry);
  // Past a few thousand segments nobody sees the difference; this also keeps absurd or
  // not-a-number sizes from overflowing the count.
  int segs = around < 65536.0f ? static_cast<int>(around) : 65536;
  if (segs < 12) segs = 12;
  segs &= ~3;
  const float cx = x0 + rx;
  const float cy = y0 + ry;
  for (int i = 0; i < segs; ++i) {
    const double a = static_cast<double>(i) * 360.0 / segs * kRadiansPerDegree;
    point(cx + rx * static_cast<float>(std::cos(a)), cy - ry * static_cast<float>(std::sin(a)));
  }
}

// The vertices waiting, each x, y, u, v, r, g, b, a. A plain array with no destructor, so
// that frames released at exit can still draw what waits after other statics are gone.
struct TQuadBatch {
  static constexpr int kFloats = 8;
  static constexpr int kVertices = 4096;

  float v[kVertices * kFloats] = {};
  int count = 0;
  TBatchKind kind = TBatchKind::Quads;
  unsigned texture = 0;                       // the renderer's texture; 0: untextured
  float color[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // of the vertices put from now on

  // Whether n vertices of this kind and texture can join those waiting.
  bool Takes(TBatchKind kind, unsigned texture, int n) const;
  // Room for n vertices; the caller has drawn what Takes refused.
  float* Add(TBatchKind kind, unsigned texture, int n);
  // Writes one vertex in the batch's colour; returns where the next goes.
  float* Put(float* at, float x, float y, float u = 0.0f, float v = 0.0f) const;
  // Each byte as a GL turns it into a float, so the batch draws the colour immediate mode did.
  void SetColor(const uint8_t rgba[4]);
  // Empties the batch; returns how many vertices it held.
  int Take();
};
