// Pixmaps: formats, row conversion, and the operations on one pixmap.
#include "graphics/pixmap/pixmap.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

int BytesPerPixel(int format) {
  switch (format) {
    case PixelBGR888:
    case PixelRGB888: return 3;
    case PixelBGRA8888:
    case PixelRGBA8888: return 4;
    default: return format >= PixelI8 && format <= PixelMeanRGB8 ? 1 : 0;
  }
}

bool FormatHasAlpha(int format) {
  return format == PixelA8 || format == PixelBGRA8888 || format == PixelRGBA8888;
}

namespace {

// One pixel of any format to r, g, b, a.
inline void to_rgba(const uint8_t* s, int format, uint8_t* d) {
  switch (format) {
    case PixelA8:
    case PixelAlpha8:
      d[0] = d[1] = d[2] = 255;
      d[3] = s[0];
      break;
    case PixelBGR888: d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = 255; break;
    case PixelRGB888: d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255; break;
    case PixelBGRA8888: d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3]; break;
    case PixelRGBA8888: std::memcpy(d, s, 4); break;
    default:  // intensity and the one-byte extractions read back as grey
      d[0] = d[1] = d[2] = s[0];
      d[3] = 255;
      break;
  }
}

// r, g, b, a to one pixel of any format.
inline void from_rgba(const uint8_t* s, int format, uint8_t* d) {
  switch (format) {
    case PixelI8:
    case PixelMeanRGB8: d[0] = static_cast<uint8_t>((s[0] + s[1] + s[2]) / 3); break;
    case PixelA8:
    case PixelAlpha8: d[0] = s[3]; break;
    case PixelBGR888: d[0] = s[2], d[1] = s[1], d[2] = s[0]; break;
    case PixelRGB888: d[0] = s[0], d[1] = s[1], d[2] = s[2]; break;
    case PixelBGRA8888: d[0] = s[2], d[1] = s[1], d[2] = s[0], d[3] = s[3]; break;
    case PixelRGBA8888: std::memcpy(d, s, 4); break;
    case PixelR8: d[0] = s[0]; break;
    case PixelG8: d[0] = s[1]; break;
    case PixelB8: d[0] = s[2]; break;
    case PixelMeanRGBA8: d[0] = static_cast<uint8_t>((s[0] + s[1] + s[2] + s[3]) / 4); break;
    default: break;
  }
}

inline void argb_to_rgba(int argb, uint8_t* d) {
  const auto v = static_cast<uint32_t>(argb);
  d[0] = static_cast<uint8_t>(v >> 16);
  d[1] = static_cast<uint8_t>(v >> 8);
  d[2] = static_cast<uint8_t>(v);
  d[3] = static_cast<uint8_t>(v >> 24);
}

inline int rgba_to_argb(const uint8_t* s) {
  return static_cast<int>(static_cast<uint32_t>(s[3]) << 24 | static_cast<uint32_t>(s[0]) << 16 |
                          static_cast<uint32_t>(s[1]) << 8 | s[2]);
}

}  // namespace

void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int count) {
  const int sb = BytesPerPixel(src_format);
  const int db = BytesPerPixel(dst_format);
  if (!sb || !db || count <= 0) return;
  if (src_format == dst_format) {
    std::memmove(dst, src, static_cast<size_t>(count) * sb);
    return;
  }
  uint8_t rgba[4];
  for (int i = 0; i < count; ++i, src += sb, dst += db) {
    to_rgba(src, src_format, rgba);
    from_rgba(rgba, dst_format, dst);
  }
}

TPixmap::~TPixmap() = default;

uint8_t* TPixmap::PixelPtr(int x, int y) {
  return pixels + static_cast<ptrdiff_t>(y) * pitch +
         static_cast<ptrdiff_t>(x) * BytesPerPixel(format);
}

std::shared_ptr<TPixmap> TPixmap::Window(int x, int y, int w, int h) {
  // Clipped, so a window can never reach memory outside this pixmap.
  const int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  const int64_t x1 = std::min<int64_t>(int64_t{x} + w, width);
  const int64_t y1 = std::min<int64_t>(int64_t{y} + h, height);
  if (x1 <= x0 || y1 <= y0) return nullptr;
  auto win = CreateStatic(PixelPtr(static_cast<int>(x0), static_cast<int>(y0)),
                          static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), pitch, format);
  if (win) win->_source = weak_from_this().lock();
  return win;
}

std::shared_ptr<TPixmap> TPixmap::Copy() {
  auto copy = Create(width, height, format, 4);
  if (!copy) return nullptr;
  const size_t row = static_cast<size_t>(width) * BytesPerPixel(format);
  for (int y = 0; y < height; ++y) std::memcpy(copy->PixelPtr(0, y), PixelPtr(0, y), row);
  return copy;
}

void TPixmap::Paste(const std::shared_ptr<TPixmap>& source, int x, int y) {
  if (!source) return;
  // Only the part that lands inside this pixmap is written.
  const int sx = std::max(0, -x);
  const int dx = std::max(0, x);
  const int64_t n = std::min<int64_t>(int64_t{source->width} - sx, int64_t{width} - dx);
  if (n <= 0) return;
  const int first = std::max(0, -y);
  const int last = static_cast<int>(std::min<int64_t>(source->height, int64_t{height} - y));
  for (int i = first; i < last; ++i) {
    ConvertPixels(source->PixelPtr(sx, i), source->format, PixelPtr(dx, y + i), format,
                  static_cast<int>(n));
  }
}

std::shared_ptr<TPixmap> TPixmap::Convert(int to_format) {
  auto out = Create(width, height, to_format, 4);
  if (!out) return nullptr;
  for (int y = 0; y < height; ++y)
    ConvertPixels(PixelPtr(0, y), format, out->PixelPtr(0, y), to_format, width);
  return out;
}

int TPixmap::ReadPixel(int x, int y) {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0;
  uint8_t rgba[4];
  to_rgba(PixelPtr(x, y), format, rgba);
  return rgba_to_argb(rgba);
}

void TPixmap::WritePixel(int x, int y, int argb) {
  if (x < 0 || y < 0 || x >= width || y >= height) return;
  uint8_t rgba[4];
  argb_to_rgba(argb, rgba);
  from_rgba(rgba, format, PixelPtr(x, y));
}

void TPixmap::ClearPixels(int argb) {
  const int bpp = BytesPerPixel(format);
  const size_t row = static_cast<size_t>(width) * bpp;
  if (!pixels || !bpp || row == 0) return;
  if (argb == 0 && static_cast<size_t>(pitch) == row) {
    std::memset(pixels, 0, row * height);
    return;
  }
  uint8_t value[4] = {};
  if (argb != 0) {
    uint8_t rgba[4];
    argb_to_rgba(argb, rgba);
    from_rgba(rgba, format, value);
  }
  for (int y = 0; y < height; ++y) {
    uint8_t* p = PixelPtr(0, y);
    if (argb == 0) {
      std::memset(p, 0, row);
      continue;
    }
    for (int x = 0; x < width; ++x, p += bpp) std::memcpy(p, value, bpp);
  }
}

std::shared_ptr<TPixmap> TPixmap::Create(int w, int h, int fmt, int align) {
  const int bpp = BytesPerPixel(fmt);
  if (!bpp || w < 0 || h < 0 || w > MaxPixmapSide || h > MaxPixmapSide) return nullptr;
  if (align < 1) align = 1;
  const int64_t pitch64 = (int64_t{w} * bpp + align - 1) / align * align;
  const int64_t bytes = pitch64 * h;
  if (pitch64 > INT_MAX || bytes > INT_MAX) return nullptr;
  auto pm = std::make_shared<TPixmap>();
  // Left uncleared: most pixmaps are filled at once by a loader or a conversion.
  pm->_memory.reset(new (std::nothrow) uint8_t[std::max<int64_t>(bytes, 1)]);
  if (!pm->_memory) return nullptr;
  pm->pixels = pm->_memory.get();
  pm->width = w;
  pm->height = h;
  pm->pitch = static_cast<int>(pitch64);
  pm->format = fmt;
  pm->capacity = static_cast<int>(bytes);
  return pm;
}

std::shared_ptr<TPixmap> TPixmap::CreateStatic(void* pix, int w, int h, int pitch, int fmt) {
  if (!BytesPerPixel(fmt) || w < 0 || h < 0 || (!pix && w > 0 && h > 0)) return nullptr;
  auto pm = std::make_shared<TPixmap>();
  pm->pixels = static_cast<uint8_t*>(pix);
  pm->width = w;
  pm->height = h;
  pm->pitch = pitch;
  pm->format = fmt;
  pm->capacity = -1;
  return pm;
}

std::shared_ptr<TPixmap> CreatePixmap(int width, int height, int format, int align) {
  return TPixmap::Create(width, height, format, align);
}
