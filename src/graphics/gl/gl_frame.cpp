#include "graphics/gl/gl_frame.h"

#include <SDL.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "graphics/draw/image.h"
#include "graphics/gl/gl2d.h"
#include "graphics/gl/gl_renderer.h"
#include "graphics/gl/glgraphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

bool texture_size_ok(int w, int h) {
  glTexImage2D(GL_PROXY_TEXTURE_2D, 0, 4, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  GLint got = 0;
  glGetTexLevelParameteriv(GL_PROXY_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &got);
  return got != 0;
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
  const bool filtered = (flags & FilteredImage) != 0;
  const bool mipmapped = (flags & MipmappedImage) != 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  g_gl2d.bound_texture = name;
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
  const bool mipmapped = (flags & MipmappedImage) != 0;
  for (int level = 0; p; ++level) {
    glPixelStorei(GL_UNPACK_ROW_LENGTH, p->pitch / BytesPerPixel(p->format));
    glTexSubImage2D(GL_TEXTURE_2D, level, x >> level, y >> level, p->width, p->height, GL_RGBA,
                    GL_UNSIGNED_BYTE, p->pixels);
    if (!mipmapped || (p->width == 1 && p->height == 1) || level == max_level) break;
    p = ResizePixmap(p, std::max(1, p->width / 2), std::max(1, p->height / 2));
  }
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void delete_texture(GLuint name, int serial) {
  // A texture of a context that is gone went with it.
  if (name == 0 || !GLContextLive() || serial != GLContextSerial()) return;
  if (g_gl2d.batch.texture == name) gl2d_flush();
  GLGraphicsDriver()->SwapSharedContext();
  glDeleteTextures(1, &name);
  if (g_gl2d.bound_texture == name) g_gl2d.bound_texture = 0;
  GLGraphicsDriver()->SwapSharedContext();
}

// The pages of one sheet, textures of the GL context they were made in.
class TGLSheet : public TAtlas {
 public:
  using TAtlas::TAtlas;
  int serial = 0;

 protected:
  bool PageFits(int w, int h) override { return texture_size_ok(w, h); }

  std::shared_ptr<TAtlasPage> MakePage(int w, int h) override {
    auto page = std::make_shared<TGLTexturePage>();
    GLuint name = 0;
    create_texture(name, w, h, flags, max_level);
    page->name = name;
    page->width = w;
    page->height = h;
    page->serial = GLContextSerial();
    // Cleared in bands, so that no texel is left undefined.
    const int band = std::max(1, 16384 / w);
    std::vector<unsigned char> zeros(static_cast<size_t>(w) * band * 4, 0);
    for (int level = 0, lw = w, lh = h;; ++level) {
      for (int y = 0; y < lh; y += band) {
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, y, lw, std::min(band, lh - y), GL_RGBA,
                        GL_UNSIGNED_BYTE, zeros.data());
      }
      if (!(flags & MipmappedImage) || level == max_level || (lw == 1 && lh == 1)) break;
      lw = std::max(1, lw / 2);
      lh = std::max(1, lh / 2);
    }
    return page;
  }
};

// Writes the picture and its edges into its cell; binds the page.
bool upload_cell(const TGLSheet& s, const TAtlasCell& cell,
                 const std::shared_ptr<TPixmap>& source) {
  int x = 0, y = 0;
  std::shared_ptr<TPixmap> padded = s.PaddedPicture(cell, source, x, y);
  if (!padded) return false;
  const auto& page = static_cast<const TGLTexturePage&>(*s.pages[static_cast<size_t>(cell.page)]);
  glBindTexture(GL_TEXTURE_2D, page.name);
  g_gl2d.bound_texture = page.name;
  upload_texture(padded, s.flags, x, y, s.max_level);
  return true;
}

}  // namespace

TGLTexturePage::~TGLTexturePage() { delete_texture(name, serial); }

TGLImageFrame::~TGLImageFrame() {
  // A page's texture goes with the page.
  if (!_page && seq != 0) delete_texture(static_cast<GLuint>(name), _gl_serial);
  seq = 0;
}

void TGLImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (name == 0) return;
  const TRenderState& s = g_gl2d.state;
  if (_page && !(_flags & FilteredImage) &&
      (s.ix != 1.0f || s.iy != 0.0f || s.jx != 0.0f || s.jy != 1.0f)) {
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
  const TScreenQuad c(s, x0, y0, x1, y1, tx, ty);
  if (c.OffScreen(s)) return;
  const TQuadBatch& b = g_gl2d.batch;
  float* at = gl2d_room(TBatchKind::Quads, static_cast<GLuint>(name), 4);
  at = b.Put(at, c.x[0], c.y[0], u0, v0);
  at = b.Put(at, c.x[1], c.y[1], u1, v0);
  at = b.Put(at, c.x[2], c.y[2], u1, v1);
  b.Put(at, c.x[3], c.y[3], u0, v1);
}

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateFromPixmap(
    const std::shared_ptr<TPixmap>& source, int flags) {
  if (!source || source->width < 1 || source->height < 1) return nullptr;

  int tw = PowerOfTwoAtLeast(source->width);
  int th = PowerOfTwoAtLeast(source->height);
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

std::shared_ptr<TGLImageFrame> TGLImageFrame::CreateOnSheet(TFrameSheet& sheet, int slot, int slots,
                                                            const std::shared_ptr<TPixmap>& pixmap,
                                                            int flags) {
  if (!GLContextLive() || !pixmap || pixmap->width < 1 || pixmap->height < 1) return nullptr;
  auto s = std::static_pointer_cast<TGLSheet>(sheet.renderer_state);
  if (!s || s->serial != GLContextSerial()) {
    // The first frame decides how the pages filter; a new context starts the sheet anew.
    s = std::make_shared<TGLSheet>(flags);
    s->serial = GLContextSerial();
    sheet.renderer_state = s;
  }
  if (flags != s->flags) return nullptr;

  gl2d_flush();
  TGLGraphicsDriver* gl = GLGraphicsDriver();
  gl->SwapSharedContext();
  TAtlasCell cell;
  const bool ok =
      s->CellFor(slot, slots, pixmap->width, pixmap->height, cell) && upload_cell(*s, cell, pixmap);
  gl->SwapSharedContext();
  if (!ok) return nullptr;

  auto page = std::static_pointer_cast<TGLTexturePage>(s->pages[static_cast<size_t>(cell.page)]);
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
