#pragma once
// The frame both floors draw (bench/floor_probe.cpp with GL, bench/soft_floor_probe.cpp with
// the CPU) and composite_bench composites: a 640 x 480 sky backdrop, 48 x 33 oval sprites
// moving a little every frame, paced 16/17/17 ms. Only SDL2 and the standard library.

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace floor_frame {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kSpriteW = 48;
constexpr int kSpriteH = 33;

inline uint32_t argb(unsigned r, unsigned g, unsigned b, unsigned a) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// A sky-like gradient with some grain, so that no texel repeats its neighbour; 0xAARRGGBB.
inline std::vector<uint32_t> backdrop() {
  std::vector<uint32_t> px(static_cast<size_t>(kScreenW) * kScreenH);
  unsigned seed = 12345;
  for (int y = 0; y < kScreenH; ++y) {
    for (int x = 0; x < kScreenW; ++x) {
      seed = seed * 1103515245u + 12345u;
      const unsigned grain = seed >> 28;
      px[static_cast<size_t>(y) * kScreenW + x] =
          argb(40 + y / 4 + grain, 90 + y / 5 + grain, 160 + y / 12 + grain, 255);
    }
  }
  return px;
}

// How far sprite pixel (x, y) is from the centre of its oval: 1 on the edge.
inline double oval_radius(int x, int y) {
  const double dx = (x + 0.5 - kSpriteW / 2.0) / (kSpriteW / 2.0);
  const double dy = (y + 0.5 - kSpriteH / 2.0) / (kSpriteH / 2.0);
  return dx * dx + dy * dy;
}

// Where sprite i of a frame's sprites is drawn (its top-left corner).
inline void sprite_place(int i, int frame, int& x, int& y) {
  const int t = frame % 65536;
  x = (i * 53 + t * (1 + i % 3)) % (kScreenW + kSpriteW) - kSpriteW;
  y = (i * 97) % (kScreenH - kSpriteH) + (t / 4 + i) % 16;
}

inline double cpu_ms() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// 16, 17, 17 ms: 1000 ms in 60 frames; a late frame's time is dropped, not made up.
inline void pace(Uint32& next, int& fraction) {
  fraction += 40;
  next += 16;
  if (fraction >= 60) {
    fraction -= 60;
    ++next;
  }
  const int wait = static_cast<int>(next - SDL_GetTicks());
  if (wait > 0) {
    SDL_Delay(static_cast<Uint32>(wait));
  } else {
    next = SDL_GetTicks();
  }
}

// Frames drawn, paced and presented until FRAMES are done or, with --run, until the window
// is closed; then, without --run, `about()` and the figures over every frame but the first
// (which pays for start-up).
template <typename Options, typename Draw, typename Present, typename About>
void run_frames(const Options& o, Draw draw, Present present, About about) {
  Uint32 next = SDL_GetTicks();
  int fraction = 0;
  double cpu0 = 0.0;
  Uint32 start = 0;
  bool quit = false;
  int frame = 0;
  for (; !quit && (o.run || frame <= o.frames); ++frame) {
    if (frame == 1) {
      cpu0 = cpu_ms();
      start = SDL_GetTicks();
    }
    draw(frame);
    if (!o.unpaced) pace(next, fraction);
    present();
    SDL_Event e;
    while (SDL_PollEvent(&e)) quit = quit || e.type == SDL_QUIT;
  }
  if (o.run || frame <= 1) return;
  const double cpu = cpu_ms() - cpu0;
  const double wall = (SDL_GetTicks() - start) / 1000.0;
  std::printf("%s\n", std::string(about()).c_str());
  std::printf("frames              %d\n", frame - 1);
  std::printf("presents per second %.3f\n", wall > 0 ? (frame - 1) / wall : 0.0);
  std::printf("CPU per frame       %.3f ms\n", cpu / (frame - 1));
}

// The options both floors take (FRAMES, --run, --sprites N, --unpaced) from argv[i], into a
// struct with those fields; false when argv[i] is none of them. `extra` reads the probe's
// own options the same way; whatever neither knows is reported and ends the parse.
template <typename Options, typename Extra>
bool parse_options(const char* name, int argc, char** argv, Options& o, Extra extra) {
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--run") == 0) {
      o.run = true;
    } else if (std::strcmp(a, "--sprites") == 0 && i + 1 < argc) {
      o.sprites = std::max(0, std::atoi(argv[++i]));
    } else if (std::strcmp(a, "--unpaced") == 0) {
      o.unpaced = true;
    } else if (extra(a, i)) {
    } else if (std::atoi(a) > 0) {
      o.frames = std::atoi(a);
    } else {
      std::fprintf(stderr, "%s: unknown argument '%s'\n", name, a);
      return false;
    }
  }
  return true;
}

}  // namespace floor_frame
