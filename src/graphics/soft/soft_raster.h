#pragma once
// Triangles scan-converted as the GL renderer's GL (Mesa's llvmpipe) does it, measured by
// drawing known values through the GL renderer and reading them back:
// - vertices go through the same float projection and viewport arithmetic, and triangles
//   that leave the screen are clipped to it;
// - coverage is decided on vertices snapped to 1/256 pixel (ties to even), at pixel
//   centres, a centre on an edge belonging to the triangle whose left or bottom edge
//   (counting rows upwards, as the GL does) it is;
// - texture coordinates are planes set up from the unsnapped vertices in one float
//   order and evaluated at each pixel with two fused multiply-adds. Which of two texels a
//   centre that falls exactly between them samples (every row of a 33-row sprite drawn by
//   its centre at a whole y) comes down to that rounding.
// Quads are the triangles (0, 1, 3) and (1, 2, 3), polygons a fan from their first point.

#include <cstdint>
#include <vector>

#include "graphics/soft/soft_frame.h"
#include "graphics/soft/soft_screen.h"

namespace soft {

// A point in the GL's clip space (w is always 1) with its texture coordinates.
struct ClipVertex {
  float x = 0.0f, y = 0.0f, u = 0.0f, v = 0.0f;
};

// What a draw paints with: the colour bytes, the blend, the texture if any.
struct Paint {
  int blend = 0;
  uint8_t color[4] = {0, 0, 0, 0};
  const TSoftTexture* texture = nullptr;
  bool filtered = false;  // bilinear (with mipmaps when the texture has them)
  bool keep_alpha = false;
  bool white = true;  // colour and alpha all 255: texels go through unchanged
};

class Raster {
 public:
  // Draws into the screen within the clip rectangle (screen pixels, top row 0).
  void Begin(TSoftScreen& screen, int x0, int y0, int x1, int y1);
  // The screen point (x, y) with texture coordinates (u, v), in clip space.
  ClipVertex ToClip(float x, float y, float u = 0.0f, float v = 0.0f) const;
  void Triangle(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c, const Paint& p);
  void Quad(const ClipVertex q[4], const Paint& p);
  void Fan(const ClipVertex* v, int n, const Paint& p);
  // A point of size 1 at the screen point of p: the pixel it falls in, a point on a pixel's
  // edge belonging to the pixel right of it and above it (rows counted upwards).
  void Point(const ClipVertex& p, const Paint& paint);
  // A line between two screen points, as a rectangle `width` across its minor axis from
  // its first point up to its last.
  void Line(float x0, float y0, float x1, float y1, float width, const Paint& p);
  // The screen rectangle (x0, y0, x1, y1) within the clip rectangle every pixel of which
  // the quad covers, when it lies on the screen with its sides along the axes; false for
  // any other quad.
  bool Covered(const ClipVertex q[4], int r[4]) const;
  // Off, every quad is drawn as its two halves, not in one go where it can be (for tests
  // that compare the two).
  static void UseWholeQuads(bool on);

 private:
  struct Window {
    float x, y, u, v;
  };
  struct Plane {
    float a0, dadx, dady;
    float At(int x, int y) const;
  };
  // plane_of: three points to set the texture planes up from, if not these.
  void Rasterize(const Window& a, const Window& b, const Window& c, const Paint& p,
                 const Window* plane_of = nullptr);
  // The convex polygon of n (3 or 4) snapped corners counter-clockwise, texture planes from
  // `plane`.
  void Fill(const int64_t* X, const int64_t* Y, int n, const Paint& p, const Window plane[3]);
  // A convex quad on the screen (snapped corners X, Y) in one go, one span a row, as its
  // two halves would draw it (texture planes from `plane`); false where they might not agree.
  bool ConvexQuad(const int64_t X[4], const int64_t Y[4], const Paint& p, const Window plane[3]);
  // The texture planes from three points, and the texel columns of pixel columns ilo to ihi
  // where they only depend on the column.
  void SetUpTexture(const TSoftTexture& t, const Window& pa, const Window& pb, const Window& pc,
                    int64_t ilo, int64_t ihi, Plane& pu, Plane& pv, float& lambda);
  // A quad on the screen (snapped corners X, Y) with its sides along the axes, as its two
  // halves would draw it (texture planes from `plane`); false for any other.
  bool Rectangle(const int64_t X[4], const int64_t Y[4], const Paint& p, const Window plane[3]);
  void ShadeSpan(const Paint& p, const Plane& pu, const Plane& pv, float lambda, int row, int x0,
                 int x1);
  // Narrows the span [x0, x1) of a first-level draw of t to the columns that sample one of
  // its visible texels; false when none does.
  bool Narrow(const TSoftTexture& t, bool filtered, const Plane& pu, const Plane& pv, int row,
              int& x0, int& x1) const;
  Window ToWindow(const ClipVertex& c) const;

  TSoftScreen* screen_ = nullptr;
  int w_ = 0, h_ = 0;
  int cx0_ = 0, cy0_ = 0, cx1_ = 0, cy1_ = 0;
  std::vector<uint32_t> line_;  // the source texels of a span
  std::vector<float> coords_;   // a span's u and v
  std::vector<int> index_;      // and its texel numbers or fixed-point texel coordinates
  std::vector<float> columns_;  // u per pixel column, for a triangle where u only depends on it
  int columns_from_ = 0;
  // The nearest first-level texel column of each of those, and whether they run on one by
  // one from the first (a frame drawn at its own size): then a span's texels are a run of
  // its texel row.
  std::vector<int> texel_columns_;
  bool columns_straight_ = false;
  float per_texel_[2] = {0.0f, 0.0f};  // pixel columns a texel takes along u and v
};

// Whether a texel of alpha 0 leaves the screen as it is in this blend (its alpha too: kept,
// or 255 throughout): then what samples only clear texels need not be drawn, nor marked.
bool ClearTexelsLeaveScreen(int blend);

// Blends n source words (texels, or the colour when `texels` is null) into dst.
void BlendSpan(const Paint& p, const uint32_t* texels, uint32_t* dst, int n);

}  // namespace soft
