#include "graphics/render/quad_batch.h"

#include <cstring>

TScreenQuad::TScreenQuad(const TRenderState& s, float x0, float y0, float x1, float y1, float tx,
                         float ty)
    : x{s.ScreenX(x0, y0, tx), s.ScreenX(x1, y0, tx), s.ScreenX(x1, y1, tx), s.ScreenX(x0, y1, tx)},
      y{s.ScreenY(x0, y0, ty), s.ScreenY(x1, y0, ty), s.ScreenY(x1, y1, ty),
        s.ScreenY(x0, y1, ty)} {}

bool TScreenQuad::OffScreen(const TRenderState& s) const {
  const float w = static_cast<float>(s.screen_w) + 1.0f, h = static_cast<float>(s.screen_h) + 1.0f;
  auto all = [](const float(&c)[4], auto beyond) {
    return beyond(c[0]) && beyond(c[1]) && beyond(c[2]) && beyond(c[3]);
  };
  return all(x, [](float v) { return v < -1.0f; }) || all(x, [w](float v) { return v > w; }) ||
         all(y, [](float v) { return v < -1.0f; }) || all(y, [h](float v) { return v > h; });
}

bool PointOffScreen(const TRenderState& s, float px, float py) {
  return px >= static_cast<float>(s.screen_w) + 0.5f ||
         py >= static_cast<float>(s.screen_h) + 0.5f || px < -0.5f || py < -0.5f;
}

bool TQuadBatch::Takes(TBatchKind k, unsigned tex, int n) const {
  return count == 0 || (k == kind && tex == texture && count + n <= kVertices);
}

float* TQuadBatch::Add(TBatchKind k, unsigned tex, int n) {
  kind = k;
  texture = tex;
  float* at = v + count * kFloats;
  count += n;
  return at;
}

float* TQuadBatch::Put(float* at, float x, float y, float u, float tv) const {
  at[0] = x;
  at[1] = y;
  at[2] = u;
  at[3] = tv;
  std::memcpy(at + 4, color, sizeof color);
  return at + kFloats;
}

void TQuadBatch::SetColor(const uint8_t rgba[4]) {
  for (int i = 0; i < 4; ++i) color[i] = static_cast<float>(rgba[i]) / 255.0f;
}

int TQuadBatch::Take() {
  const int n = count;
  count = 0;
  return n;
}
