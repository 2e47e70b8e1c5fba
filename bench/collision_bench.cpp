// How fast the game's hit test and sprite drawing are, on sprite-sized 48 x 33 frames
// (an oval of solid pixels, transparent corners, handle at the centre, like the planes).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

std::shared_ptr<TImage> sprite() {
  static std::shared_ptr<TImage> img = [] {
    auto pm = CreatePixmap(48, 33, PixelRGB888);
    for (int y = 0; y < 33; ++y)
      for (int x = 0; x < 48; ++x) {
        const double u = (x + 0.5 - 24.0) / 24.0, v = (y + 0.5 - 16.5) / 16.5;
        pm->WritePixel(x, y, u * u + v * v <= 1.0 ? 0x40c060 : 0);
      }
    auto image = LoadImage(pm, MaskedImage | DynamicImage);
    CentreImageHandle(image);
    return image;
  }();
  return img;
}

void overlap(benchmark::State& state, int dx, int dy, int expected) {
  auto a = sprite(), b = sprite();
  if (ImagesOverlap(a, 200, 200, 0, b, 200 + dx, 200 + dy, 0) != expected) {
    state.SkipWithError("unexpected result");
    return;
  }
  for (auto _ : state)
    benchmark::DoNotOptimize(ImagesOverlap(a, 200, 200, 0, b, 200 + dx, 200 + dy, 0));
  state.SetItemsProcessed(state.iterations());
}

void BM_ImagesOverlap_Hit(benchmark::State& state) { overlap(state, 10, 5, 1); }
void BM_ImagesOverlap_BoxesApart(benchmark::State& state) { overlap(state, 60, 0, 0); }
// The boxes overlap by 8 x 5 pixels, the ovals do not meet: every shared row is scanned.
void BM_ImagesOverlap_NearMiss(benchmark::State& state) { overlap(state, 40, 28, 0); }

BENCHMARK(BM_ImagesOverlap_Hit);
BENCHMARK(BM_ImagesOverlap_BoxesApart);
BENCHMARK(BM_ImagesOverlap_NearMiss);

// Each iteration draws a batch and reads one pixel back, so the GPU's work is counted
// (in real time: the rasteriser runs on threads of its own).
void BM_DrawImage_Masked48x33(benchmark::State& state) {
  constexpr int kBatch = 500;
  auto img = sprite();
  SetBlend(MaskBlend);
  int n = 0;
  for (auto _ : state) {
    for (int i = 0; i < kBatch; ++i, ++n)
      DrawImage(img, static_cast<float>(24 + (n * 37) % 592),
                static_cast<float>(17 + (n * 23) % 446));
    benchmark::DoNotOptimize(GrabPixmap(0, 0, 1, 1));
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
}

bool open_display() {
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) return false;
  init_graphics_module();
  init_pixmap_module();
  return OpenGraphics(640, 480, 0, 0, BackBuffer) != nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (open_display())
    benchmark::RegisterBenchmark("BM_DrawImage_Masked48x33", BM_DrawImage_Masked48x33)
        ->UseRealTime();
  else std::fprintf(stderr, "BM_DrawImage_Masked48x33 skipped: no display\n");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
