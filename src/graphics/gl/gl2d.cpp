#include "graphics/gl/gl2d.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <unordered_map>

#include "graphics/draw/image.h"
#include "graphics/gl/glgraphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

// The renderer's caches: valid for the context ResetGLContext last prepared.
int cur_blend = 0;
GLuint bound_texture = 0;
bool texturing = false;
unsigned char color_bytes[4] = {0, 0, 0, 0};
float color_f[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // the same as the GL makes of them
bool color_sent = false;                      // whether the GL's current colour is color_bytes
float line_width = -1.0f;                     // as last sent; -1 before
int view_w = 0, view_h = 0;
float m_ix = 1.0f, m_iy = 0.0f, m_jx = 0.0f, m_jy = 1.0f;

std::shared_ptr<TGL2DDriver> the_renderer;
bool module_ready = false;
bool reference_drawing = false;

// ---- the batch ----
//
// On a software GL every draw call and state change costs set-up on the CPU, so
// primitives of one kind and one texture are gathered and sent as one vertex array.
// Vertices are computed exactly as immediate mode sent them, each with the colour as the
// GL itself turns the colour bytes into floats, and the GL state they depend on (blend,
// scissor, line width, texture) is only changed after the batch has gone out, so every
// pixel comes out as if drawn one by one.

constexpr int kFloats = 8;  // x, y, u, v, r, g, b, a
constexpr int kBatchVertices = 4096;
// A plain array: frames released at exit may still flush after other statics are gone.
float batch_v[kBatchVertices * kFloats];
int batch_count = 0;
GLenum batch_prim = GL_QUADS;
GLuint batch_texture = 0;  // 0: untextured
bool arrays_on = false;

void disable_tex();
void enable_tex(GLuint name);

void flush() {
  if (batch_count == 0) return;
  const int n = batch_count;
  batch_count = 0;
  if (!GLContextLive()) return;
  if (batch_texture) {
    enable_tex(batch_texture);
  } else {
    disable_tex();
  }
  if (!arrays_on) {
    // The batch never moves, so the arrays are pointed at it once.
    constexpr GLsizei stride = kFloats * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(2, GL_FLOAT, stride, batch_v);
    glTexCoordPointer(2, GL_FLOAT, stride, batch_v + 2);
    glColorPointer(4, GL_FLOAT, stride, batch_v + 4);
    arrays_on = true;
  }
  glDrawArrays(batch_prim, 0, n);
  // A colour array leaves the current colour undefined.
  color_sent = false;
}

// Room for n more vertices of this primitive and texture, flushing what cannot share a draw.
float* batch_room(GLenum prim, GLuint texture, int n) {
  if (batch_count != 0 &&
      (prim != batch_prim || texture != batch_texture || batch_count + n > kBatchVertices)) {
    flush();
  }
  batch_prim = prim;
  batch_texture = texture;
  float* at = batch_v + batch_count * kFloats;
  batch_count += n;
  return at;
}

inline float* put(float* at, float x, float y, float u = 0.0f, float v = 0.0f) {
  at[0] = x;
  at[1] = y;
  at[2] = u;
  at[3] = v;
  std::memcpy(at + 4, color_f, sizeof color_f);
  return at + kFloats;
}

// Immediate-mode drawing takes the GL's current colour.
void use_color() {
  if (color_sent) return;
  glColor4ubv(color_bytes);
  color_sent = true;
}

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

inline float screen_x(float px, float py, float tx) { return px * m_ix + py * m_iy + tx; }
inline float screen_y(float px, float py, float ty) { return px * m_jx + py * m_jy + ty; }

inline void vertex(float px, float py, float tx, float ty) {
  glVertex2f(screen_x(px, py, tx), screen_y(px, py, ty));
}

// The corners of a quad on the screen, in drawing order.
struct Corners {
  float x[4], y[4];
  Corners(float x0, float y0, float x1, float y1, float tx, float ty)
      : x{screen_x(x0, y0, tx), screen_x(x1, y0, tx), screen_x(x1, y1, tx), screen_x(x0, y1, tx)},
        y{screen_y(x0, y0, ty), screen_y(x1, y0, ty), screen_y(x1, y1, ty), screen_y(x0, y1, ty)} {}
  // Wholly outside the view, a pixel or more away from it: the GL would clip the quad to
  // nothing, but on a software GL even a quad clipped away costs set-up on this thread.
  // The game draws many such (clouds in two copies, planes and balloons coming in).
  bool off_view() const {
    const float w = static_cast<float>(view_w) + 1.0f, h = static_cast<float>(view_h) + 1.0f;
    auto all = [](const float(&c)[4], auto beyond) {
      return beyond(c[0]) && beyond(c[1]) && beyond(c[2]) && beyond(c[3]);
    };
    return all(x, [](float v) { return v < -1.0f; }) || all(x, [w](float v) { return v > w; }) ||
           all(y, [](float v) { return v < -1.0f; }) || all(y, [h](float v) { return v > h; });
  }
};

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

// Makes and binds a w x h texture filtered as the image flags say. Mipmapped textures get
// every level down to 1 x 1, or only levels 0 to max_level when that is not -1.
void create_texture(GLuint& name, int w, int h, int flags, int max_level = -1) {
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
    if (!mipmapped || (w == 1 && h == 1) || level == max_level) break;
    if (w >= 2) w /= 2;
    if (h >= 2) h /= 2;
    ++level;
  }
  if (mipmapped && max_level >= 0) glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, max_level);
}

// Writes the PixelRGBA8888 pixmap at (x, y) of the bound texture and, when mipmapped, its
// halvings at (x, y) >> level, down to 1 x 1 or to max_level.
void upload_texture(std::shared_ptr<TPixmap> p, int flags, int x = 0, int y = 0,
                    int max_level = -1) {
  const bool mipmapped = (flags & 4) != 0;
  for (int level = 0; p; ++level) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p->pitch / BytesPerPixel(p->format));
    glTexSubImage2D(GL_TEXTURE_2D, level, x >> level, y >> level, p->width, p->height, GL_RGBA,
                    GL_UNSIGNED_BYTE, p->pixels);
    if (!mipmapped || (p->width == 1 && p->height == 1) || level == max_level) break;
    p = ResizePixmap(p, std::max(1, p->width / 2), std::max(1, p->height / 2));
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// Top row first in memory becomes bottom row first, and back.
std::shared_ptr<TPixmap> flip_rows(const std::shared_ptr<TPixmap>& p) { return YFlipPixmap(p); }

void delete_texture(GLuint name, int serial) {
  // A texture of a context that is gone went with it.
  if (name == 0 || !GLContextLive() || serial != GLContextSerial()) return;
  if (batch_texture == name) flush();
  GLGraphicsDriver()->SwapSharedContext();
  glDeleteTextures(1, &name);
  if (bound_texture == name) bound_texture = 0;
  GLGraphicsDriver()->SwapSharedContext();
}

}  // namespace

struct TGLTexturePage {
  GLuint name = 0;
  int width = 0, height = 0;
  int serial = 0;  // the GL context it was made in
  ~TGLTexturePage() { delete_texture(name, serial); }
};

namespace {

// ---- shared textures ----
//
// The frames of a sheet live side by side in pages, each picture surrounded by `pad`
// texels that repeat its edge, so that filtering near an edge sees what clamping to the
// edge of a texture of its own would: never a neighbour. The first shelf of a page lies
// on the texture's top edge, which clamping repeats, so a sheet of equal frames that fits
// one shelf samples every row exactly as one texture per frame did. Mipmapped pages keep
// 4 texels of edge and 4-texel alignment and stop at level 2, where one texel of edge
// is still left around every picture.

constexpr int kPageMax = 2048;  // largest page side
constexpr int kOpenPage = 256;  // page side for a sheet whose size is not known

struct SheetCell {
  int page = 0;
  int x = 0, y = 0, w = 0, h = 0;  // the picture inside the page
};

struct TGLSheet {
  int serial = 0;  // the GL context the pages were made in
  int flags = 0;
  int pad = 1;
  int max_level = -1;
  std::vector<std::shared_ptr<TGLTexturePage>> pages;
  std::unordered_map<int, SheetCell> cells;  // by slot
  int placed = 0;
  int shelf_x = 0, shelf_y = 0, shelf_h = 0;  // packing of the last page
};

int round_up(int v, int a) { return (v + a - 1) / a * a; }

bool texture_size_ok(int w, int h) {
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint got = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got);
  return got != 0;
}

// A new page, cleared, big enough for the sheet's remaining slots where they are known;
// none when the GL cannot make one that holds a cell of cw x ch.
std::shared_ptr<TGLTexturePage> new_page(const TGLSheet& s, int slots, int cw, int ch0, int ch) {
  int pw = std::max(kOpenPage, pow2_at_least(cw));
  int ph = std::max(kOpenPage, pow2_at_least(ch0));
  if (slots > 0) {
    const int left = std::max(1, slots - s.placed);
    const int per_row = std::max(1, std::min(left, kPageMax / cw));
    const int rows = (left + per_row - 1) / per_row;
    pw = pow2_at_least(per_row * cw);
    ph = pow2_at_least(static_cast<int>(
        std::min<long long>(kPageMax, ch0 + static_cast<long long>(rows - 1) * ch)));
  }
  while (!texture_size_ok(pw, ph)) {
    if (pw >= ph && pw / 2 >= cw) {
      pw /= 2;
    } else if (ph / 2 >= ch0) {
      ph /= 2;
    } else {
      return nullptr;
    }
  }
  auto page = std::make_shared<TGLTexturePage>();
  create_texture(page->name, pw, ph, s.flags, s.max_level);
  page->width = pw;
  page->height = ph;
  page->serial = GLContextSerial();
  // Cleared in bands, so that no texel is left undefined.
  const int band = std::max(1, 16384 / pw);
  std::vector<unsigned char> zeros(static_cast<size_t>(pw) * band * 4, 0);
  for (int level = 0, w = pw, h = ph;; ++level) {
    for (int y = 0; y < h; y += band) {
      glTexSubImage2D(GL_TEXTURE_2D, level, 0, y, w, std::min(band, h - y), GL_RGBA,
                      GL_UNSIGNED_BYTE, zeros.data());
    }
    if (!(s.flags & 4) || level == s.max_level || (w == 1 && h == 1)) break;
    w = std::max(1, w / 2);
    h = std::max(1, h / 2);
  }
  return page;
}

// Finds room for a w x h picture: on the last page's shelves, else on a new page.
bool place(TGLSheet& s, int slots, int w, int h, SheetCell& cell) {
  const int p = s.pad;
  const int cw = round_up(w + 2 * p, p);
  const int ch0 = round_up(h + p, p);  // on the first shelf: no edge above
  const int ch = round_up(h + 2 * p, p);
  if (cw > kPageMax || ch > kPageMax) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!s.pages.empty()) {
      const TGLTexturePage& page = *s.pages.back();
      if (s.shelf_x + cw > page.width) {
        s.shelf_y += s.shelf_h;
        s.shelf_x = 0;
        s.shelf_h = 0;
      }
      const int height = s.shelf_y == 0 ? ch0 : ch;
      if (s.shelf_x + cw <= page.width && s.shelf_y + height <= page.height) {
        cell.page = static_cast<int>(s.pages.size()) - 1;
        cell.x = s.shelf_x + p;
        cell.y = s.shelf_y == 0 ? 0 : s.shelf_y + p;
        cell.w = w;
        cell.h = h;
        s.shelf_x += cw;
        s.shelf_h = std::max(s.shelf_h, height);
        ++s.placed;
        return true;
      }
    }
    std::shared_ptr<TGLTexturePage> page = new_page(s, slots, cw, ch0, ch);
    if (!page) return false;
    s.pages.push_back(std::move(page));
    s.shelf_x = s.shelf_y = s.shelf_h = 0;
  }
  return false;
}

// The picture with its edge repeated `left`, `top`, `right` and `bottom` texels outwards.
std::shared_ptr<TPixmap> with_edges(const std::shared_ptr<TPixmap>& pic, int left, int top,
                                    int right, int bottom) {
  const int w = pic->width;
  const int h = pic->height;
  std::shared_ptr<TPixmap> t = CreatePixmap(left + w + right, top + h + bottom, PixelRGBA8888);
  if (!t) return nullptr;
  for (int y = 0; y < t->height; ++y) {
    const uint8_t* src = pic->PixelPtr(0, std::clamp(y - top, 0, h - 1));
    uint8_t* dst = t->PixelPtr(0, y);
    for (int x = 0; x < left; ++x) std::memcpy(dst + 4 * x, src, 4);
    std::memcpy(dst + 4 * left, src, static_cast<size_t>(w) * 4);
    for (int x = left + w; x < t->width; ++x) std::memcpy(dst + 4 * x, src + 4 * (w - 1), 4);
  }
  return t;
}

// Writes the picture and its edges into its cell; binds the page.
bool upload_cell(const TGLSheet& s, const SheetCell& cell, const std::shared_ptr<TPixmap>& source) {
  std::shared_ptr<TPixmap> pic =
      source->format == PixelRGBA8888 ? source : source->Convert(PixelRGBA8888);
  if (!pic) return false;
  const int p = s.pad;
  const int top = cell.y == 0 ? 0 : p;
  const int cw = round_up(cell.w + 2 * p, p);
  const int ch = round_up(cell.h + top + p, p);
  std::shared_ptr<TPixmap> padded = with_edges(pic, p, top, cw - p - cell.w, ch - top - cell.h);
  if (!padded) return false;
  const TGLTexturePage& page = *s.pages[static_cast<size_t>(cell.page)];
  glBindTexture(GL_TEXTURE_2D, page.name);
  bound_texture = page.name;
  upload_texture(padded, s.flags, cell.x - p, cell.y - top, s.max_level);
  return true;
}

}  // namespace

// ---- TGLImageFrame ----

TGLImageFrame::~TGLImageFrame() {
  // A page's texture goes with the page.
  if (!_page && seq != 0) delete_texture(static_cast<GLuint>(name), _gl_serial);
  seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (name == 0) return;
  if (_page && !(_flags & FilteredImage) &&
      (m_ix != 1.0f || m_iy != 0.0f || m_jx != 0.0f || m_jy != 1.0f)) {
    // Turned or scaled, a sample can sit on the edge between two texels, where the
    // rounding of coordinates far into a page picks the other one than a texture of its
    // own would; a nearest texel would change whole, so such draws take a texture of
    // their own, made at the first. A filtered sample only shifts its weights a little.
    if (!_own && _source) {
      _own = std::dynamic_pointer_cast<TGLImageFrame>(
          GLRenderer()->CreateFrameFromPixmap(_source, _flags));
    }
    if (_own) {
      _own->Draw(x0, y0, x1, y1, tx, ty);
      return;
    }
  }
  if (reference_drawing) {
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
    return;
  }
  const Corners c(x0, y0, x1, y1, tx, ty);
  if (c.off_view()) return;
  float* at = batch_room(GL_QUADS, static_cast<GLuint>(name), 4);
  at = put(at, c.x[0], c.y[0], u0, v0);
  at = put(at, c.x[1], c.y[1], u1, v0);
  at = put(at, c.x[2], c.y[2], u1, v1);
  put(at, c.x[3], c.y[3], u0, v1);
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(
    const std::shared_ptr<TPixmap>& source, int flags) {
  if (!source || source->width < 1 || source->height < 1) return nullptr;

  int tw = pow2_at_least(source->width);
  int th = pow2_at_least(source->height);
  while (!texture_size_ok(tw, th)) {
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
  // What was drawn belongs to the graphics being left.
  flush();
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
  flush();
  GLGraphicsDriver()->Flip(sync);
}

bool TGL2DDriver::CanSyncToDisplay() { return GLGraphicsDriver()->CanSyncToDisplay(); }
void TGL2DDriver::SetWindowed(bool windowed) { GLGraphicsDriver()->SetWindowed(windowed); }
bool TGL2DDriver::Windowed() { return GLGraphicsDriver()->Windowed(); }

std::shared_ptr<TImageFrame> TGL2DDriver::CreateFrameFromPixmap(
    const std::shared_ptr<TPixmap>& pixmap, int flags) {
  if (!GLContextLive()) return nullptr;
  flush();
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
  if (reference_drawing || !GLContextLive() || !pixmap || pixmap->width < 1 || pixmap->height < 1) {
    return CreateFrameFromPixmap(pixmap, flags);
  }
  auto s = std::static_pointer_cast<TGLSheet>(sheet.renderer_state);
  if (!s || s->serial != GLContextSerial()) {
    // The first frame decides how the pages filter; a new context starts the sheet anew.
    s = std::make_shared<TGLSheet>();
    s->serial = GLContextSerial();
    s->flags = flags;
    if (flags & MipmappedImage) {
      s->pad = 4;
      s->max_level = 2;
    }
    sheet.renderer_state = s;
  }
  if (flags != s->flags) return CreateFrameFromPixmap(pixmap, flags);

  flush();
  TGLGraphicsDriver* gl = GLGraphicsDriver();
  gl->SwapSharedContext();
  // A slot keeps its cell; a picture of another size than the cell's, or too big to
  // share a page, gets a texture of its own.
  auto found = s->cells.find(slot);
  SheetCell cell;
  bool ok;
  if (found != s->cells.end()) {
    cell = found->second;
    ok = cell.w == pixmap->width && cell.h == pixmap->height;
  } else if ((ok = place(*s, slots, pixmap->width, pixmap->height, cell))) {
    s->cells[slot] = cell;
  }
  ok = ok && upload_cell(*s, cell, pixmap);
  gl->SwapSharedContext();
  if (!ok) return CreateFrameFromPixmap(pixmap, flags);

  const std::shared_ptr<TGLTexturePage>& page = s->pages[static_cast<size_t>(cell.page)];
  auto f = std::make_shared<TGLImageFrame>();
  f->_page = page;
  f->_source = pixmap;
  f->_flags = flags;
  f->name = static_cast<int>(page->name);
  const float pw = static_cast<float>(page->width);
  const float ph = static_cast<float>(page->height);
  f->u0 = static_cast<float>(cell.x) / pw;
  f->v0 = static_cast<float>(cell.y) / ph;
  f->u1 = static_cast<float>(cell.x + cell.w) / pw;
  f->v1 = static_cast<float>(cell.y + cell.h) / ph;
  f->seq = GraphicsGeneration();
  f->_gl_serial = page->serial;
  return f;
}

void TGL2DDriver::ResetGLContext(const std::shared_ptr<TGraphics>& graphics) {
  flush();
  int w = 0, h = 0, d = 0, hz = 0, f = 0;
  if (graphics) graphics->GetSettings(w, h, d, hz, f);
  cur_blend = 0;
  bound_texture = 0;
  texturing = false;
  color_sent = false;
  line_width = -1.0f;
  arrays_on = false;
  view_w = w;
  view_h = h;
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
  flush();
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

namespace {

// Batched, the colour travels with each vertex; immediate mode sends it at once.
void set_color(const unsigned char rgba[4]) {
  std::memcpy(color_bytes, rgba, 4);
  for (int i = 0; i < 4; ++i) color_f[i] = static_cast<float>(rgba[i]) / 255.0f;
  color_sent = false;
  if (reference_drawing) use_color();
}

}  // namespace

void TGL2DDriver::SetAlpha(float alpha) {
  if (alpha > 1.0f) alpha = 1.0f;
  if (!(alpha >= 0.0f)) alpha = 0.0f;  // also not-a-number
  const unsigned char rgba[4] = {color_bytes[0], color_bytes[1], color_bytes[2],
                                 static_cast<unsigned char>(alpha * 255.0f)};
  set_color(rgba);
}

void TGL2DDriver::SetColor(int red, int green, int blue) {
  const unsigned char rgba[4] = {static_cast<unsigned char>(clamp_byte(red)),
                                 static_cast<unsigned char>(clamp_byte(green)),
                                 static_cast<unsigned char>(clamp_byte(blue)), color_bytes[3]};
  set_color(rgba);
}

void TGL2DDriver::SetClsColor(int red, int green, int blue) {
  glClearColor(clamp_byte(red) / 255.0f, clamp_byte(green) / 255.0f, clamp_byte(blue) / 255.0f,
               1.0f);
}

void TGL2DDriver::SetViewport(int x, int y, int width, int height) {
  flush();
  if (x == 0 && y == 0 && width == GraphicsWidth() && height == GraphicsHeight()) {
    glDisable(GL_SCISSOR_TEST);
  } else {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, GraphicsHeight() - y - height, std::max(width, 0), std::max(height, 0));
  }
}

void TGL2DDriver::SetTransform(float ix, float iy, float jx, float jy) {
  // Vertices are transformed as they are batched, so nothing waiting depends on it.
  m_ix = ix;
  m_iy = iy;
  m_jx = jx;
  m_jy = jy;
}

void TGL2DDriver::SetLineWidth(float width) {
  if (!reference_drawing && width == line_width) return;
  flush();
  glLineWidth(width);
  line_width = width;
}

void TGL2DDriver::Cls() {
  flush();
  glClear(GL_COLOR_BUFFER_BIT);
}

// ---- primitives ----

void TGL2DDriver::Plot(float x, float y) {
  const float px = x + 0.5f;
  const float py = y + 0.5f;
  if (reference_drawing) {
    disable_tex();
    glBegin(GL_POINTS);
    glVertex2f(px, py);
    glEnd();
    return;
  }
  // A point whose pixel lies wholly outside the screen is clipped by the GL anyway; the
  // scan lines end each row with one, which would split their batch.
  if (px >= static_cast<float>(view_w) + 0.5f || py >= static_cast<float>(view_h) + 0.5f ||
      px < -0.5f || py < -0.5f) {
    return;
  }
  put(batch_room(GL_POINTS, 0, 1), px, py);
}

void TGL2DDriver::DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) {
  const float ax = screen_x(x0, y0, tx) + 0.5f, ay = screen_y(x0, y0, ty) + 0.5f;
  const float bx = screen_x(x1, y1, tx) + 0.5f, by = screen_y(x1, y1, ty) + 0.5f;
  if (reference_drawing) {
    disable_tex();
    glBegin(GL_LINES);
    glVertex2f(ax, ay);
    glVertex2f(bx, by);
    glEnd();
    return;
  }
  put(put(batch_room(GL_LINES, 0, 2), ax, ay), bx, by);
}

void TGL2DDriver::DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (reference_drawing) {
    disable_tex();
    glBegin(GL_QUADS);
    vertex(x0, y0, tx, ty);
    vertex(x1, y0, tx, ty);
    vertex(x1, y1, tx, ty);
    vertex(x0, y1, tx, ty);
    glEnd();
    return;
  }
  const Corners c(x0, y0, x1, y1, tx, ty);
  if (c.off_view()) return;
  float* at = batch_room(GL_QUADS, 0, 4);
  for (int i = 0; i < 4; ++i) at = put(at, c.x[i], c.y[i]);
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
  flush();
  disable_tex();
  use_color();
  glBegin(GL_POLYGON);
  for (int i = 0; i < segs; ++i) {
    const double a = static_cast<double>(i) * 360.0 / segs * 0.017453292519943295;
    vertex(cx + rx * static_cast<float>(std::cos(a)), cy - ry * static_cast<float>(std::sin(a)), tx,
           ty);
  }
  glEnd();
}

void TGL2DDriver::DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                           float ty) {
  if (xy.size() < 6 || (xy.size() & 1)) return;
  flush();
  disable_tex();
  use_color();
  glBegin(GL_POLYGON);
  for (size_t i = 0; i + 1 < xy.size(); i += 2)
    vertex(xy[i] + handle_x, xy[i + 1] + handle_y, tx, ty);
  glEnd();
}

void TGL2DDriver::DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1) return;
  std::shared_ptr<TPixmap> rows = flip_rows(pixmap);
  if (rows && rows->format != PixelRGBA8888) rows = rows->Convert(PixelRGBA8888);
  if (!rows) return;
  flush();
  const int old_blend = cur_blend;
  SetBlend(SolidBlend);
  disable_tex();
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
  flush();
  const int old_blend = cur_blend;
  SetBlend(SolidBlend);
  glPixelStorei(GL_PACK_ALIGNMENT, 4);
  glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  glReadPixels(x, GraphicsHeight() - height - y, width, height, GL_RGBA, GL_UNSIGNED_BYTE,
               p->pixels);
  SetBlend(old_blend);
  p = flip_rows(p);
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

int TGL2DDriver::CachedBlend() const { return cur_blend; }

void TGL2DDriver::CachedColor(unsigned char rgba[4]) const { std::memcpy(rgba, color_bytes, 4); }

void SetGLReferenceDrawing(bool on) {
  flush();
  reference_drawing = on;
  if (on) use_color();
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
