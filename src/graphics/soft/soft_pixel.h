#pragma once
// The byte arithmetic of the software renderer, as Mesa's llvmpipe does it on the machines
// the GL renderer is proved on (measured through the GL renderer, every combination):
// the texture colour is the texel times the colour bytes, rounded to nearest; the blend
// products are a cheaper rounding that differs from nearest for 24 of the 65536 pairs.
// Screen words and texels are 0xAARRGGBB, straight (not premultiplied) alpha, as the GL's
// textures and screen hold them.

#include <cstdint>

namespace soft {

constexpr int kRed = 16, kGreen = 8, kBlue = 0, kAlpha = 24;

inline uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xffu; }
inline uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  return (a << 24) | (r << 16) | (g << 8) | b;
}

// x * y / 255 rounded to nearest: a texel times a colour byte.
inline uint32_t Modulate(uint32_t x, uint32_t y) {
  const uint32_t p = x * y + 128u;
  return (p + (p >> 8)) >> 8;
}

// x * y / 255 as the blender rounds it.
inline uint32_t BlendMul(uint32_t x, uint32_t y) {
  const uint32_t t = x * y;
  return (t + (t >> 8) + 128u) >> 8;
}

// Each blend, one channel: the source value s with source alpha a over the destination d.
inline uint32_t AlphaOver(uint32_t s, uint32_t a, uint32_t d) {
  const uint32_t v = BlendMul(s, a) + BlendMul(d, 255u - a);
  return v > 255u ? 255u : v;
}
inline uint32_t LightOver(uint32_t s, uint32_t a, uint32_t d) {
  const uint32_t v = BlendMul(s, a) + d;
  return v > 255u ? 255u : v;
}
inline uint32_t ShadeOver(uint32_t s, uint32_t d) { return BlendMul(d, s); }

// The fragment alpha that passes the masked blend's test (at least one half).
constexpr uint32_t kMaskThreshold = 128;

}  // namespace soft
