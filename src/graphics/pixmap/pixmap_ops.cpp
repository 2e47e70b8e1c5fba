// Whole-pixmap operations: bilinear resize, colour-key masking, mirrors.
#include <cmath>
#include <cstring>
#include <vector>

#include "graphics/pixmap/pixmap.h"

namespace {

std::shared_ptr<TPixmap> as_rgba(const std::shared_ptr<TPixmap>& pm) {
  return pm->format == PixelRGBA8888 ? pm : pm->Convert(PixelRGBA8888);
}

// Source sample pair and weight for one destination index along one axis.
struct Tap {
  int a, b;
  float f;
};

Tap tap(int i, int src_len, int dst_len) {
  const float s =
      (static_cast<float>(i) + 0.5f) * (static_cast<float>(src_len) / static_cast<float>(dst_len)) -
      0.5f;
  const int s0 = static_cast<int>(std::floor(s));
  if (s0 < 0) return {0, 0, 0.0f};
  if (s0 >= src_len - 1) return {src_len - 1, src_len - 1, 0.0f};
  return {s0, s0 + 1, s - static_cast<float>(s0)};
}

}  // namespace

std::shared_ptr<TPixmap> ResizePixmap(const std::shared_ptr<TPixmap>& pixmap, int width,
                                      int height) {
  if (!pixmap || width < 1 || height < 1 || pixmap->width < 1 || pixmap->height < 1) return nullptr;
  auto src = as_rgba(pixmap);
  auto dst = TPixmap::Create(width, height, PixelRGBA8888, 4);
  if (!src || !dst) return nullptr;

  std::vector<Tap> xs(width);
  for (int j = 0; j < width; ++j) xs[j] = tap(j, src->width, width);
  for (int i = 0; i < height; ++i) {
    const Tap ty = tap(i, src->height, height);
    const uint8_t* row0 = src->PixelPtr(0, ty.a);
    const uint8_t* row1 = src->PixelPtr(0, ty.b);
    uint8_t* out = dst->PixelPtr(0, i);
    for (int j = 0; j < width; ++j, out += 4) {
      const Tap& tx = xs[j];
      const uint8_t* p00 = row0 + tx.a * 4;
      const uint8_t* p10 = row0 + tx.b * 4;
      const uint8_t* p01 = row1 + tx.a * 4;
      const uint8_t* p11 = row1 + tx.b * 4;
      for (int c = 0; c < 4; ++c) {
        const float a = p00[c] + (p10[c] - p00[c]) * tx.f;
        const float b = p01[c] + (p11[c] - p01[c]) * tx.f;
        out[c] = static_cast<uint8_t>(static_cast<int>(a + (b - a) * ty.f));
      }
    }
  }
  return pixmap->format == PixelRGBA8888 ? dst : dst->Convert(pixmap->format);
}

std::shared_ptr<TPixmap> MaskPixmap(const std::shared_ptr<TPixmap>& pixmap, int red, int green,
                                    int blue) {
  if (!pixmap) return nullptr;
  auto src = as_rgba(pixmap);
  auto dst = TPixmap::Create(pixmap->width, pixmap->height, PixelRGBA8888, 4);
  if (!src || !dst) return nullptr;
  const int w = src->width, h = src->height;
  const uint8_t* base = src->pixels;
  const int pitch = src->pitch;
  auto masked = [&](const uint8_t* p) { return p[0] == red && p[1] == green && p[2] == blue; };

  for (int y = 0; y < h; ++y) {
    const uint8_t* s = base + static_cast<ptrdiff_t>(y) * pitch;
    uint8_t* d = dst->pixels + static_cast<ptrdiff_t>(y) * dst->pitch;
    for (int x = 0; x < w; ++x, s += 4, d += 4) {
      if (!masked(s)) {
        d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = 255;
        continue;
      }
      // Hidden pixels take their visible neighbours' mean colour, so filtering
      // at the edge blends towards the picture instead of towards the key colour.
      int sum[3] = {0, 0, 0}, n = 0;
      for (int ny = y - 1; ny <= y + 1; ++ny) {
        if (ny < 0 || ny >= h) continue;
        for (int nx = x - 1; nx <= x + 1; ++nx) {
          if (nx < 0 || nx >= w || (nx == x && ny == y)) continue;
          const uint8_t* q = base + static_cast<ptrdiff_t>(ny) * pitch + nx * 4;
          if (masked(q)) continue;
          sum[0] += q[0], sum[1] += q[1], sum[2] += q[2];
          ++n;
        }
      }
      for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>(n ? sum[c] / n : 0);
      d[3] = 0;
    }
  }
  return dst;
}

std::shared_ptr<TPixmap> XFlipPixmap(const std::shared_ptr<TPixmap>& pixmap) {
  if (!pixmap) return nullptr;
  auto out = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, 4);
  if (!out) return nullptr;
  const int bpp = BytesPerPixel(pixmap->format);
  for (int y = 0; y < pixmap->height; ++y) {
    for (int x = 0; x < pixmap->width; ++x) {
      std::memcpy(out->PixelPtr(pixmap->width - 1 - x, y), pixmap->PixelPtr(x, y), bpp);
    }
  }
  return out;
}

std::shared_ptr<TPixmap> YFlipPixmap(const std::shared_ptr<TPixmap>& pixmap) {
  if (!pixmap) return nullptr;
  auto out = TPixmap::Create(pixmap->width, pixmap->height, pixmap->format, 4);
  if (!out) return nullptr;
  const size_t row = static_cast<size_t>(pixmap->width) * BytesPerPixel(pixmap->format);
  for (int y = 0; y < pixmap->height; ++y) {
    std::memcpy(out->PixelPtr(0, pixmap->height - 1 - y), pixmap->PixelPtr(0, y), row);
  }
  return out;
}
