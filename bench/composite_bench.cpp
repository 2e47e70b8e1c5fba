// The software renderer's compositing against two well-kept libraries on the game's own
// frames: pixman (premultiplied ARGB, affine transforms, OVER / ADD) and SDL's software
// renderer (SDL_CreateSoftwareRenderer on a surface, SDL_RenderCopy / SDL_RenderCopyExF).
// Each case draws one frame's worth into a 640 x 480 screen of 32-bit words:
//   Backdrop  the 640 x 480 backdrop, opaque
//   Masked    40 sprites of 48 x 33 with the masked blend (alpha test at one half)
//   Alpha     40 sprites alpha-blended
//   Light     40 sprites added (the light blend) at alpha 0.5
//   Turned    40 sprites turned (9 degrees apart) and scaled x1.5, alpha-blended
// The own loops go through the renderer (TSoft2DDriver), rasterising included; those are
// the GL renderer's pixels (tests/game/renderers_test.cpp). For the libraries the counters
// say how far their picture is from it: "differ" pixels of the screen and the largest
// difference of a channel ("max_diff"), from the backdrop through one frame's draws.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "floor_frame.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/soft/soft2d.h"
#include "graphics/soft/soft_frame.h"
#include "graphics/soft/soft_screen.h"

namespace {

constexpr int kW = floor_frame::kScreenW, kH = floor_frame::kScreenH;
constexpr int kSpriteW = floor_frame::kSpriteW, kSpriteH = floor_frame::kSpriteH, kSprites = 40;
constexpr float kTurnScale = 1.5f;

enum Case { kBackdrop, kMasked, kAlpha, kLight, kTurned };

// A plane-like sprite: an oval with shading, its edge pixels part transparent as the game's
// masked pictures have them (neighbour-averaged edges).
std::vector<uint32_t> sprite_words() {
  std::vector<uint32_t> px(static_cast<size_t>(kSpriteW) * kSpriteH, 0);
  for (int y = 0; y < kSpriteH; ++y) {
    for (int x = 0; x < kSpriteW; ++x) {
      const double r = floor_frame::oval_radius(x, y);
      if (r > 1.0) continue;
      const unsigned a = r > 0.8 ? static_cast<unsigned>(255 * (1.0 - r) / 0.2) : 255u;
      px[static_cast<size_t>(y) * kSpriteW + x] =
          floor_frame::argb(150 + x * 2, 60 + y * 3, 40 + (x ^ y) % 40, std::max(a, 1u));
    }
  }
  return px;
}

struct Place {
  float x, y, angle;
};
std::vector<Place> places() {
  std::vector<Place> p;
  for (int i = 0; i < kSprites; ++i) {
    int x = 0, y = 0;
    floor_frame::sprite_place(i, 100, x, y);
    p.push_back({static_cast<float>(x), static_cast<float>(y), 9.0f * static_cast<float>(i)});
  }
  return p;
}

std::shared_ptr<TPixmap> pixmap_of(const std::vector<uint32_t>& words, int w, int h) {
  std::shared_ptr<TPixmap> p = CreatePixmap(w, h, PixelRGBA8888);
  for (int y = 0; y < h; ++y) {
    uint8_t* row = p->PixelPtr(0, y);
    for (int x = 0; x < w; ++x) {
      const uint32_t v = words[static_cast<size_t>(y) * w + x];
      row[4 * x] = static_cast<uint8_t>(v >> 16);
      row[4 * x + 1] = static_cast<uint8_t>(v >> 8);
      row[4 * x + 2] = static_cast<uint8_t>(v);
      row[4 * x + 3] = static_cast<uint8_t>(v >> 24);
    }
  }
  return p;
}

// The libraries have no alpha test: a masked picture is given to them thresholded.
std::vector<uint32_t> thresholded(std::vector<uint32_t> px) {
  for (uint32_t& v : px) v = (v >> 24) >= 128 ? (v | 0xff000000u) : 0u;
  return px;
}

// pixman holds premultiplied colour.
std::vector<uint32_t> premultiplied(std::vector<uint32_t> px) {
  for (uint32_t& v : px) {
    const uint32_t a = v >> 24;
    uint32_t out = a << 24;
    for (int s = 0; s < 24; s += 8) out |= ((((v >> s) & 0xffu) * a + 127) / 255) << s;
    v = out;
  }
  return px;
}

struct Scene {
  std::vector<uint32_t> backdrop = floor_frame::backdrop(), sprite = sprite_words();
  std::vector<Place> at = places();
};
const Scene& scene() {
  static Scene s;
  return s;
}

// ---- the software renderer's own loops ----

struct Own {
  TSoftScreen screen;
  std::shared_ptr<TSoft2DDriver> r = SoftRenderer();
  std::shared_ptr<TSoftImageFrame> backdrop, sprite, filtered;
  Own() {
    screen.Resize(kW, kH);
    SetCurrentSoftScreen(&screen);
    r->SetViewport(0, 0, kW, kH);
    backdrop = TSoftImageFrame::CreateFromPixmap(r.get(), pixmap_of(scene().backdrop, kW, kH), 0);
    sprite = TSoftImageFrame::CreateFromPixmap(
        r.get(), pixmap_of(scene().sprite, kSpriteW, kSpriteH), MaskedImage);
    filtered = TSoftImageFrame::CreateFromPixmap(
        r.get(), pixmap_of(scene().sprite, kSpriteW, kSpriteH), MaskedImage | FilteredImage);
  }
  // A case as the game draws it, or (for the dump) with a colour, an alpha and a frame of
  // its own.
  void Draw(Case c, int red = 255, int green = 255, int blue = 255, float alpha = -1.0f,
            TSoftImageFrame* frame = nullptr, int blend = 0) {
    SetCurrentSoftScreen(&screen);
    r->SetTransform(1, 0, 0, 1);
    r->SetColor(red, green, blue);
    r->SetAlpha(1.0f);
    TSoftImageFrame* sprite = frame ? frame : this->sprite.get();
    if (c == kBackdrop) {
      r->SetBlend(blend ? blend : SolidBlend);
      if (alpha >= 0.0f) r->SetAlpha(alpha);
      backdrop->Draw(0, 0, kW, kH, 0, 0);
      return;
    }
    r->SetBlend(c == kMasked ? MaskBlend : c == kLight ? LightBlend : AlphaBlend);
    if (c == kLight) r->SetAlpha(0.5f);
    if (alpha >= 0.0f) r->SetAlpha(alpha);
    if (blend) r->SetBlend(blend);
    for (const Place& p : scene().at) {
      if (c == kTurned) {
        const float a = p.angle * 3.14159265f / 180.0f;
        const float cs = std::cos(a) * kTurnScale, sn = std::sin(a) * kTurnScale;
        r->SetTransform(cs, -sn, sn, cs);
        sprite->Draw(-kSpriteW / 2.0f, -kSpriteH / 2.0f, kSpriteW / 2.0f, kSpriteH / 2.0f,
                     p.x + kSpriteW / 2.0f, p.y + kSpriteH / 2.0f);
      } else {
        sprite->Draw(0, 0, kSpriteW, kSpriteH, p.x, p.y);
      }
    }
  }
  const uint32_t* Pixels() const { return screen.pixels.data(); }
};

// ---- pixman ----

struct Pixman {
  std::vector<uint32_t> screen = std::vector<uint32_t>(static_cast<size_t>(kW) * kH);
  std::vector<uint32_t> back = scene().backdrop, spr = premultiplied(scene().sprite),
                        mask = premultiplied(thresholded(scene().sprite));
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, screen.data(), kW * 4);
  pixman_image_t* bd = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, back.data(), kW * 4);
  pixman_image_t* sp =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteW, kSpriteH, spr.data(), kSpriteW * 4);
  pixman_image_t* mk =
      pixman_image_create_bits(PIXMAN_a8r8g8b8, kSpriteW, kSpriteH, mask.data(), kSpriteW * 4);
  pixman_image_t* half = nullptr;
  Pixman() {
    const pixman_color_t c{0, 0, 0, 0x8080};  // alpha 0.5 as a solid mask
    half = pixman_image_create_solid_fill(&c);
  }
  ~Pixman() {
    for (pixman_image_t* i : {dst, bd, sp, mk, half}) pixman_image_unref(i);
  }
  void Draw(Case c) {
    if (c == kBackdrop) {
      pixman_image_composite32(PIXMAN_OP_SRC, bd, nullptr, dst, 0, 0, 0, 0, 0, 0, kW, kH);
      return;
    }
    for (const Place& p : scene().at) {
      const int x = static_cast<int>(p.x), y = static_cast<int>(p.y);
      if (c == kTurned) {
        // The destination's pixel centres back into the sprite: the inverse of turning
        // and scaling about its centre.
        const double a = p.angle * M_PI / 180.0, s = kTurnScale;
        const double cx = p.x + kSpriteW / 2.0, cy = p.y + kSpriteH / 2.0;
        pixman_f_transform_t f;
        pixman_f_transform_init_identity(&f);
        pixman_f_transform_translate(&f, nullptr, -cx, -cy);
        pixman_f_transform_rotate(&f, nullptr, std::cos(-a), std::sin(-a));
        pixman_f_transform_scale(&f, nullptr, 1.0 / s, 1.0 / s);
        pixman_f_transform_translate(&f, nullptr, kSpriteW / 2.0, kSpriteH / 2.0);
        pixman_transform_t t;
        pixman_transform_from_pixman_f_transform(&t, &f);
        pixman_image_set_transform(sp, &t);
        pixman_image_set_filter(sp, PIXMAN_FILTER_NEAREST, nullptr, 0);
        const int reach = static_cast<int>(std::ceil(std::hypot(kSpriteW, kSpriteH) * s / 2.0));
        const int x0 = std::max(0, static_cast<int>(cx) - reach),
                  y0 = std::max(0, static_cast<int>(cy) - reach);
        const int x1 = std::min(kW, static_cast<int>(cx) + reach),
                  y1 = std::min(kH, static_cast<int>(cy) + reach);
        if (x1 > x0 && y1 > y0)
          pixman_image_composite32(PIXMAN_OP_OVER, sp, nullptr, dst, x0, y0, 0, 0, x0, y0, x1 - x0,
                                   y1 - y0);
        continue;
      }
      pixman_image_t* src = c == kMasked ? mk : sp;
      pixman_image_composite32(c == kLight ? PIXMAN_OP_ADD : PIXMAN_OP_OVER, src,
                               c == kLight ? half : nullptr, dst, 0, 0, 0, 0, x, y, kSpriteW,
                               kSpriteH);
    }
    pixman_image_set_transform(sp, nullptr);
  }
  const uint32_t* Pixels() const { return screen.data(); }
};

// ---- SDL's software renderer ----

struct SdlSoft {
  std::vector<uint32_t> screen = std::vector<uint32_t>(static_cast<size_t>(kW) * kH);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(screen.data(), kW, kH, 32, kW * 4,
                                                            SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* r = SDL_CreateSoftwareRenderer(surface);
  SDL_Texture *bd = nullptr, *sp = nullptr, *mk = nullptr;
  SdlSoft() {
    bd = texture(scene().backdrop, kW, kH);
    sp = texture(scene().sprite, kSpriteW, kSpriteH);
    mk = texture(thresholded(scene().sprite), kSpriteW, kSpriteH);
  }
  ~SdlSoft() {
    for (SDL_Texture* t : {bd, sp, mk}) SDL_DestroyTexture(t);
    SDL_DestroyRenderer(r);
    SDL_FreeSurface(surface);
  }
  SDL_Texture* texture(const std::vector<uint32_t>& px, int w, int h) {
    SDL_Texture* t = SDL_CreateTexture(r, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, w, h);
    SDL_UpdateTexture(t, nullptr, px.data(), w * 4);
    return t;
  }
  void Draw(Case c) {
    if (c == kBackdrop) {
      SDL_SetTextureBlendMode(bd, SDL_BLENDMODE_NONE);
      SDL_RenderCopy(r, bd, nullptr, nullptr);
    } else {
      SDL_Texture* t = c == kMasked ? mk : sp;
      SDL_SetTextureBlendMode(t, c == kLight ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
      SDL_SetTextureAlphaMod(t, c == kLight ? 128 : 255);
      for (const Place& p : scene().at) {
        if (c == kTurned) {
          const SDL_FRect d{p.x + kSpriteW / 2.0f - kSpriteW * kTurnScale / 2.0f,
                            p.y + kSpriteH / 2.0f - kSpriteH * kTurnScale / 2.0f,
                            kSpriteW * kTurnScale, kSpriteH * kTurnScale};
          SDL_RenderCopyExF(r, t, nullptr, &d, p.angle, nullptr, SDL_FLIP_NONE);
        } else {
          const SDL_Rect d{static_cast<int>(p.x), static_cast<int>(p.y), kSpriteW, kSpriteH};
          SDL_RenderCopy(r, t, nullptr, &d);
        }
      }
    }
    SDL_RenderFlush(r);
  }
  const uint32_t* Pixels() const { return screen.data(); }
};

// The own loops' picture of a case, from the backdrop: the reference.
const std::vector<uint32_t>& reference(Case c) {
  static std::vector<uint32_t> pics[5];
  std::vector<uint32_t>& pic = pics[c];
  if (pic.empty()) {
    static Own own;
    own.Draw(kBackdrop);
    if (c != kBackdrop) own.Draw(c);
    pic.assign(own.Pixels(), own.Pixels() + static_cast<size_t>(kW) * kH);
  }
  return pic;
}

template <typename Impl>
void run(benchmark::State& state, Case c) {
  static Impl impl;
  // Exactness first, from the same start.
  impl.Draw(kBackdrop);
  if (c != kBackdrop) impl.Draw(c);
  const std::vector<uint32_t>& ref = reference(c);
  int differ = 0, max_diff = 0;
  for (size_t i = 0; i < ref.size(); ++i) {
    const uint32_t a = ref[i], b = impl.Pixels()[i];
    if (((a ^ b) & 0xffffffu) == 0) continue;
    ++differ;
    for (int s = 0; s < 24; s += 8)
      max_diff = std::max(max_diff, std::abs(static_cast<int>((a >> s) & 0xffu) -
                                             static_cast<int>((b >> s) & 0xffu)));
  }
  for (auto _ : state) {
    impl.Draw(c);
    benchmark::DoNotOptimize(impl.Pixels()[kW * kH / 2]);
    benchmark::ClobberMemory();
  }
  state.counters["differ"] = differ;
  state.counters["max_diff"] = max_diff;
}

}  // namespace

// With AV_COMPOSITE_DUMP=FILE the renderer's pictures of every case, and of variants with
// colours, alphas, the shade blend and a filtered frame, go to FILE as raw words: two
// builds' dumps compared byte for byte show that a change of speed kept every pixel.
void dump(const char* path) {
  Own own;
  std::FILE* f = std::fopen(path, "wb");
  if (!f) return;
  auto picture = [&](Case c, int r, int g, int b, float a, TSoftImageFrame* frame, int blend) {
    own.Draw(kBackdrop);
    own.Draw(c, r, g, b, a, frame, blend);
    std::fwrite(own.Pixels(), 4, static_cast<size_t>(kW) * kH, f);
  };
  for (int c = kBackdrop; c <= kTurned; ++c) {
    for (TSoftImageFrame* frame : {own.sprite.get(), own.filtered.get()}) {
      picture(static_cast<Case>(c), 255, 255, 255, -1.0f, frame, 0);
      picture(static_cast<Case>(c), 200, 90, 30, 0.7f, frame, 0);
      picture(static_cast<Case>(c), 120, 230, 250, 0.3f, frame, ShadeBlend);
      picture(static_cast<Case>(c), 100, 100, 180, 1.0f, frame, AlphaBlend);
      picture(static_cast<Case>(c), 255, 40, 0, 1.0f, frame, LightBlend);
    }
  }
  std::fclose(f);
}

int main(int argc, char** argv) {
  if (const char* path = std::getenv("AV_COMPOSITE_DUMP")) {
    dump(path);
    return 0;
  }
  const char* names[] = {"Backdrop", "Masked", "Alpha", "Light", "Turned"};
  for (int c = kBackdrop; c <= kTurned; ++c) {
    const Case k = static_cast<Case>(c);
    benchmark::RegisterBenchmark((std::string("BM_Own/") + names[c]).c_str(),
                                 [k](benchmark::State& s) { run<Own>(s, k); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("BM_Pixman/") + names[c]).c_str(),
                                 [k](benchmark::State& s) { run<Pixman>(s, k); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((std::string("BM_SdlSoftware/") + names[c]).c_str(),
                                 [k](benchmark::State& s) { run<SdlSoft>(s, k); })
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
