#pragma once
// PNG files made in tests, written with libpng.
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

// A PNG in memory. rows: packed rows as libpng expects them for that depth and colour type.
std::vector<uint8_t> make_png(int w, int h, int depth, int ctype, const std::vector<uint8_t>& rows,
                              bool interlace = false, const std::vector<png_color>& palette = {},
                              const std::vector<uint8_t>& trns = {});
// An 8-bit RGB picture (rows of w * 3 bytes) written to a file; false when it cannot be.
bool write_rgb_png(const std::string& path, int w, int h, const std::vector<uint8_t>& rgb);
