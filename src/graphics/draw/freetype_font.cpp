// FreeType source fonts. A broken or hostile font file must give no font, never a
// crash: every FreeType call is checked and every bitmap copied within its bounds.
#include "graphics/draw/freetype_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstring>

#include "graphics/pixmap/pixmap.h"
#include "stream/stream.h"

namespace {

FT_Library freetype() {
  static FT_Library library = nullptr;
  static bool tried = false;
  if (!tried) {
    tried = true;
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  return library;
}

// The whole stream in memory; empty when it cannot be opened or read.
std::vector<std::uint8_t> read_whole(const std::string& source) {
  std::vector<std::uint8_t> bytes;
  try {
    std::shared_ptr<TStream> stream = read_file(source);
    if (!stream) return bytes;
    std::uint8_t chunk[16384];
    for (;;) {
      const int n = stream->Read(chunk, static_cast<int>(sizeof chunk));
      if (n <= 0) break;
      bytes.insert(bytes.end(), chunk, chunk + n);
    }
    stream->Close();
  } catch (const TStreamException&) {
    bytes.clear();
  }
  return bytes;
}

// A PixelA8 copy of a rendered glyph bitmap; none for an empty or unknown kind.
std::shared_ptr<TPixmap> bitmap_pixmap(const FT_Bitmap& bm) {
  const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
  if (w <= 0 || h <= 0 || !bm.buffer) return nullptr;
  if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return nullptr;
  std::shared_ptr<TPixmap> pm = CreatePixmap(w, h, PixelA8, 4);
  if (!pm) return nullptr;
  const int pitch = bm.pitch;
  const int stride = pitch < 0 ? -pitch : pitch;
  for (int y = 0; y < h; ++y) {
    // A negative pitch means the rows are stored bottom first.
    const unsigned char* row =
        bm.buffer + static_cast<std::ptrdiff_t>(pitch < 0 ? h - 1 - y : y) * stride;
    std::uint8_t* out = pm->PixelPtr(0, y);
    if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
      std::memcpy(out, row, static_cast<std::size_t>(w));
    } else {
      for (int x = 0; x < w; ++x) out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
    }
  }
  return pm;
}

}  // namespace

TFreeTypeFont::~TFreeTypeFont() {
  if (_ft_face) FT_Done_Face(_ft_face);
}

int TFreeTypeFont::CharToGlyph(int code) {
  if (!_ft_face || code < 0) return -1;
  // FreeType's glyph 0 is the missing-glyph box: it becomes -1, glyph n is n + 1.
  return static_cast<int>(FT_Get_Char_Index(_ft_face, static_cast<FT_ULong>(code))) - 1;
}

std::shared_ptr<TGlyph> TFreeTypeFont::LoadGlyph(int index) {
  if (index < 0 || index >= static_cast<int>(_glyphs.size())) return nullptr;
  if (_glyphs[index]) return _glyphs[index];
  auto glyph = std::make_shared<TFreeTypeGlyph>();
  _glyphs[index] = glyph;
  if (!_ft_face || FT_Load_Glyph(_ft_face, static_cast<FT_UInt>(index + 1), FT_LOAD_RENDER) != 0)
    return glyph;  // exists, but draws nothing and does not move the pen
  const FT_GlyphSlot slot = _ft_face->glyph;
  glyph->_x = slot->bitmap_left;
  glyph->_y = _ascend - slot->bitmap_top;
  glyph->_w = static_cast<int>(slot->bitmap.width);
  glyph->_h = static_cast<int>(slot->bitmap.rows);
  glyph->_advance = static_cast<float>(slot->advance.x >> 6);
  if (glyph->_w > 0) glyph->_pixmap = bitmap_pixmap(slot->bitmap);
  if (_style & SmoothFont) {
    // One clear pixel all round, so that filtered edges fade out.
    glyph->_x -= 1;
    glyph->_y -= 1;
    glyph->_w += 2;
    glyph->_h += 2;
    if (glyph->_pixmap) {
      std::shared_ptr<TPixmap> padded =
          CreatePixmap(glyph->_pixmap->width + 2, glyph->_pixmap->height + 2, PixelA8, 4);
      if (padded) {
        padded->ClearPixels(0);
        padded->Paste(glyph->_pixmap, 1, 1);
      }
      glyph->_pixmap = padded;
    }
  }
  return glyph;
}

std::shared_ptr<TFreeTypeFont> TFreeTypeFont::Load(const std::string& source, int size, int style) {
  FT_Library library = freetype();
  // A size below 1 would never reach 0 by counting down.
  if (!library || source.empty() || size < 1) return nullptr;
  auto font = std::make_shared<TFreeTypeFont>();
  font->_style = style;
  FT_Face face = nullptr;
  if (source.find("::", 1) != std::string::npos) {
    font->_buf = read_whole(source);
    if (font->_buf.empty()) return nullptr;
    font->_buf_size = static_cast<int>(font->_buf.size());
    if (FT_New_Memory_Face(library, font->_buf.data(), static_cast<FT_Long>(font->_buf.size()), 0,
                           &face) != 0)
      return nullptr;
  } else if (FT_New_Face(library, source.c_str(), 0, &face) != 0) {
    return nullptr;
  }
  font->_ft_face = face;
  while (size != 0 && FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(size)) != 0) --size;
  if (size == 0 || !face->size) return nullptr;  // the face is released with the font
  const FT_Size_Metrics& m = face->size->metrics;
  font->_height = static_cast<int>(m.height >> 6);
  font->_ascend = static_cast<int>(m.ascender >> 6);
  font->_descend = static_cast<int>(m.descender >> 6);
  font->_glyphs.resize(face->num_glyphs > 0 ? static_cast<std::size_t>(face->num_glyphs) : 0);
  return font;
}

std::shared_ptr<TFont> TFreeTypeFontLoader::LoadFont(const std::string& source, int size,
                                                     int style) {
  return TFreeTypeFont::Load(source, size, style);
}
