// Pixmaps: rectangles of pixels in memory, their formats and conversions, and
// picture loading through a chain of loaders (PNG).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "stream/stream.h"

// Pixel formats and their byte order in memory.
enum {
  PixelI8 = 1,        // intensity
  PixelA8 = 2,        // alpha
  PixelBGR888 = 3,    // blue, green, red
  PixelRGB888 = 4,    // red, green, blue
  PixelBGRA8888 = 5,  // blue, green, red, alpha
  PixelRGBA8888 = 6,  // red, green, blue, alpha
  // One-byte extractions, reachable only through conversion.
  PixelR8 = 7,          // red
  PixelG8 = 8,          // green
  PixelB8 = 9,          // blue
  PixelAlpha8 = 10,     // alpha
  PixelMeanRGBA8 = 11,  // (r + g + b + a) / 4
  PixelMeanRGB8 = 12,   // (r + g + b) / 3
};

// Largest side a pixmap may have; bigger requests are refused, not allocated.
constexpr int MaxPixmapSide = 16384;

int BytesPerPixel(int format);    // 0 for an unknown format
bool FormatHasAlpha(int format);  // PixelA8, PixelBGRA8888, PixelRGBA8888
// Converts count pixels from one format to another (through RGBA unless equal).
void ConvertPixels(const uint8_t* src, int src_format, uint8_t* dst, int dst_format, int count);

class TPixmap : public std::enable_shared_from_this<TPixmap> {
 public:
  uint8_t* pixels = nullptr;  // first byte of the top row
  int width = 0;
  int height = 0;
  int pitch = 0;  // bytes from one row to the next
  int format = 0;
  int capacity = 0;               // bytes owned, or -1 when the memory is someone else's
  std::shared_ptr<void> _source;  // keeps borrowed memory alive

  virtual ~TPixmap();

  // Address of a pixel; no bounds check, callers keep inside.
  virtual uint8_t* PixelPtr(int x, int y);
  // A pixmap sharing this one's memory; clipped to this pixmap, none when nothing is left.
  virtual std::shared_ptr<TPixmap> Window(int x, int y, int width, int height);
  virtual std::shared_ptr<TPixmap> Copy();
  // Converts source's rows into this pixmap at (x, y); whatever falls outside is dropped.
  virtual void Paste(const std::shared_ptr<TPixmap>& source, int x, int y);
  virtual std::shared_ptr<TPixmap> Convert(int format);
  // ARGB words; outside the pixmap ReadPixel gives 0 and WritePixel does nothing.
  virtual int ReadPixel(int x, int y);
  virtual void WritePixel(int x, int y, int argb);
  virtual void ClearPixels(int argb);

  // Memory allocated, not cleared. None for an unknown format or a size that is
  // negative or above MaxPixmapSide.
  static std::shared_ptr<TPixmap> Create(int width, int height, int format, int align = 4);
  // Wraps memory owned elsewhere (capacity -1).
  static std::shared_ptr<TPixmap> CreateStatic(void* pixels, int width, int height, int pitch,
                                               int format);

 private:
  std::unique_ptr<uint8_t[]> _memory;
};

std::shared_ptr<TPixmap> CreatePixmap(int width, int height, int format, int align = 4);

// Bilinear resize; the result keeps the source's format. None for a size below 1.
std::shared_ptr<TPixmap> ResizePixmap(const std::shared_ptr<TPixmap>& pixmap, int width,
                                      int height);
// A PixelRGBA8888 copy in which pixels of the mask colour are transparent and take the
// mean colour of their unmasked neighbours, so filtered edges do not darken.
std::shared_ptr<TPixmap> MaskPixmap(const std::shared_ptr<TPixmap>& pixmap, int red, int green,
                                    int blue);
// Mirror copies: XFlipPixmap reverses each row, YFlipPixmap the order of the rows.
std::shared_ptr<TPixmap> XFlipPixmap(const std::shared_ptr<TPixmap>& pixmap);
std::shared_ptr<TPixmap> YFlipPixmap(const std::shared_ptr<TPixmap>& pixmap);

// Picture loaders form a chain, the newest first.
class TPixmapLoader {
 public:
  std::shared_ptr<TPixmapLoader> _succ;

  virtual ~TPixmapLoader() = default;
  virtual std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) = 0;
};

class TPixmapLoaderPNG : public TPixmapLoader {
 public:
  std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) override;
};

void register_pixmap_loader(std::shared_ptr<TPixmapLoader> loader);
// Registers the PNG loader (and the stream factories); safe to call twice.
void init_pixmap_module();

// Loading never raises for a bad picture: every refusal gives none. A pixmap source is
// returned as it is; a stream source is read from its position and closed afterwards.
std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TPixmap>& source);
std::shared_ptr<TPixmap> LoadPixmap(const std::string& url);
std::shared_ptr<TPixmap> LoadPixmap(const char* url);
std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream);
