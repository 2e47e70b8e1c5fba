// The built-in 8 x 16 bitmap font behind the default image font.
#pragma once

#include <memory>

class TPixmap;

constexpr int kBuiltinFontGlyphs = 96;  // codes 32 to 127
constexpr int kBuiltinFontHeight = 16;
constexpr int kBuiltinFontBytes = kBuiltinFontGlyphs * kBuiltinFontHeight;

// 16 rows of 96 bytes: byte j of row i is row i of glyph j, least significant bit leftmost.
const unsigned char* BuiltinFontBits();
// The 768 x 16 PixelRGBA8888 sheet: ink white and opaque, the rest all zero.
std::shared_ptr<TPixmap> BuiltinFontSheet();
