// Picture loading and the pixmap work done on every picture at start-up, on the
// size of the sprite sheet (640 x 171, 8-bit RGB).
#include <benchmark/benchmark.h>
#include <png.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "graphics/pixmap/pixmap.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A stand-in sheet when the real one is not there: black background with
// coloured blocks, so it compresses like a sprite sheet rather than like noise.
Bytes make_sheet_png() {
  const int w = 640, h = 171;
  Bytes rows(static_cast<size_t>(w) * h * 3, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int cx = x % 48, cy = y % 33;
      if (cx > 8 && cx < 40 && cy > 6 && cy < 26) {
        uint8_t* p = &rows[(static_cast<size_t>(y) * w + x) * 3];
        p[0] = static_cast<uint8_t>(x * 3 + y);
        p[1] = static_cast<uint8_t>(cx * 5);
        p[2] = static_cast<uint8_t>(200 - cy * 4);
      }
    }
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto* o = static_cast<Bytes*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, w, h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) png_write_row(png, &rows[static_cast<size_t>(y) * w * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

const Bytes& sheet_bytes() {
  static const Bytes bytes = [] {
    std::ifstream in(AV_SOURCE_DIR "/assets/aerovane_sf1.png", std::ios::binary);
    Bytes real{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return real.empty() ? make_sheet_png() : real;
  }();
  return bytes;
}

const char* sheet_name() {
  static const bool registered = [] {
    init_pixmap_module();
    const Bytes& b = sheet_bytes();
    add_embedded_file("bench_sheet.png", b.data(), static_cast<int>(b.size()));
    return true;
  }();
  (void)registered;
  return "incbin::bench_sheet.png";
}

void BM_LoadPixmapSheet(benchmark::State& state) {
  const char* name = sheet_name();
  for (auto _ : state) {
    auto pm = LoadPixmap(name);
    if (!pm) state.SkipWithError("sheet did not load");
    benchmark::DoNotOptimize(pm);
  }
  state.SetBytesProcessed(state.iterations() * 640 * 171 * 3);
  state.counters["png_bytes"] = static_cast<double>(sheet_bytes().size());
}
BENCHMARK(BM_LoadPixmapSheet)->Unit(benchmark::kMicrosecond);

void BM_MaskPixmapSheet(benchmark::State& state) {
  auto pm = LoadPixmap(sheet_name());
  for (auto _ : state) benchmark::DoNotOptimize(MaskPixmap(pm, 0, 0, 0));
}
BENCHMARK(BM_MaskPixmapSheet)->Unit(benchmark::kMicrosecond);

void BM_ConvertSheetToRGBA(benchmark::State& state) {
  auto pm = LoadPixmap(sheet_name());
  for (auto _ : state) benchmark::DoNotOptimize(pm->Convert(PixelRGBA8888));
}
BENCHMARK(BM_ConvertSheetToRGBA)->Unit(benchmark::kMicrosecond);

void BM_ResizeSheetToTexture(benchmark::State& state) {
  auto pm = LoadPixmap(sheet_name())->Convert(PixelRGBA8888);
  for (auto _ : state) benchmark::DoNotOptimize(ResizePixmap(pm, 512, 128));
}
BENCHMARK(BM_ResizeSheetToTexture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
