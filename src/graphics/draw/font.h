// Source fonts (FreeType, the built-in 8 x 16 font) and image fonts: text drawn as
// a row of glyph images through the normal image path, so it follows the current
// colour, alpha, blend, rotation, scale, origin and handle.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TPixmap;
class TImage;
class TFrameSheet;

constexpr int SmoothFont = 4;  // glyphs padded and filtered so that edges fade out

class TGlyph {
 public:
  virtual ~TGlyph() = default;
  virtual std::shared_ptr<TPixmap> Pixels() = 0;  // none for an empty glyph
  virtual float Advance() = 0;
  virtual void GetRect(int& x, int& y, int& w, int& h) = 0;  // picture offset from the pen, size
};

class TFont {
 public:
  virtual ~TFont() = default;
  virtual int Style() = 0;
  virtual int Height() = 0;
  virtual int CountGlyphs() = 0;
  virtual int CharToGlyph(int code) = 0;  // -1 when the font has no glyph
  virtual std::shared_ptr<TGlyph> LoadGlyph(int index) = 0;
};

class TFontLoader {
 public:
  std::shared_ptr<TFontLoader> _succ;
  virtual ~TFontLoader() = default;
  virtual std::shared_ptr<TFont> LoadFont(const std::string& source, int size, int style) = 0;
};

// Puts a loader at the head of the chain. The FreeType loader is always in it.
void AddFontLoader(std::shared_ptr<TFontLoader> loader);
// Asks each loader, newest first; the first font wins. None when none can.
std::shared_ptr<TFont> LoadFont(const std::string& source, int size, int style);

class TImageGlyph {
 public:
  std::shared_ptr<TImage> _image;  // none for an empty glyph
  float _advance = 0.0f;
  int _x = 0, _y = 0, _w = 0, _h = 0;
};

class TImageFont {
 public:
  std::shared_ptr<TFont> _src_font;                   // none for the built-in font
  std::vector<std::shared_ptr<TImageGlyph>> _glyphs;  // filled on demand
  int _imageFlags = 0;
  std::shared_ptr<TFrameSheet> _sheet;  // the glyph images share it, so text draws from one texture

  virtual ~TImageFont() = default;
  virtual int Style();
  virtual int Height();
  virtual int CountGlyphs();
  virtual int CharToGlyph(int code);
  virtual std::shared_ptr<TImageGlyph> LoadGlyph(int index);
  // Draws with the pen at (x, y) (already moved by origin and handle) under the matrix.
  virtual void Draw(const std::string& text, float x, float y, float ix, float iy, float jx,
                    float jy);

  static std::shared_ptr<TImageFont> Load(const std::string& source, int size, int style);
  // A new built-in 8 x 16 font for the codes 32 to 127.
  static std::shared_ptr<TImageFont> CreateDefault();
};

// The process-wide built-in font, made on the first call (the drawing context asks
// for it when the first context is created).
std::shared_ptr<TImageFont> DefaultImageFont();

// Source: a file path or a stream address such as "incbin::skyfont.ttf".
std::shared_ptr<TImageFont> LoadImageFont(const std::string& source, int size, int style = 0);
// The current context's font; none selects the built-in font (kept with the context, draw2d.cpp).
void SetImageFont(std::shared_ptr<TImageFont> font);
std::shared_ptr<TImageFont> GetImageFont();
void DrawText(const std::string& text, float x, float y);
int TextWidth(const std::string& text);
int TextHeight(const std::string& text);
