// Picture loading: the loader chain and the PNG loader over libpng.
#include <png.h>

#include <climits>
#include <csetjmp>
#include <vector>

#include "graphics/pixmap/pixmap.h"

namespace {

std::shared_ptr<TPixmapLoader>& loader_head() {
  static std::shared_ptr<TPixmapLoader> head;
  return head;
}

// Reads exactly count bytes unless the stream runs dry; true when all arrived.
bool read_fully(TStream& stream, uint8_t* buf, size_t count) {
  while (count > 0) {
    const int want = static_cast<int>(std::min<size_t>(count, INT_MAX));
    const int n = stream.Read(buf, want);
    if (n <= 0) return false;
    buf += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

// Everything one decode owns; the destructor releases libpng's side however the
// decode ended, so an error jump out of libpng leaks nothing.
struct PngDecode {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TStream* stream = nullptr;
  int64_t remaining = -1;  // bytes after the signature, when the stream knows
  std::shared_ptr<TPixmap> pixmap;
  std::vector<png_bytep> rows;

  ~PngDecode() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

// libpng's read callback. No C++ object may be alive when png_error jumps out,
// so exceptions are settled inside the try and the jump comes after it.
void png_read_stream(png_structp png, png_bytep data, size_t length) {
  auto* d = static_cast<PngDecode*>(png_get_io_ptr(png));
  bool ok = false;
  try {
    ok = read_fully(*d->stream, data, length);
  } catch (...) {
    ok = false;
  }
  if (!ok) png_error(png, "truncated");
}

void png_fail(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_quiet(png_structp, png_const_charp) {}

// Makes the pixmap and the row table; false when the size cannot be had.
bool png_make_pixmap(PngDecode* d, int width, int height, int format) {
  try {
    d->pixmap = TPixmap::Create(width, height, format, 4);
    if (!d->pixmap) return false;
    d->rows.resize(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y) d->rows[y] = d->pixmap->PixelPtr(0, y);
    return true;
  } catch (const std::bad_alloc&) {
    d->pixmap.reset();
    return false;
  }
}

// Runs under the error jump set by png_decode; returns false on a refusal of its own.
[[gnu::noinline]] bool png_decode_body(PngDecode* d) {
  png_structp png = d->png;
  png_infop info = d->info;
  png_read_info(png, info);

  png_uint_32 w = 0, h = 0;
  int depth = 0, ctype = 0, interlace = 0;
  png_get_IHDR(png, info, &w, &h, &depth, &ctype, &interlace, nullptr, nullptr);
  if (w == 0 || h == 0 || w > MaxPixmapSide || h > MaxPixmapSide) return false;

  // Deflate packs at most 1032 bytes into one; a header promising more pixels than
  // the rest of the stream could hold is a lie, and refusing it early saves a huge
  // allocation and a long decode.
  if (d->remaining >= 0) {
    const uint64_t bits =
        uint64_t{w} * h * png_get_channels(png, info) * static_cast<unsigned>(depth);
    if (static_cast<uint64_t>(d->remaining) * 1032 + 1024 < bits / 8) return false;
  }

  png_set_strip_16(png);
  png_set_expand(png);
  // Grey with alpha (or grey with a transparent key) is kept as RGBA.
  if (ctype == PNG_COLOR_TYPE_GRAY_ALPHA ||
      (ctype == PNG_COLOR_TYPE_GRAY && png_get_valid(png, info, PNG_INFO_tRNS))) {
    png_set_gray_to_rgb(png);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);

  if (png_get_bit_depth(png, info) != 8) return false;
  int format = 0;
  switch (png_get_color_type(png, info)) {
    case PNG_COLOR_TYPE_GRAY: format = PixelI8; break;
    case PNG_COLOR_TYPE_RGB: format = PixelRGB888; break;
    case PNG_COLOR_TYPE_RGB_ALPHA: format = PixelRGBA8888; break;
    default: return false;
  }
  if (png_get_rowbytes(png, info) != static_cast<size_t>(w) * BytesPerPixel(format)) return false;
  if (!png_make_pixmap(d, static_cast<int>(w), static_cast<int>(h), format)) return false;

  png_read_image(png, d->rows.data());
  png_read_end(png, nullptr);
  return true;
}

// Holds the error jump only; nothing here is live across it.
bool png_decode(PngDecode* d) {
  if (setjmp(png_jmpbuf(d->png))) return false;
  return png_decode_body(d);
}

}  // namespace

std::shared_ptr<TPixmap> TPixmapLoaderPNG::LoadPixmap(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  png_byte sig[8];
  if (!read_fully(*stream, sig, sizeof sig) || png_sig_cmp(sig, 0, sizeof sig) != 0) return nullptr;

  PngDecode d;
  d.stream = stream.get();
  const int64_t pos = stream->Pos(), size = stream->Size();
  if (pos >= 0 && size >= pos) d.remaining = size - pos;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, png_fail, png_quiet);
  if (!d.png) return nullptr;
  d.info = png_create_info_struct(d.png);
  if (!d.info) return nullptr;
  png_set_read_fn(d.png, &d, png_read_stream);
  png_set_sig_bytes(d.png, sizeof sig);
  png_set_user_limits(d.png, MaxPixmapSide, MaxPixmapSide);
  // Ancillary chunks (text, colour profiles) are not needed; keep them from eating memory.
  png_set_chunk_malloc_max(d.png, 8u << 20);

  if (!png_decode(&d)) return nullptr;
  return std::move(d.pixmap);
}

void register_pixmap_loader(std::shared_ptr<TPixmapLoader> loader) {
  if (!loader) return;
  loader->_succ = loader_head();
  loader_head() = std::move(loader);
}

void init_pixmap_module() {
  init_stream_module();
  static bool done = false;
  if (done) return;
  done = true;
  register_pixmap_loader(std::make_shared<TPixmapLoaderPNG>());
}

std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TPixmap>& source) { return source; }

std::shared_ptr<TPixmap> LoadPixmap(const std::string& url) {
  if (url.empty()) return nullptr;
  return LoadPixmap(read_file(url));
}

std::shared_ptr<TPixmap> LoadPixmap(const char* url) {
  return url ? LoadPixmap(std::string(url)) : nullptr;
}

std::shared_ptr<TPixmap> LoadPixmap(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  // Closed however the search ends, errors that pass on included.
  struct Closer {
    TStream& s;
    ~Closer() { s.Close(); }
  } closer{*stream};

  const int64_t pos = stream->Pos();
  if (pos == -1) return nullptr;
  for (TPixmapLoader* loader = loader_head().get(); loader; loader = loader->_succ.get()) {
    stream->Seek(pos);
    try {
      if (auto pm = loader->LoadPixmap(stream)) return pm;
    } catch (const TStreamException&) {
      // A stream error is this loader's refusal; the next one may still read it.
    }
  }
  return nullptr;
}
