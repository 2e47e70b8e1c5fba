// Image fonts: glyph pictures from a source font turned into images on first use,
// and text drawn and measured with the current context's font.
#include "graphics/draw/font.h"

#include "graphics/draw/builtin_font.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/freetype_font.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

std::shared_ptr<TFontLoader>& loader_chain() {
  static std::shared_ptr<TFontLoader> head;
  static bool seeded = false;
  if (!seeded) {
    // FreeType sits at the bottom; later loaders are asked before it.
    seeded = true;
    head = std::make_shared<TFreeTypeFontLoader>();
  }
  return head;
}

std::shared_ptr<TImageFont> current_font() {
  if (std::shared_ptr<T2DGraphics> g = T2DGraphics::Current())
    if (g->image_font) return g->image_font;
  return DefaultImageFont();
}

// A glyph's picture as an image whose texture the font's other glyphs share.
std::shared_ptr<TImage> glyph_image(const std::shared_ptr<TPixmap>& pixels, int flags,
                                    const std::shared_ptr<TFrameSheet>& sheet, int slot,
                                    int slots) {
  std::shared_ptr<TImage> image = TImage::Load(pixels, flags, 0, 0, 0);
  if (image) {
    image->_sheet = sheet;
    image->_sheet_slot = slot;
    image->_sheet_slots = slots;
  }
  return image;
}

// Truncation toward zero that cannot overflow.
int trunc_int(float f) {
  if (!(f > -2147483520.0f)) return f != f ? 0 : -2147483520;
  if (f >= 2147483520.0f) return 2147483520;
  return static_cast<int>(f);
}

}  // namespace

void AddFontLoader(std::shared_ptr<TFontLoader> loader) {
  if (!loader) return;
  std::shared_ptr<TFontLoader>& head = loader_chain();
  loader->_succ = head;
  head = std::move(loader);
}

std::shared_ptr<TFont> LoadFont(const std::string& source, int size, int style) {
  for (TFontLoader* l = loader_chain().get(); l; l = l->_succ.get())
    if (std::shared_ptr<TFont> font = l->LoadFont(source, size, style)) return font;
  return nullptr;
}

int TImageFont::Style() { return _src_font ? _src_font->Style() : 0; }

int TImageFont::Height() { return _src_font ? _src_font->Height() : kBuiltinFontHeight; }

int TImageFont::CountGlyphs() { return static_cast<int>(_glyphs.size()); }

int TImageFont::CharToGlyph(int code) {
  if (_src_font) return _src_font->CharToGlyph(code);
  return code >= 32 && code < 128 ? code - 32 : -1;
}

std::shared_ptr<TImageGlyph> TImageFont::LoadGlyph(int index) {
  if (index < 0 || index >= static_cast<int>(_glyphs.size())) return nullptr;
  if (_glyphs[index] || !_src_font) return _glyphs[index];
  auto glyph = std::make_shared<TImageGlyph>();
  _glyphs[index] = glyph;
  std::shared_ptr<TGlyph> src = _src_font->LoadGlyph(index);
  if (!src) return glyph;
  glyph->_advance = src->Advance();
  src->GetRect(glyph->_x, glyph->_y, glyph->_w, glyph->_h);
  // A PixelA8 picture becomes white texels with the coverage as alpha, so text
  // takes the current colour.
  if (std::shared_ptr<TPixmap> pixels = src->Pixels())
    glyph->_image = glyph_image(pixels->Copy(), _imageFlags, _sheet, index, 0);
  return glyph;
}

void TImageFont::Draw(const std::string& text, float x, float y, float ix, float iy, float jx,
                      float jy) {
  for (unsigned char code : text) {
    const int n = CharToGlyph(code);
    if (n < 0) continue;
    std::shared_ptr<TImageGlyph> glyph = LoadGlyph(n);
    if (!glyph) continue;
    if (glyph->_image) {
      if (std::shared_ptr<TImageFrame> frame = glyph->_image->Frame(0)) {
        const float gx = static_cast<float>(glyph->_x), gy = static_cast<float>(glyph->_y);
        frame->Draw(0.0f, 0.0f, static_cast<float>(glyph->_image->width),
                    static_cast<float>(glyph->_image->height), x + gx * ix + gy * iy,
                    y + gx * jx + gy * jy);
      }
    }
    x += ix * glyph->_advance;
    y += jx * glyph->_advance;
  }
}

std::shared_ptr<TImageFont> TImageFont::Load(const std::string& source, int size, int style) {
  std::shared_ptr<TFont> src = LoadFont(source, size, style);
  if (!src) return nullptr;
  auto font = std::make_shared<TImageFont>();
  font->_src_font = src;
  const int count = src->CountGlyphs();
  font->_glyphs.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  font->_imageFlags = (style & SmoothFont) ? FilteredImage | MipmappedImage : 0;
  font->_sheet = std::make_shared<TFrameSheet>();
  return font;
}

std::shared_ptr<TImageFont> TImageFont::CreateDefault() {
  auto font = std::make_shared<TImageFont>();
  font->_imageFlags = 0;
  font->_sheet = std::make_shared<TFrameSheet>();
  font->_glyphs.resize(kBuiltinFontGlyphs);
  std::shared_ptr<TPixmap> sheet = BuiltinFontSheet();
  if (!sheet) return font;
  for (int j = 0; j < kBuiltinFontGlyphs; ++j) {
    auto glyph = std::make_shared<TImageGlyph>();
    if (std::shared_ptr<TPixmap> cell = sheet->Window(j * 8, 0, 8, kBuiltinFontHeight))
      glyph->_image = glyph_image(cell->Copy(), 0, font->_sheet, j, kBuiltinFontGlyphs);
    glyph->_advance = 8.0f;
    glyph->_w = 8;
    glyph->_h = kBuiltinFontHeight;
    font->_glyphs[j] = glyph;
  }
  return font;
}

std::shared_ptr<TImageFont> DefaultImageFont() {
  static std::shared_ptr<TImageFont> font = TImageFont::CreateDefault();
  return font;
}

std::shared_ptr<TImageFont> LoadImageFont(const std::string& source, int size, int style) {
  return TImageFont::Load(source, size, style);
}

void DrawText(const std::string& text, float x, float y) {
  std::shared_ptr<T2DGraphics> g = T2DGraphics::Current();
  if (!g) return;
  std::shared_ptr<TImageFont> font = g->image_font ? g->image_font : DefaultImageFont();
  const float ix = g->tform_ix, iy = g->tform_iy, jx = g->tform_jx, jy = g->tform_jy;
  // The handle is stored negated, so adding it through the matrix moves the pen back.
  font->Draw(text, x + g->origin_x + g->handle_x * ix + g->handle_y * iy,
             y + g->origin_y + g->handle_x * jx + g->handle_y * jy, ix, iy, jx, jy);
}

int TextWidth(const std::string& text) {
  std::shared_ptr<TImageFont> font = current_font();
  int width = 0;
  for (unsigned char code : text) {
    const int n = font->CharToGlyph(code);
    if (n < 0) continue;
    if (std::shared_ptr<TImageGlyph> glyph = font->LoadGlyph(n))
      width = trunc_int(glyph->_advance + static_cast<float>(width));
  }
  return width;
}

int TextHeight(const std::string&) { return current_font()->Height(); }
