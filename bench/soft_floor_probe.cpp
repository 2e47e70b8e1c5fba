// The software floor: the least a program does to show a frame like the game's when the CPU
// draws it. A desktop full-screen SDL2 window without GL; a 640 x 480 screen of 32-bit words
// in memory; each frame the 640 x 480 backdrop copied in and 40 alpha-blended 48 x 33
// sprites, the screen scaled into SDL's window surface (nearest, whole-number scales by
// doubling pixels and rows, centred, black borders), SDL_UpdateWindowSurface, paced
// 16/17/17 ms. SDL is told in code not to put a GL renderer behind the window surface, so
// the window system's shared-memory image is what shows. Only SDL2: none of the game's
// libraries. bench/report measures it beside the game's software renderer.
//
//   soft_floor_probe [FRAMES] [--run] [--sprites N] [--unpaced]
//
// Plain, it presents FRAMES (600) frames and prints the CPU time per frame; with --run it
// goes on until it is closed (SIGTERM), to be watched from outside (bench/floor_measure.sh).

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "floor_frame.h"

namespace {

using floor_frame::kScreenH;
using floor_frame::kScreenW;
using floor_frame::kSpriteH;
using floor_frame::kSpriteW;

struct probe_options {
  int frames = 600;
  bool run = false;
  int sprites = 40;
  bool unpaced = false;
};

// The GL floor's sprite (bench/floor_probe.cpp), as 0xAARRGGBB words.
std::vector<uint32_t> sprite_pixels(unsigned r, unsigned g, unsigned b) {
  std::vector<uint32_t> px(static_cast<size_t>(kSpriteW) * kSpriteH, 0);
  for (int y = 0; y < kSpriteH; ++y) {
    for (int x = 0; x < kSpriteW; ++x) {
      if (floor_frame::oval_radius(x, y) <= 1.0)
        px[static_cast<size_t>(y) * kSpriteW + x] = floor_frame::argb(r, g, b, 255);
    }
  }
  return px;
}

// Straight alpha over an opaque screen, each channel s * a + d * (255 - a), over 255.
uint32_t blend(uint32_t s, uint32_t d) {
  const uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a == 255) return s;
  uint32_t out = 0xff000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c =
        (((s >> shift) & 0xffu) * a + ((d >> shift) & 0xffu) * (255 - a) + 127) / 255;
    out |= c << shift;
  }
  return out;
}

void draw_sprite(std::vector<uint32_t>& screen, const std::vector<uint32_t>& sprite, int x, int y) {
  const int x0 = std::max(x, 0), x1 = std::min(x + kSpriteW, kScreenW);
  const int y0 = std::max(y, 0), y1 = std::min(y + kSpriteH, kScreenH);
  for (int j = y0; j < y1; ++j) {
    const uint32_t* src = &sprite[static_cast<size_t>(j - y) * kSpriteW - x];
    uint32_t* dst = &screen[static_cast<size_t>(j) * kScreenW];
    for (int i = x0; i < x1; ++i) dst[i] = blend(src[i], dst[i]);
  }
}

// The backdrop and the sprites, moving as the GL floor's do.
void draw_frame(const probe_options& o, std::vector<uint32_t>& screen,
                const std::vector<uint32_t>& backdrop, const std::vector<uint32_t>& sprite,
                int frame) {
  std::memcpy(screen.data(), backdrop.data(), screen.size() * 4);
  for (int i = 0; i < o.sprites; ++i) {
    int x = 0, y = 0;
    floor_frame::sprite_place(i, frame, x, y);
    draw_sprite(screen, sprite, x, y);
  }
}

// The screen into the window surface at d (x, y, w, h from the top-left), nearest, the rest
// black. A surface of another layout than 0x00RRGGBB words gets converted rows.
void present(SDL_Window* window, const std::vector<uint32_t>& screen) {
  SDL_Surface* s = SDL_GetWindowSurface(window);
  if (!s) return;
  const int scaled = std::min(s->w * kScreenH, s->h * kScreenW);
  const int d[4] = {(s->w - scaled / kScreenH) / 2, (s->h - scaled / kScreenW) / 2,
                    scaled / kScreenH, scaled / kScreenW};
  const SDL_Rect bars[4] = {{0, 0, s->w, d[1]},
                            {0, d[1] + d[3], s->w, s->h - d[1] - d[3]},
                            {0, d[1], d[0], d[3]},
                            {d[0] + d[2], d[1], s->w - d[0] - d[2], d[3]}};
  for (const SDL_Rect& b : bars)
    if (b.w > 0 && b.h > 0) SDL_FillRect(s, &b, SDL_MapRGB(s->format, 0, 0, 0));
  const bool direct = s->format->BytesPerPixel == 4 && s->format->Rmask == 0x00ff0000u &&
                      s->format->Gmask == 0x0000ff00u && s->format->Bmask == 0x000000ffu;
  static std::vector<uint32_t> row;
  row.resize(static_cast<size_t>(d[2]));
  if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0) return;
  auto* base = static_cast<uint8_t*>(s->pixels);
  const int bpp = s->format->BytesPerPixel;
  int last_sy = -1;
  const uint8_t* last = nullptr;
  for (int y = 0; y < d[3]; ++y) {
    uint8_t* out = base + static_cast<ptrdiff_t>(d[1] + y) * s->pitch + d[0] * bpp;
    const int sy = (2 * y + 1) * kScreenH / (2 * d[3]);
    if (sy == last_sy) {
      std::memcpy(out, last, static_cast<size_t>(d[2]) * bpp);
      continue;
    }
    const uint32_t* in = &screen[static_cast<size_t>(sy) * kScreenW];
    uint32_t* to = direct ? reinterpret_cast<uint32_t*>(out) : row.data();
    if (d[2] == 2 * kScreenW) {
      for (int x = 0; x < kScreenW; ++x) to[2 * x] = to[2 * x + 1] = in[x];
    } else {
      for (int x = 0; x < d[2]; ++x) to[x] = in[(2 * x + 1) * kScreenW / (2 * d[2])];
    }
    if (!direct)
      SDL_ConvertPixels(d[2], 1, SDL_PIXELFORMAT_ARGB8888, row.data(), d[2] * 4, s->format->format,
                        out, s->pitch);
    last = out;
    last_sy = sy;
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  SDL_UpdateWindowSurface(window);
}

}  // namespace

int main(int argc, char** argv) {
  probe_options o;
  if (!floor_frame::parse_options("soft_floor_probe", argc, argv, o,
                                  [](const char*, int&) { return false; }))
    return 2;
  // Over whatever the environment says: the window system's image, not a GL renderer.
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "soft_floor_probe: %s\n", SDL_GetError());
    return 1;
  }
  SDL_Rect place{0, 0, kScreenW, kScreenH};
  SDL_GetDisplayBounds(0, &place);
  SDL_Window* window = SDL_CreateWindow("soft floor probe", place.x, place.y, place.w, place.h,
                                        SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  if (!window || !SDL_GetWindowSurface(window)) {
    std::fprintf(stderr, "soft_floor_probe: %s\n", SDL_GetError());
    return 1;
  }
  const std::vector<uint32_t> backdrop = floor_frame::backdrop();
  const std::vector<uint32_t> sprite = sprite_pixels(230, 60, 40);
  std::vector<uint32_t> screen(static_cast<size_t>(kScreenW) * kScreenH);

  floor_frame::run_frames(
      o, [&](int frame) { draw_frame(o, screen, backdrop, sprite, frame); },
      [&] { present(window, screen); },
      [&] {
        const SDL_Surface* s = SDL_GetWindowSurface(window);
        return "window surface " + std::to_string(s ? s->w : 0) + " x " +
               std::to_string(s ? s->h : 0) + " (" +
               (s ? SDL_GetPixelFormatName(s->format->format) : "none") + ")";
      });
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
