#include "graphics/render/render_state.h"

#include <algorithm>

namespace {

uint8_t clamp_byte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

void TRenderState::SetAlpha(float alpha) {
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // also not-a-number
  color[3] = static_cast<uint8_t>(alpha * 255.0f);
}

void TRenderState::SetColor(int red, int green, int blue) {
  color[0] = clamp_byte(red);
  color[1] = clamp_byte(green);
  color[2] = clamp_byte(blue);
}

void TRenderState::SetClsColor(int red, int green, int blue) {
  cls_color[0] = clamp_byte(red);
  cls_color[1] = clamp_byte(green);
  cls_color[2] = clamp_byte(blue);
}

void TRenderState::SetViewport(int x, int y, int width, int height) {
  viewport_x = x;
  viewport_y = y;
  viewport_w = width;
  viewport_h = height;
}

void TRenderState::SetTransform(float ix, float iy, float jx, float jy) {
  this->ix = ix;
  this->iy = iy;
  this->jx = jx;
  this->jy = jy;
}
