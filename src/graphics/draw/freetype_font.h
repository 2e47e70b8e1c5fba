// TrueType (and other FreeType-readable) fonts rasterised at one pixel size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/draw/font.h"

struct FT_FaceRec_;

class TFreeTypeGlyph : public TGlyph {
 public:
  std::shared_ptr<TPixmap> _pixmap;  // PixelA8 coverage, none for an empty glyph
  float _advance = 0.0f;
  int _x = 0, _y = 0, _w = 0, _h = 0;  // picture offset from the pen and its size

  std::shared_ptr<TPixmap> Pixels() override { return _pixmap; }
  float Advance() override { return _advance; }
  void GetRect(int& x, int& y, int& w, int& h) override {
    x = _x;
    y = _y;
    w = _w;
    h = _h;
  }
};

class TFreeTypeFont : public TFont {
 public:
  // The face reads these bytes for as long as it lives; the destructor closes the
  // face before they go.
  std::vector<std::uint8_t> _buf;  // the font file when it came from a stream
  int _buf_size = 0;
  FT_FaceRec_* _ft_face = nullptr;
  int _style = 0;
  int _height = 0, _ascend = 0, _descend = 0;
  std::vector<std::shared_ptr<TFreeTypeGlyph>> _glyphs;  // filled on demand

  ~TFreeTypeFont() override;
  int Style() override { return _style; }
  int Height() override { return _height; }
  int CountGlyphs() override { return static_cast<int>(_glyphs.size()); }
  int CharToGlyph(int code) override;
  std::shared_ptr<TGlyph> LoadGlyph(int index) override;

  // A path, or a stream address ("incbin::name") read whole into memory. When the
  // size is refused, the next smaller accepted size is used. None on any failure.
  static std::shared_ptr<TFreeTypeFont> Load(const std::string& source, int size, int style);
};

class TFreeTypeFontLoader : public TFontLoader {
 public:
  std::shared_ptr<TFont> LoadFont(const std::string& source, int size, int style) override;
};
