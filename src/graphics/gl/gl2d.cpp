#include "graphics/gl/gl2d.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "graphics/gl/glgraphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

// The renderer's caches: valid for the context ResetGLContext last prepared.
int cur_blend = 0;
GLuint bound_texture = 0;
bool texturing = false;
unsigned char color_bytes[4] = {0, 0, 0, 0};
float m_ix = 1.0f, m_iy = 0.0f, m_jx = 0.0f, m_jy = 1.0f;

std::shared_ptr<TGL2DDriver> the_renderer;
bool module_ready = false;

void disable_tex() {
  if (texturing) {
    glDisable(GL_TEXTURE_2D);
    texturing = false;
  }
}

void enable_tex(GLuint name) {
  if (bound_texture != name) {
    glBindTexture(GL_TEXTURE_2D, name);
    bound_texture = name;
  }
  if (!texturing) {
    glEnable(GL_TEXTURE_2D);
    texturing = true;
  }
}

inline void vertex(float px, float py, float tx, float ty) {
  glVertex2f(px * m_ix + py * m_iy + tx, px * m_jx + py * m_jy + ty);
}

int clamp_byte(int v) { return std::clamp(v, 0, 255); }

int pow2_at_least(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

// The edge texels are repeated just outside the picture, so filtering at its border
// never pulls in the unused part of the texture.
std::shared_ptr<TPixmap> enlarge_for_texture(const std::shared_ptr<TPixmap>& pic, int tw, int th) {
  const int w = pic->width;
  const int h = pic->height;
  std::shared_ptr<TPixmap> t = CreatePixmap(tw, th, PixelRGBA8888);
  if (!t) return nullptr;
  t->ClearPixels(0);
  t->Paste(pic, 0, 0);
  if (w < tw) t->Paste(pic->Window(w - 1, 0, 1, h), w, 0);
  if (h < th) t->Paste(pic->Window(0, h - 1, w, 1), 0, h);
  if (w < tw && h < th) t->Paste(pic->Window(w - 1, h - 1, 1, 1), w, h);
  return t;
}

void create_texture(GLuint& name, int w, int h, int flags) {
  const bool filtered = (flags & 2) != 0;   // FilteredImage
  const bool mipmapped = (flags & 4) != 0;  // MipmappedImage
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  bound_texture = name;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  if (filtered) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
  } else {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST);
  }
  int level = 0;
  for (;;) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    if (!mipmapped || (w == 1 && h == 1)) break;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
    ++level;
  }
}

void upload_texture(std::shared_ptr<TPixmap> p, int flags) {
  const bool mipmapped = (flags & 4) != 0;
  for (int level = 0; p; ++level) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p->pitch / BytesPerPixel(p->format));
    glTexSubImage2D(GL_TEXTURE_2D, level, 0, 0, p->width, p->height, GL_RGBA, GL_UNSIGNED_BYTE,
                    p->pixels);
    if (!mipmapped || (p->width == 1 && p->height == 1)) break;
    p = ResizePixmap(p, std::max(1, p->width / 2), std::max(1, p->height / 2));
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// Top row first in memory becomes bottom row first, and back.
std::shared_ptr<TPixmap> flip_rows(const std::shared_ptr<TPixmap>& p) { return YFlipPixmap(p); }

}  // namespace

// ---- TGLImageFrame ----

TGLImageFrame::~TGLImageFrame() {
  if (name == 0 || seq == 0) return;
  // A texture of a context that is gone went with it.
  if (GLContextLive() && _gl_serial == GLContextSerial()) {
    GLGraphicsDriver()->SwapSharedContext();
    GLuint n = static_cast<GLuint>(name);
    glDeleteTextures(1, &n);
    if (bound_texture == n) bound_texture = 0;
    GLGraphicsDriver()->SwapSharedContext();
  }
  seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (name == 0) return;
  enable_tex(static_cast<GLuint>(name));
  glBegin(GL_QUADS);
  glTexCoord2f(u0, v0);
  vertex(x0, y0, tx, ty);
  glTexCoord2f(u1, v0);
  vertex(x1, y0, tx, ty);
  glTexCoord2f(u1, v1);
  vertex(x1, y1, tx, ty);
  glTexCoord2f(u0, v1);
  vertex(x0, y1, tx, ty);
  glEnd();
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(
    const std::shared_ptr<TPixmap>& source, int flags) {
  if (!source || source->width < 1 || source->height < 1) return nullptr;

  int tw = pow2_at_least(source->width);
  int th = pow2_at_least(source->height);
  for (;;) {
    glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, tw, th, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GLint got = 0;
    glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got);
    if (got != 0) break;
    if (tw == 1 && th == 1) throw std::runtime_error("Unable to calculate tex size");
    if (tw > 1) tw /= 2;
    if (th > 1) th /= 2;
  }

  const int w = std::min(source->width, tw);
  const int h = std::min(source->height, th);
  std::shared_ptr<TPixmap> pic = source;
  if (w < source->width || h < source->height) pic = ResizePixmap(source, w, h);
  if (!pic) return nullptr;
  if (w < tw || h < th) {
    pic = enlarge_for_texture(pic, tw, th);
  } else if (pic->format != PixelRGBA8888) {
    pic = pic->Convert(PixelRGBA8888);
  }
  if (!pic) return nullptr;

  GLuint tex = 0;
  create_texture(tex, tw, th, flags);
  upload_texture(pic, flags);

  auto f = std::make_shared<TGLImageFrame>();
  f->name = static_cast<int>(tex);
  f->u0 = 0.0f;
  f->v0 = 0.0f;
  f->u1 = static_cast<float>(w) / static_cast<float>(tw);
  f->v1 = static_cast<float>(h) / static_cast<float>(th);
  f->seq = GraphicsGeneration();
  f->_gl_serial = GLContextSerial();
  return f;
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

void TGL2DDriver::Flip(int sync) { GLGraphicsDriver()->Flip(sync); }
bool TGL2DDriver::CanSyncToDisplay() { return GLGraphicsDriver()->CanSyncToDisplay(); }
void TGL2DDriver::SetWindowed(bool windowed) { GLGraphicsDriver()->SetWindowed(windowed); }
bool TGL2DDriver::Windowed() { return GLGraphicsDriver()->Windowed(); }

std::shared_ptr<TImageFrame> TGL2DDriver::CreateFrameFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int flags) {
  if (!GLContextLive()) return nullptr;
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

void TGL2DDriver::ResetGLContext(const std::shared_ptr<TGraphics>& graphics) {
  int w = 0, h = 0, d = 0, hz = 0, f = 0;
  if (graphics) graphics->GetSettings(w, h, d, hz, f);
  cur_blend = 0;
  bound_texture = 0;
  texturing = false;
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
  if (mode == cur_blend) return;
  cur_blend = mode;
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
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // also not-a-number
  color_bytes[3] = static_cast<unsigned char>(alpha * 255.0f);
  glColor4ubv(color_bytes);
}

void TGL2DDriver::SetColor(int red, int green, int blue) {
  color_bytes[0] = static_cast<unsigned char>(clamp_byte(red));
  color_bytes[1] = static_cast<unsigned char>(clamp_byte(green));
  color_bytes[2] = static_cast<unsigned char>(clamp_byte(blue));
  glColor4ubv(color_bytes);
}

void TGL2DDriver::SetClsColor(int red, int green, int blue) {
  glClearColor(clamp_byte(red) / 255.0f, clamp_byte(green) / 255.0f, clamp_byte(blue) / 255.0f,
               1.0f);
}

void TGL2DDriver::SetViewport(int x, int y, int width, int height) {
  if (x == 0 && y == 0 && width == GraphicsWidth() && height == GraphicsHeight()) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, GraphicsHeight() - y - height, std::max(width, 0), std::max(height, 0));
  }
}

void TGL2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
  m_ix = ix;
  m_iy = iy;
  m_jx = jx;
  m_jy = jy;
}

void TGL2DDriver::SetLineWidth(float width) { glLineWidth(width); }

void TGL2DDriver::Cls() { glClear(GL_COLOR_BUFFER_BIT); }

// ---- primitives ----

void TGL2DDriver::Plot(float x, float y) {
  disable_tex();
  glBegin(GL_POINTS);
  glVertex2f(x + 0.5f, y + 0.5f);
  glEnd();
}

void TGL2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  disable_tex();
  glBegin(GL_LINES);
  glVertex2f(x0 * m_ix + y0 * m_iy + tx + 0.5f, x0 * m_jx + y0 * m_jy + ty + 0.5f);
  glVertex2f(x1 * m_ix + y1 * m_iy + tx + 0.5f, x1 * m_jx + y1 * m_jy + ty + 0.5f);
  glEnd();
}

void TGL2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  disable_tex();
  glBegin(GL_QUADS);
  vertex(x0, y0, tx, ty);
  vertex(x1, y0, tx, ty);
  vertex(x1, y1, tx, ty);
  vertex(x0, y1, tx, ty);
  glEnd();
}

void TGL2DDriver::DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) {
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
  disable_tex();
  glBegin(GL_POLYGON);
  for (int i = 0; i < segs; ++i) {
    const double a = static_cast<double>(i) * 360.0 / segs * 0.017453292519943295;
    vertex(cx + rx * static_cast<float>(std::cos(a)), cy - ry * static_cast<float>(std::sin(a)),
           tx, ty);
  }
  glEnd();
}

void TGL2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                           float ty) {
  if (xy.size() < 6 || (xy.size() & 1)) return;
  disable_tex();
  glBegin(GL_POLYGON);
  for (size_t i = 0; i + 1 < xy.size(); i += 2) vertex(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
  glEnd();
}

void TGL2DDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1) return;
  std::shared_ptr<TPixmap> rows = flip_rows(pixmap);
  if (rows && rows->format != PixelRGBA8888) rows = rows->Convert(PixelRGBA8888);
  if (!rows) return;
  const int old_blend = cur_blend;
  SetBlend(SolidBlend);
  disable_tex();
  // Move the raster position with an empty bitmap, which may leave the visible area.
  glRasterPos2i(0, 0);
  glBitmap(0, 0, 0.0f, 0.0f, static_cast<float>(x), static_cast<float>(-y - rows->height),
           nullptr);
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
  const int old_blend = cur_blend;
  SetBlend(SolidBlend);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(x, GraphicsHeight() - height - y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
               p->pixels);
  SetBlend(old_blend);
  return flip_rows(p);
}

int TGL2DDriver::CachedBlend() const { return cur_blend; }

void TGL2DDriver::CachedColor(unsigned char rgba[4]) const {
  std::memcpy(rgba, color_bytes, 4);
}

std::shared_ptr<TGL2DDriver> GLRenderer() {
  if (!the_renderer) the_renderer = std::make_shared<TGL2DDriver>();
  return the_renderer;
}

void init_graphics_module() {
  if (module_ready) return;
  module_ready = true;
  SetGraphicsDriver(GLRenderer(), BackBuffer);
}
