#include "graphics/draw/draw2d.h"

#include <cmath>

#include "graphics/draw/font.h"
#include "graphics/draw/image.h"

namespace {

std::shared_ptr<T2DGraphics> current_context;
T2DDriver* current_driver = nullptr;

// Drawing before graphics are open is a caller error; we ignore it rather than crash.
T2DGraphics* ctx() { return current_driver ? current_context.get() : nullptr; }

// Pushes rotation and scale of c into its matrix, the renderer and the collision copy.
void apply_transform(T2DGraphics& c) {
  const double a = static_cast<double>(c.tform_rot) * kRadiansPerDegree;
  const float s = static_cast<float>(std::sin(a));
  const float k = static_cast<float>(std::cos(a));
  c.tform_ix = k * c.tform_scale_x;
  c.tform_iy = -s * c.tform_scale_y;
  c.tform_jx = s * c.tform_scale_x;
  c.tform_jy = k * c.tform_scale_y;
  if (c._driver) c._driver->SetTransform(c.tform_ix, c.tform_iy, c.tform_jx, c.tform_jy);
  SetCollisionTransform(c.tform_ix, c.tform_iy, c.tform_jx, c.tform_jy);
}

}  // namespace

// ---- T2DGraphics ----

T2DDriver* T2DGraphics::Driver() { return _driver; }

void T2DGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
  if (_graphics) {
    _graphics->GetSettings(width, height, depth, hertz, flags);
  } else {
    width = height = depth = hertz = flags = 0;
  }
}

void T2DGraphics::Close() {
  if (!_graphics) return;
  if (current_context.get() == this) ClearCurrent();
  std::shared_ptr<TGraphics> g = std::move(_graphics);
  _driver = nullptr;
  g->Close();
}

void T2DGraphics::Validate() {
  if (!_driver) return;
  T2DDriver& d = *_driver;
  d.SetBlend(blend_mode);
  d.SetColor(color_red, color_green, color_blue);
  d.SetAlpha(color_alpha);
  d.SetClsColor(clscolor_red, clscolor_green, clscolor_blue);
  d.SetLineWidth(line_width);
  // Rotation and scale each recompute the matrix, as setting them one by one would.
  apply_transform(*this);
  apply_transform(*this);
  d.SetViewport(viewport_x, viewport_y, viewport_w, viewport_h);
  if (!image_font) image_font = DefaultImageFont();
}

void T2DGraphics::MakeCurrent() {
  current_context = shared_from_this();
  current_driver = _driver;
  Validate();
  if (_setup == 0) {
    // Both buffers start at the clear colour, whatever the window showed before.
    ::Cls();
    ::Flip(0);
    ::Cls();
    ::Flip(0);
    _setup = 1;
  }
}

void T2DGraphics::ClearCurrent() {
  current_context.reset();
  current_driver = nullptr;
}

std::shared_ptr<T2DGraphics> T2DGraphics::Current() { return current_context; }

std::shared_ptr<T2DGraphics> T2DGraphics::Create(const std::shared_ptr<TGraphics>& graphics,
                                                 T2DDriver* driver) {
  auto g = std::make_shared<T2DGraphics>();
  g->_graphics = graphics;
  g->_driver = driver;
  int w = 0, h = 0, d = 0, hz = 0, f = 0;
  if (graphics) graphics->GetSettings(w, h, d, hz, f);
  g->viewport_w = w;
  g->viewport_h = h;
  g->image_font = DefaultImageFont();
  return g;
}

T2DDriver* Current2DDriver() { return current_driver; }

T2DGraphics* Current2DContext() { return current_context.get(); }

void UpdateTransform() {
  if (T2DGraphics* c = ctx()) apply_transform(*c);
}

// ---- state ----

void SetColor(int red, int green, int blue) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->color_red = red;
  c->color_green = green;
  c->color_blue = blue;
  current_driver->SetColor(red, green, blue);
}

void GetColor(int& red, int& green, int& blue) {
  T2DGraphics* c = ctx();
  red = c ? c->color_red : 0;
  green = c ? c->color_green : 0;
  blue = c ? c->color_blue : 0;
}

void SetAlpha(float alpha) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->color_alpha = alpha;
  current_driver->SetAlpha(alpha);
}

float GetAlpha() {
  T2DGraphics* c = ctx();
  return c ? c->color_alpha : 0.0f;
}

void SetBlend(int mode) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->blend_mode = mode;
  current_driver->SetBlend(mode);
}

int GetBlend() {
  T2DGraphics* c = ctx();
  return c ? c->blend_mode : 0;
}

void SetRotation(float degrees) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->tform_rot = degrees;
  apply_transform(*c);
}

float GetRotation() {
  T2DGraphics* c = ctx();
  return c ? c->tform_rot : 0.0f;
}

void SetScale(float scale_x, float scale_y) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->tform_scale_x = scale_x;
  c->tform_scale_y = scale_y;
  apply_transform(*c);
}

void GetScale(float& scale_x, float& scale_y) {
  T2DGraphics* c = ctx();
  scale_x = c ? c->tform_scale_x : 1.0f;
  scale_y = c ? c->tform_scale_y : 1.0f;
}

void SetRotationScale(float rotation, float scale_x, float scale_y) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->tform_rot = rotation;
  c->tform_scale_x = scale_x;
  c->tform_scale_y = scale_y;
  apply_transform(*c);
}

void GetTransform(float& ix, float& iy, float& jx, float& jy) {
  T2DGraphics* c = ctx();
  ix = c ? c->tform_ix : 1.0f;
  iy = c ? c->tform_iy : 0.0f;
  jx = c ? c->tform_jx : 0.0f;
  jy = c ? c->tform_jy : 1.0f;
}

void SetClsColor(int red, int green, int blue) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->clscolor_red = red;
  c->clscolor_green = green;
  c->clscolor_blue = blue;
  current_driver->SetClsColor(red, green, blue);
}

void GetClsColor(int& red, int& green, int& blue) {
  T2DGraphics* c = ctx();
  red = c ? c->clscolor_red : 0;
  green = c ? c->clscolor_green : 0;
  blue = c ? c->clscolor_blue : 0;
}

void SetLineWidth(float width) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->line_width = width;
  current_driver->SetLineWidth(width);
}

float GetLineWidth() {
  T2DGraphics* c = ctx();
  return c ? c->line_width : 0.0f;
}

void SetViewport(int x, int y, int width, int height) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->viewport_x = x;
  c->viewport_y = y;
  c->viewport_w = width;
  c->viewport_h = height;
  current_driver->SetViewport(x, y, width, height);
}

void GetViewport(int& x, int& y, int& width, int& height) {
  T2DGraphics* c = ctx();
  x = c ? c->viewport_x : 0;
  y = c ? c->viewport_y : 0;
  width = c ? c->viewport_w : 0;
  height = c ? c->viewport_h : 0;
}

void SetOrigin(float x, float y) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->origin_x = x;
  c->origin_y = y;
}

void GetOrigin(float& x, float& y) {
  T2DGraphics* c = ctx();
  x = c ? c->origin_x : 0.0f;
  y = c ? c->origin_y : 0.0f;
}

void SetHandle(float x, float y) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->handle_x = -x;
  c->handle_y = -y;
}

void GetHandle(float& x, float& y) {
  T2DGraphics* c = ctx();
  x = c ? -c->handle_x : 0.0f;
  y = c ? -c->handle_y : 0.0f;
}

void SetImageFont(std::shared_ptr<TImageFont> font) {
  T2DGraphics* c = ctx();
  if (!c) return;
  c->image_font = font ? std::move(font) : DefaultImageFont();
}

std::shared_ptr<TImageFont> GetImageFont() {
  T2DGraphics* c = ctx();
  return c ? c->image_font : nullptr;
}

// ---- primitives ----

void Cls() {
  if (ctx()) current_driver->Cls();
}

void Plot(float x, float y) {
  T2DGraphics* c = ctx();
  if (!c) return;
  current_driver->Plot(x + c->origin_x, y + c->origin_y);
}

void DrawRect(float x, float y, float width, float height) {
  T2DGraphics* c = ctx();
  if (!c) return;
  current_driver->DrawRect(c->handle_x, c->handle_y, c->handle_x + width, c->handle_y + height,
                           x + c->origin_x, y + c->origin_y);
}

void DrawLine(float x, float y, float x2, float y2, int draw_last_pixel) {
  T2DGraphics* c = ctx();
  if (!c) return;
  const float px = c->handle_x + x2 - x;
  const float py = c->handle_y + y2 - y;
  const float tx = x + c->origin_x;
  const float ty = y + c->origin_y;
  current_driver->DrawLine(c->handle_x, c->handle_y, px, py, tx, ty);
  if (draw_last_pixel) {
    current_driver->Plot(px * c->tform_ix + py * c->tform_iy + tx,
                         px * c->tform_jx + py * c->tform_jy + ty);
  }
}

void DrawOval(float x, float y, float width, float height) {
  T2DGraphics* c = ctx();
  if (!c) return;
  current_driver->DrawOval(c->handle_x, c->handle_y, c->handle_x + width, c->handle_y + height,
                           x + c->origin_x, y + c->origin_y);
}

void DrawPoly(const std::vector<float>& xy) {
  T2DGraphics* c = ctx();
  if (!c) return;
  current_driver->DrawPoly(xy, c->handle_x, c->handle_y, c->origin_x, c->origin_y);
}

void DrawImageStretched(const std::shared_ptr<TImage>& image, float x, float y, float width,
                        float height, int frame) {
  T2DGraphics* c = ctx();
  if (!c || !image) return;
  std::shared_ptr<TImageFrame> f = image->Frame(frame);
  if (!f) return;
  const float x0 = -image->handle_x;
  const float y0 = -image->handle_y;
  f->Draw(x0, y0, x0 + width, y0 + height, x + c->origin_x, y + c->origin_y);
}

namespace {

// Non-negative remainder, so tiling works left of and above the viewport too.
long long floor_mod(long long a, long long m) {
  long long r = a % m;
  return r < 0 ? r + m : r;
}

}  // namespace

void DrawImageTiled(const std::shared_ptr<TImage>& image, float x, float y, int frame) {
  T2DGraphics* c = ctx();
  if (!c || !image) return;
  const int w = image->width;
  const int h = image->height;
  if (w <= 0 || h <= 0) return;
  const float fx = x + c->origin_x - image->handle_x;
  const float fy = y + c->origin_y - image->handle_y;
  if (!std::isfinite(fx) || !std::isfinite(fy)) return;
  std::shared_ptr<TImageFrame> f = image->Frame(frame);
  if (!f) return;

  current_driver->SetTransform(1.0f, 0.0f, 0.0f, 1.0f);

  const double flx = std::floor(static_cast<double>(fx));
  const double fly = std::floor(static_cast<double>(fy));
  const long long vx = c->viewport_x, vy = c->viewport_y;
  const long long vr = vx + c->viewport_w, vb = vy + c->viewport_h;
  // Positions far beyond any screen would only loop; the tiles keep their phase anyway.
  const long long ix = static_cast<long long>(std::fmod(flx, static_cast<double>(w)));
  const long long iy = static_cast<long long>(std::fmod(fly, static_cast<double>(h)));
  const long long col0 = vx - w + 1 + floor_mod(ix - (vx - w + 1), w);
  const long long row0 = vy - h + 1 + floor_mod(iy - (vy - h + 1), h);
  const float sub_x = static_cast<float>(static_cast<double>(fx) - flx);
  const float sub_y = static_cast<float>(static_cast<double>(fy) - fly);

  for (long long row = row0; row < vb; row += h) {
    for (long long col = col0; col < vr; col += w) {
      f->Draw(0.0f, 0.0f, static_cast<float>(w), static_cast<float>(h),
              static_cast<float>(col) + sub_x, static_cast<float>(row) + sub_y);
    }
  }
  apply_transform(*c);
}

void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
  if (ctx() && pixmap) current_driver->DrawPixmap(pixmap, x, y);
}

std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int width, int height) {
  if (!ctx()) return nullptr;
  return current_driver->GrabPixmap(x, y, width, height);
}
