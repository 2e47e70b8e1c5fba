#include "png_encode.h"

#include <cstdio>

std::vector<uint8_t> make_png(int w, int h, int depth, int ctype, const std::vector<uint8_t>& rows,
                              bool interlace, const std::vector<png_color>& palette,
                              const std::vector<uint8_t>& trns) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, depth, ctype, interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!trns.empty()) png_set_tRNS(png, info, trns.data(), static_cast<int>(trns.size()), nullptr);
  png_write_info(png, info);
  const size_t row = rows.size() / h;
  std::vector<png_bytep> ptrs;
  for (int y = 0; y < h; ++y) ptrs.push_back(const_cast<uint8_t*>(rows.data()) + y * row);
  png_write_image(png, ptrs.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb) {
  const std::vector<uint8_t> bytes = make_png(w, h, 8, PNG_COLOR_TYPE_RGB, rgb);
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && ok;
}
