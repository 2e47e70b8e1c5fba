// Frame pacing on the real display: 600 empty frames presented with Flip(-1), as the
// game's main loop does. Prints presents per second, the median and 99th-percentile
// frame interval and the process CPU time per frame. Run under X (Xvfb will do).
//
//   pacing_probe [frames] [--window]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"

namespace {

double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 600;
  int depth = 32;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--window") == 0) {
      depth = 0;
    } else if (std::atoi(argv[i]) > 0) {
      frames = std::atoi(argv[i]);
    }
  }

  init_graphics_module();
  SetAppTitle("pacing probe");
  if (!OpenGraphics(640, 480, depth, 60, BackBuffer)) {
    std::fprintf(stderr, "pacing_probe: %s\n", GraphicsError().c_str());
    return 1;
  }
  std::printf("display %s, soft sync %s\n", depth ? "full screen" : "window",
              GraphicsSync().soft_sync ? "on" : "off (the display paces)");

  using clock = std::chrono::steady_clock;
  std::vector<double> gaps;
  gaps.reserve(static_cast<size_t>(frames));
  Flip(-1);  // start on a frame boundary
  const double cpu0 = cpu_ms();
  const auto start = clock::now();
  auto last = start;
  for (int i = 0; i < frames; ++i) {
    Flip(-1);
    const auto now = clock::now();
    gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
  }
  const double cpu = cpu_ms() - cpu0;
  const double wall = std::chrono::duration<double>(last - start).count();
  CloseGraphics();

  std::sort(gaps.begin(), gaps.end());
  const double median = gaps[gaps.size() / 2];
  const double p99 = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
  std::printf("frames              %d\n", frames);
  std::printf("presents per second %.3f\n", frames / wall);
  std::printf("median interval     %.2f ms\n", median);
  std::printf("99th percentile     %.2f ms\n", p99);
  std::printf("longest interval    %.2f ms\n", gaps.back());
  std::printf("CPU per frame       %.3f ms\n", cpu / frames);
  return 0;
}
