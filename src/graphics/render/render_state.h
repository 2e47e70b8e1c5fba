#pragma once
// The drawing state a renderer is handed through T2DDriver, kept as the numbers it draws
// with: blend, colour and alpha as bytes, the matrix, viewport, line width and clear
// colour. Every renderer turns the values it is given into these the same way.

#include <cstdint>

// No blend applied yet: the next SetBlend takes effect whatever it asks for.
constexpr int kNoBlend = 0;

struct TRenderState {
  int blend = kNoBlend;
  uint8_t color[4] = {0, 0, 0, 0};  // red, green, blue, alpha: what every vertex takes
  uint8_t cls_color[3] = {0, 0, 0};
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
  int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
  float line_width = 1.0f;
  int screen_w = 0, screen_h = 0;  // of the graphics drawn into

  // Above 1 is 1, below 0 (or not a number) is 0; the byte truncates alpha x 255.
  void SetAlpha(float alpha);
  // Each component clamped to 0..255.
  void SetColor(int red, int green, int blue);
  void SetClsColor(int red, int green, int blue);
  void SetViewport(int x, int y, int width, int height);
  void SetTransform(float ix, float iy, float jx, float jy);

  // Where the local point (px, py) of a primitive moved by (tx, ty) lands on the screen.
  float ScreenX(float px, float py, float tx) const { return px * ix + py * iy + tx; }
  float ScreenY(float px, float py, float ty) const { return px * jx + py * jy + ty; }
};
