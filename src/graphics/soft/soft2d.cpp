#include "graphics/soft/soft2d.h"

#include <algorithm>
#include <cmath>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/render/quad_batch.h"
#include "graphics/soft/soft_frame.h"
#include "graphics/soft/soft_graphics.h"
#include "graphics/soft/soft_pixel.h"
#include "graphics/soft/soft_screen.h"

namespace {

std::shared_ptr<TSoft2DDriver> the_renderer;

}  // namespace

TSoft2DDriver::TSoft2DDriver() = default;

// ---- graphics driver side ----

std::vector<TGraphicsMode> TSoft2DDriver::GraphicsModes() {
  return SoftGraphicsDriver()->GraphicsModes();
}

std::shared_ptr<TGraphics> TSoft2DDriver::AttachGraphics(void* widget, int flags) {
  std::shared_ptr<TGraphics> g = SoftGraphicsDriver()->AttachGraphics(widget, flags);
  return g ? T2DGraphics::Create(g, this) : nullptr;
}

std::shared_ptr<TGraphics> TSoft2DDriver::CreateGraphics(int width, int height, int depth,
                                                         int hertz, int flags) {
  std::shared_ptr<TGraphics> g =
      SoftGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
  return g ? T2DGraphics::Create(g, this) : nullptr;
}

void TSoft2DDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  auto g = std::dynamic_pointer_cast<T2DGraphics>(graphics);
  if (!g || !g->_graphics) {
    T2DGraphics::ClearCurrent();
    SoftGraphicsDriver()->SetGraphics(nullptr);
    return;
  }
  SoftGraphicsDriver()->SetGraphics(g->_graphics);
  state_.blend = kNoBlend;
  g->MakeCurrent();
}

void TSoft2DDriver::Flip(int sync) { SoftGraphicsDriver()->Flip(sync); }
bool TSoft2DDriver::CanSyncToDisplay() { return SoftGraphicsDriver()->CanSyncToDisplay(); }
void TSoft2DDriver::SetWindowed(bool windowed) { SoftGraphicsDriver()->SetWindowed(windowed); }
bool TSoft2DDriver::Windowed() { return SoftGraphicsDriver()->Windowed(); }

std::shared_ptr<TImageFrame> TSoft2DDriver::CreateFrameFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int flags) {
  return TSoftImageFrame::CreateFromPixmap(this, pixmap, flags);
}

std::shared_ptr<TImageFrame> TSoft2DDriver::CreateSheetFrame(TFrameSheet& sheet, int slot,
                                                             int slots,
                                                             const std::shared_ptr<TPixmap>& pixmap,
                                                             int flags) {
  if (std::shared_ptr<TSoftImageFrame> f =
          TSoftImageFrame::CreateOnSheet(this, sheet, slot, slots, pixmap, flags))
    return f;
  return CreateFrameFromPixmap(pixmap, flags);
}

// ---- state ----

void TSoft2DDriver::SetBlend(int mode) { state_.blend = mode; }

void TSoft2DDriver::SetAlpha(float alpha) { state_.SetAlpha(alpha); }

void TSoft2DDriver::SetColor(int red, int green, int blue) { state_.SetColor(red, green, blue); }

void TSoft2DDriver::SetClsColor(int red, int green, int blue) {
  state_.SetClsColor(red, green, blue);
}

void TSoft2DDriver::SetViewport(int x, int y, int width, int height) {
  state_.SetViewport(x, y, width, height);
  const TSoftScreen* s = CurrentSoftScreen();
  const int sw = s ? s->width : GraphicsWidth(), sh = s ? s->height : GraphicsHeight();
  scissor_ = !(x == 0 && y == 0 && width == sw && height == sh);
}

void TSoft2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
  state_.SetTransform(ix, iy, jx, jy);
}

void TSoft2DDriver::SetLineWidth(float width) {
  // The GL refuses a width that is not above 0 and keeps the one it had.
  if (width > 0.0f) state_.line_width = width;
}

bool TSoft2DDriver::Begin() {
  TSoftScreen* s = CurrentSoftScreen();
  if (!s || s->width <= 0 || s->height <= 0) return false;
  state_.screen_w = s->width;
  state_.screen_h = s->height;
  if (scissor_) {
    const long long x1 = static_cast<long long>(state_.viewport_x) + std::max(state_.viewport_w, 0);
    const long long y1 = static_cast<long long>(state_.viewport_y) + std::max(state_.viewport_h, 0);
    clip_[0] = state_.viewport_x;
    clip_[1] = state_.viewport_y;
    clip_[2] = static_cast<int>(std::clamp<long long>(x1, -1, s->width));
    clip_[3] = static_cast<int>(std::clamp<long long>(y1, -1, s->height));
  } else {
    clip_[0] = clip_[1] = 0;
    clip_[2] = s->width;
    clip_[3] = s->height;
  }
  raster_.Begin(*s, clip_[0], clip_[1], clip_[2], clip_[3]);
  return true;
}

void TSoft2DDriver::Submit(soft::Draw d, const soft::ClipVertex* v, int count,
                           const std::shared_ptr<const TSoftTexture>& texture) {
  std::copy(clip_, clip_ + 4, d.clip);
  d.count = count;
  d.version = texture ? texture->version : 0;
  CurrentSoftScreen()->Replay().Submit(d, v, texture);
}

soft::Paint TSoft2DDriver::PaintOf(const TSoftImageFrame* frame) const {
  soft::Paint p;
  p.blend = state_.blend;
  std::copy(state_.color, state_.color + 4, p.color);
  p.white = state_.color[0] == 255 && state_.color[1] == 255 && state_.color[2] == 255 &&
            state_.color[3] == 255;
  const TSoftScreen* s = CurrentSoftScreen();
  p.keep_alpha = s && s->keeps_alpha;
  if (frame && frame->texture) {
    p.texture = frame->texture.get();
    p.filtered = (frame->texture->flags & FilteredImage) != 0;
  }
  return p;
}

void TSoft2DDriver::Cls() {
  if (!Begin()) return;
  TSoftScreen& s = *CurrentSoftScreen();
  int x0 = 0, y0 = 0, x1 = s.width, y1 = s.height;
  if (scissor_) {
    x0 = std::max(0, state_.viewport_x);
    y0 = std::max(0, state_.viewport_y);
    x1 = static_cast<int>(std::min<long long>(
        s.width, static_cast<long long>(state_.viewport_x) + std::max(state_.viewport_w, 0)));
    y1 = static_cast<int>(std::min<long long>(
        s.height, static_cast<long long>(state_.viewport_y) + std::max(state_.viewport_h, 0)));
  }
  const uint32_t c = soft::Pack(state_.cls_color[0], state_.cls_color[1], state_.cls_color[2], 255);
  if (x0 == 0 && y0 == 0 && x1 == s.width && y1 == s.height) {
    s.Replay().Clear(c);
    return;
  }
  soft::Draw d;
  d.kind = soft::Draw::kFill;
  d.fill = c;
  const int clip[4] = {x0, y0, x1, y1};
  std::copy(clip, clip + 4, clip_);
  Submit(d, nullptr, 0);
}

// ---- primitives ----

void TSoft2DDriver::Fan(const std::vector<soft::ClipVertex>& v) {
  if (v.size() < 3) return;
  soft::Draw d;
  d.kind = soft::Draw::kFan;
  d.paint = PaintOf(nullptr);
  Submit(d, v.data(), static_cast<int>(v.size()));
}

void TSoft2DDriver::Plot(float x, float y) {
  if (!Begin()) return;
  soft::Draw d;
  d.kind = soft::Draw::kPoint;
  d.paint = PaintOf(nullptr);
  const soft::ClipVertex v = raster_.ToClip(x + 0.5f, y + 0.5f);
  Submit(d, &v, 1);
}

void TSoft2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (!Begin()) return;
  const float ax = state_.ScreenX(x0, y0, tx) + 0.5f, ay = state_.ScreenY(x0, y0, ty) + 0.5f;
  const float bx = state_.ScreenX(x1, y1, tx) + 0.5f, by = state_.ScreenY(x1, y1, ty) + 0.5f;
  soft::Draw d;
  d.kind = soft::Draw::kLine;
  d.paint = PaintOf(nullptr);
  const float line[5] = {ax, ay, bx, by, state_.line_width};
  std::copy(line, line + 5, d.line);
  Submit(d, nullptr, 0);
}

void TSoft2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  const TScreenQuad c(state_, x0, y0, x1, y1, tx, ty);
  if (!Begin() || c.OffScreen(state_)) return;
  soft::ClipVertex q[4];
  for (int i = 0; i < 4; ++i) q[i] = raster_.ToClip(c.x[i], c.y[i]);
  soft::Draw d;
  d.paint = PaintOf(nullptr);
  Submit(d, q, 4);
}

void TSoft2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (!Begin()) return;
  std::vector<soft::ClipVertex> v;
  ForEachOvalPoint(x0, y0, x1, y1, [&](float px, float py) {
    v.push_back(raster_.ToClip(state_.ScreenX(px, py, tx), state_.ScreenY(px, py, ty)));
  });
  Fan(v);
}

void TSoft2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                             float ty) {
  if (xy.size() < 6 || (xy.size() & 1) || !Begin()) return;
  std::vector<soft::ClipVertex> v;
  for (size_t i = 0; i + 1 < xy.size(); i += 2) {
    const float px = xy[i] + handle_x, py = xy[i + 1] + handle_y;
    v.push_back(raster_.ToClip(state_.ScreenX(px, py, tx), state_.ScreenY(px, py, ty)));
  }
  Fan(v);
}

void TSoft2DDriver::DrawFrame(const TSoftImageFrame& f, float x0, float y0, float x1, float y1,
                              float tx, float ty) {
  const TScreenQuad c(state_, x0, y0, x1, y1, tx, ty);
  if (!f.texture || !Begin() || c.OffScreen(state_)) return;
  const float u[4] = {f.u0, f.u1, f.u1, f.u0};
  const float v[4] = {f.v0, f.v0, f.v1, f.v1};
  soft::ClipVertex q[4];
  for (int i = 0; i < 4; ++i) q[i] = raster_.ToClip(c.x[i], c.y[i], u[i], v[i]);
  soft::Draw d;
  d.paint = PaintOf(&f);
  Submit(d, q, 4, f.texture);
}

void TSoft2DDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1 || !Begin()) return;
  std::shared_ptr<TPixmap> rows =
      pixmap->format == PixelRGBA8888 ? pixmap : pixmap->Convert(PixelRGBA8888);
  if (!rows) return;
  TSoftScreen& s = *CurrentSoftScreen();
  int cx0 = 0, cy0 = 0, cx1 = s.width, cy1 = s.height;
  if (scissor_) {
    cx0 = std::max(cx0, state_.viewport_x);
    cy0 = std::max(cy0, state_.viewport_y);
    cx1 = static_cast<int>(std::min<long long>(
        cx1, static_cast<long long>(state_.viewport_x) + std::max(state_.viewport_w, 0)));
    cy1 = static_cast<int>(std::min<long long>(
        cy1, static_cast<long long>(state_.viewport_y) + std::max(state_.viewport_h, 0)));
  }
  const long long i0 = std::max<long long>(cx0, x),
                  i1 = std::min<long long>(cx1, static_cast<long long>(x) + rows->width);
  const long long j0 = std::max<long long>(cy0, y),
                  j1 = std::min<long long>(cy1, static_cast<long long>(y) + rows->height);
  const bool keep = s.keeps_alpha;
  s.Replay().Written();
  for (long long j = j0; j < j1; ++j) {
    const uint8_t* src = rows->PixelPtr(static_cast<int>(i0 - x), static_cast<int>(j - y));
    uint32_t* dst = s.Row(static_cast<int>(j));
    for (long long i = i0; i < i1; ++i, src += 4)
      dst[i] = soft::Pack(src[0], src[1], src[2], keep ? src[3] : 255u);
  }
}

std::shared_ptr<TPixmap> TSoft2DDriver::GrabPixmap(int x, int y, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  std::shared_ptr<TPixmap> p = CreatePixmap(width, height, PixelRGBA8888, 4);
  if (!p) return nullptr;
  if (width == 0 || height == 0) return p;
  p->ClearPixels(0);
  TSoftScreen* s = CurrentSoftScreen();
  if (!s) return p;
  s->Settle();
  const long long i0 = std::max(0LL, static_cast<long long>(x));
  const long long j0 = std::max(0LL, static_cast<long long>(y));
  const long long i1 = std::min<long long>(s->width, static_cast<long long>(x) + width);
  const long long j1 = std::min<long long>(s->height, static_cast<long long>(y) + height);
  for (long long j = j0; j < j1; ++j) {
    const uint32_t* src = s->Row(static_cast<int>(j));
    uint8_t* dst = p->PixelPtr(static_cast<int>(i0 - x), static_cast<int>(j - y));
    for (long long i = i0; i < i1; ++i, dst += 4) {
      const uint32_t w = src[i];
      dst[0] = static_cast<uint8_t>(w >> 16);
      dst[1] = static_cast<uint8_t>(w >> 8);
      dst[2] = static_cast<uint8_t>(w);
      dst[3] = s->keeps_alpha ? static_cast<uint8_t>(w >> 24) : 255;
    }
  }
  return p;
}

std::shared_ptr<TSoft2DDriver> SoftRenderer() {
  if (!the_renderer) the_renderer = std::make_shared<TSoft2DDriver>();
  return the_renderer;
}
