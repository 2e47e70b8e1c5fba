#include "graphics/gl/gl2d.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>

#include "graphics/gl/gl_renderer.h"
#include "graphics/gl/glgraphics.h"
#include "graphics/pixmap/pixmap.h"

TGL2DState g_gl2d;

namespace {

std::shared_ptr<TGL2DDriver> the_renderer;

// Oval, polygon and pixmap draws are immediate mode; they take the GL's current colour.
void use_color() {
  if (g_gl2d.color_sent) return;
  glColor4ubv(g_gl2d.state.color);
  g_gl2d.color_sent = true;
}

// The colour bytes changed: batched, the colour travels with each vertex from now on.
void color_changed() {
  g_gl2d.batch.SetColor(g_gl2d.state.color);
  g_gl2d.color_sent = false;
}

}  // namespace

void gl2d_flush() {
  TGL2DState& g = g_gl2d;
  if (g.batch.count == 0) return;
  const int n = g.batch.Take();
  if (!GLContextLive()) return;
  if (g.batch.texture) {
    gl2d_texture_on(g.batch.texture);
  } else {
    gl2d_texture_off();
  }
  if (!g.arrays_on) {
    // The batch never moves, so the arrays are pointed at it once.
    constexpr GLsizei stride = TQuadBatch::kFloats * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, g.batch.v);
    glTexCoordPointer(2, GL_FLOAT, stride, g.batch.v + 2);
    glColorPointer(4, GL_FLOAT, stride, g.batch.v + 4);
    g.arrays_on = true;
  }
  const GLenum mode = g.batch.kind == TBatchKind::Points  ? GL_POINTS
                      : g.batch.kind == TBatchKind::Lines ? GL_LINES
                                                          : GL_QUADS;
  glDrawArrays(mode, 0, n);
  // A colour array leaves the current colour undefined.
  g.color_sent = false;
}

float* gl2d_room(TBatchKind kind, GLuint texture, int n) {
  if (!g_gl2d.batch.Takes(kind, texture, n)) gl2d_flush();
  return g_gl2d.batch.Add(kind, texture, n);
}

void gl2d_texture_off() {
  if (g_gl2d.texturing) {
    glDisable(GL_TEXTURE_2D);
    g_gl2d.texturing = false;
  }
}

void gl2d_texture_on(GLuint name) {
  if (g_gl2d.bound_texture != name) {
    glBindTexture(GL_TEXTURE_2D, name);
    g_gl2d.bound_texture = name;
  }
  if (!g_gl2d.texturing) {
    glEnable(GL_TEXTURE_2D);
    g_gl2d.texturing = true;
  }
}

void gl2d_vertex(float px, float py, float tx, float ty) {
  const TRenderState& s = g_gl2d.state;
  glVertex2f(s.ScreenX(px, py, tx), s.ScreenY(px, py, ty));
}

// ---- TGL2DDriver: graphics driver side ----

std::vector<TGraphicsMode> TGL2DDriver::GraphicsModes() {
  return GLGraphicsDriver()->GraphicsModes();
}

std::shared_ptr<TGraphics> TGL2DDriver::AttachGraphics(void* widget, int flags) {
  std::shared_ptr<TGraphics> g = GLGraphicsDriver()->AttachGraphics(widget, flags);
  return g ? T2DGraphics::Create(g, this) : nullptr;
}

std::shared_ptr<TGraphics> TGL2DDriver::CreateGraphics(int width, int height, int depth, int hertz,
                                                       int flags) {
  std::shared_ptr<TGraphics> g =
      GLGraphicsDriver()->CreateGraphics(width, height, depth, hertz, flags);
  return g ? T2DGraphics::Create(g, this) : nullptr;
}

void TGL2DDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  // What was drawn belongs to the graphics being left.
  gl2d_flush();
  auto g = std::dynamic_pointer_cast<T2DGraphics>(graphics);
  if (!g || !g->_graphics) {
    T2DGraphics::ClearCurrent();
    GLGraphicsDriver()->SetGraphics(nullptr);
    return;
  }
  GLGraphicsDriver()->SetGraphics(g->_graphics);
  ResetGLContext(g);
  g->MakeCurrent();
}

void TGL2DDriver::Flip(int sync) {
  gl2d_flush();
  GLGraphicsDriver()->Flip(sync);
}

bool TGL2DDriver::CanSyncToDisplay() { return GLGraphicsDriver()->CanSyncToDisplay(); }
void TGL2DDriver::SetWindowed(bool windowed) { GLGraphicsDriver()->SetWindowed(windowed); }
bool TGL2DDriver::Windowed() { return GLGraphicsDriver()->Windowed(); }

std::shared_ptr<TImageFrame> TGL2DDriver::CreateFrameFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int flags) {
  if (!GLContextLive()) return nullptr;
  gl2d_flush();
  TGLGraphicsDriver* gl = GLGraphicsDriver();
  gl->SwapSharedContext();
  std::shared_ptr<TGLImageFrame> f;
  try {
    f = TGLImageFrame::CreateFromPixmap(pixmap, flags);
  } catch (...) {
    gl->SwapSharedContext();
    throw;
  }
  gl->SwapSharedContext();
  return f;
}

std::shared_ptr<TImageFrame> TGL2DDriver::CreateSheetFrame(TFrameSheet& sheet, int slot, int slots,
                                                           const std::shared_ptr<TPixmap>& pixmap,
                                                           int flags) {
  if (std::shared_ptr<TGLImageFrame> f =
          TGLImageFrame::CreateOnSheet(sheet, slot, slots, pixmap, flags)) {
    return f;
  }
  return CreateFrameFromPixmap(pixmap, flags);
}

void TGL2DDriver::ResetGLContext(const std::shared_ptr<TGraphics>& graphics) {
  gl2d_flush();
  int w = 0, h = 0, d = 0, hz = 0, f = 0;
  if (graphics) graphics->GetSettings(w, h, d, hz, f);
  TGL2DState& g = g_gl2d;
  g.state.blend = kNoBlend;
  g.state.screen_w = w;
  g.state.screen_h = h;
  g.bound_texture = 0;
  g.texturing = false;
  g.color_sent = false;
  g.line_width_sent = -1.0f;
  g.arrays_on = false;
  glDisable(GL_TEXTURE_2D);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, w, h, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glViewport(0, 0, w, h);
}

// ---- state ----

void TGL2DDriver::SetBlend(int mode) {
  if (mode == g_gl2d.state.blend) return;
  gl2d_flush();
  g_gl2d.state.blend = mode;
  switch (mode) {
    case MaskBlend:
      glDisable(GL_BLEND);
      glEnable(GL_ALPHA_TEST);
      glAlphaFunc(GL_GEQUAL, 0.5f);
      break;
    case AlphaBlend:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
      glDisable(GL_ALPHA_TEST);
      break;
    case LightBlend:
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE);
      glDisable(GL_ALPHA_TEST);
      break;
    case ShadeBlend:
      glEnable(GL_BLEND);
      glBlendFunc(GL_DST_COLOR, GL_ZERO);
      glDisable(GL_ALPHA_TEST);
      break;
    default:  // SolidBlend and anything unknown
      glDisable(GL_BLEND);
      glDisable(GL_ALPHA_TEST);
      break;
  }
}

void TGL2DDriver::SetAlpha(float alpha) {
  g_gl2d.state.SetAlpha(alpha);
  color_changed();
}

void TGL2DDriver::SetColor(int red, int green, int blue) {
  g_gl2d.state.SetColor(red, green, blue);
  color_changed();
}

void TGL2DDriver::SetClsColor(int red, int green, int blue) {
  TRenderState& s = g_gl2d.state;
  s.SetClsColor(red, green, blue);
  glClearColor(s.cls_color[0] / 255.0f, s.cls_color[1] / 255.0f, s.cls_color[2] / 255.0f, 1.0f);
}

void TGL2DDriver::SetViewport(int x, int y, int width, int height) {
  gl2d_flush();
  g_gl2d.state.SetViewport(x, y, width, height);
  if (x == 0 && y == 0 && width == GraphicsWidth() && height == GraphicsHeight()) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, GraphicsHeight() - y - height, std::max(width, 0), std::max(height, 0));
  }
}

void TGL2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
  // Vertices are transformed as they are batched, so nothing waiting depends on it.
  g_gl2d.state.SetTransform(ix, iy, jx, jy);
}

void TGL2DDriver::SetLineWidth(float width) {
  g_gl2d.state.line_width = width;
  if (width == g_gl2d.line_width_sent) return;
  gl2d_flush();
  glLineWidth(width);
  g_gl2d.line_width_sent = width;
}

void TGL2DDriver::Cls() {
  gl2d_flush();
  glClear(GL_COLOR_BUFFER_BIT);
}

// ---- primitives ----

void TGL2DDriver::Plot(float x, float y) {
  const float px = x + 0.5f;
  const float py = y + 0.5f;
  // A point whose pixel lies wholly outside the screen is clipped by the GL anyway; the
  // scan lines end each row with one, which would split their batch.
  if (PointOffScreen(g_gl2d.state, px, py)) return;
  g_gl2d.batch.Put(gl2d_room(TBatchKind::Points, 0, 1), px, py);
}

void TGL2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  const TRenderState& s = g_gl2d.state;
  const float ax = s.ScreenX(x0, y0, tx) + 0.5f, ay = s.ScreenY(x0, y0, ty) + 0.5f;
  const float bx = s.ScreenX(x1, y1, tx) + 0.5f, by = s.ScreenY(x1, y1, ty) + 0.5f;
  const TQuadBatch& b = g_gl2d.batch;
  b.Put(b.Put(gl2d_room(TBatchKind::Lines, 0, 2), ax, ay), bx, by);
}

void TGL2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  const TScreenQuad c(g_gl2d.state, x0, y0, x1, y1, tx, ty);
  if (c.OffScreen(g_gl2d.state)) return;
  float* at = gl2d_room(TBatchKind::Quads, 0, 4);
  for (int i = 0; i < 4; ++i) at = g_gl2d.batch.Put(at, c.x[i], c.y[i]);
}

void TGL2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
  gl2d_flush();
  gl2d_texture_off();
  use_color();
  glBegin(GL_POLYGON);
  ForEachOvalPoint(x0, y0, x1, y1, [&](float px, float py) { gl2d_vertex(px, py, tx, ty); });
  glEnd();
}

void TGL2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                           float ty) {
  if (xy.size() < 6 || (xy.size() & 1)) return;
  gl2d_flush();
  gl2d_texture_off();
  use_color();
  glBegin(GL_POLYGON);
  for (size_t i = 0; i + 1 < xy.size(); i += 2)
    gl2d_vertex(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
  glEnd();
}

void TGL2DDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1) return;
  // The GL counts rows from the bottom.
  std::shared_ptr<TPixmap> rows = YFlipPixmap(pixmap);
  if (rows && rows->format != PixelRGBA8888) rows = rows->Convert(PixelRGBA8888);
  if (!rows) return;
  gl2d_flush();
  const int old_blend = g_gl2d.state.blend;
  SetBlend(SolidBlend);
  gl2d_texture_off();
  // Move the raster position with an empty bitmap, which may leave the visible area.
  glRasterPos2i(0, 0);
  glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(x), static_cast<float>(-y - rows->height), nullptr);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, rows->pitch / 4);
  glDrawPixels(rows->width, rows->height, GL_RGBA, GL_UNSIGNED_BYTE, rows->pixels);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  SetBlend(old_blend);
}

std::shared_ptr<TPixmap> TGL2DDriver::GrabPixmap(int x, int y, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  std::shared_ptr<TPixmap> p = CreatePixmap(width, height, PixelRGBA8888, 4);
  if (!p) return nullptr;
  if (width == 0 || height == 0) return p;
  // Whatever lies outside the screen reads as zero rather than as stale memory.
  p->ClearPixels(0);
  gl2d_flush();
  const int old_blend = g_gl2d.state.blend;
  SetBlend(SolidBlend);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(x, GraphicsHeight() - height - y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
               p->pixels);
  SetBlend(old_blend);
  p = YFlipPixmap(p);  // top row first
  if (p && !(GraphicsFlags() & AlphaBuffer)) {
    // The screen keeps alpha only for graphics that asked for an alpha buffer; without
    // one, what shows is opaque, whatever alpha the drawing left behind.
    const long long cx0 = std::max(0LL, -static_cast<long long>(x));
    const long long cy0 = std::max(0LL, -static_cast<long long>(y));
    const long long cx1 = std::min<long long>(width, static_cast<long long>(GraphicsWidth()) - x);
    const long long cy1 = std::min<long long>(height, static_cast<long long>(GraphicsHeight()) - y);
    for (long long j = cy0; j < cy1; ++j) {
      uint8_t* row = p->PixelPtr(0, static_cast<int>(j));
      for (long long i = cx0; i < cx1; ++i) row[i * 4 + 3] = 255;
    }
  }
  return p;
}

std::shared_ptr<TGL2DDriver> GLRenderer() {
  if (!the_renderer) the_renderer = std::make_shared<TGL2DDriver>();
  return the_renderer;
}
