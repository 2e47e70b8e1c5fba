// Picture loading and the pixmap work done on every picture at start-up, on the
// game's sprite sheet (640 x 171, 8-bit RGB).
#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/pixmap/pixmap.h"
#include "stream/embedded.h"
#include "stream/stream.h"

namespace {

// The game's own sprite sheet, embedded in the program as every picture is.
const char* sheet_name() {
  static const bool registered = [] {
    register_embedded_files();
    init_pixmap_module();
    return true;
  }();
  (void)registered;
  return "incbin::aerovane_sf1.png";
}

int sheet_png_bytes() {
  const uint8_t* bytes = nullptr;
  int length = 0;
  sheet_name();
  return find_embedded_file("aerovane_sf1.png", &bytes, &length) ? length : 0;
}

void BM_LoadPixmapSheet(benchmark::State& state) {
  const char* name = sheet_name();
  for (auto _ : state) {
    auto pm = LoadPixmap(name);
    if (!pm) state.SkipWithError("sheet did not load");
    benchmark::DoNotOptimize(pm);
  }
  state.SetBytesProcessed(state.iterations() * 640 * 171 * 3);
  state.counters["png_bytes"] = sheet_png_bytes();
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
