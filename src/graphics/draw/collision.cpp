// Pixel-accurate collision layers. Every hit and crash of the game goes through
// ImagesOverlap, so the scan below follows the drawing rules pixel for pixel and
// allocates nothing once warmed up.
#include "graphics/draw/collision_scan.h"

#include <cmath>
#include <cstdint>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

struct CollisionState {
  TQuad* layers[32] = {};
  TQuad* free_list = nullptr;
  std::vector<std::unique_ptr<TQuad>> pool;  // owns every quad ever made
  float ix = 1.0f, iy = 0.0f, jx = 0.0f, jy = 1.0f;
};

CollisionState& state() {
  static CollisionState s;
  return s;
}

TQuad* take_quad() {
  CollisionState& s = state();
  if (TQuad* q = s.free_list) {
    s.free_list = q->link;
    q->link = nullptr;
    return q;
  }
  s.pool.push_back(std::make_unique<TQuad>());
  return s.pool.back().get();
}

void release_layer(int layer) {
  CollisionState& s = state();
  TQuad* q = s.layers[layer];
  while (q) {
    TQuad* next = q->link;
    // Free quads must not keep the caller's objects or pixmaps alive.
    q->id.reset();
    q->mask.reset();
    q->link = s.free_list;
    s.free_list = q;
    q = next;
  }
  s.layers[layer] = nullptr;
}

void record(const TQuad& quad, std::uint32_t write_mask) {
  CollisionState& s = state();
  for (int layer = 0; layer < 32; ++layer) {
    if (!(write_mask & (1u << layer))) continue;
    TQuad* q = take_quad();
    q->id = quad.id;
    q->mask = quad.mask;
    q->frame = quad.frame;
    q->minx = quad.minx;
    q->miny = quad.miny;
    q->maxx = quad.maxx;
    q->maxy = quad.maxy;
    for (int i = 0; i < 16; ++i) q->xyuv[i] = quad.xyuv[i];
    q->link = s.layers[layer];
    s.layers[layer] = q;
  }
}

// fmin and fmax without the library call: a not-a-number operand gives the other one.
inline float least(float a, float b) { return (b < a || a != a) ? b : a; }
inline float most(float a, float b) { return (b > a || a != a) ? b : a; }

// A quad's corners and bounding box alone. The overlap test places two of these per
// call, hundreds of times a frame, and mostly finds them apart: left uninitialised,
// they cost nothing to make.
struct Placed {
  float minx, miny, maxx, maxy;
  float xyuv[16];
};

// Stores the corners with texture coordinates (0,0), (1,0), (1,1), (0,1) and the
// bounding box, into a TQuad or a Placed.
template <class Q>
void store_coords(Q& q, float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                  float y3) {
  const float xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
  const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
  for (int i = 0; i < 4; ++i) {
    q.xyuv[i * 4 + 0] = xs[i];
    q.xyuv[i * 4 + 1] = ys[i];
    q.xyuv[i * 4 + 2] = us[i];
    q.xyuv[i * 4 + 3] = vs[i];
  }
  q.minx = least(least(x0, x1), least(x2, x3));
  q.maxx = most(most(x0, x1), most(x2, x3));
  q.miny = least(least(y0, y1), least(y2, y3));
  q.maxy = most(most(y0, y1), most(y2, y3));
}

bool has_alpha(const TPixmap& p) {
  return p.format == PixelA8 || p.format == PixelBGRA8888 || p.format == PixelRGBA8888;
}

// The pixmap of a valid frame, made by Lock when the frame has none yet; read without
// copying the pointer, since the overlap test asks for it hundreds of times a frame.
const std::shared_ptr<TPixmap>& frame_pixmap(TImage& image, int frame) {
  if (!image.pixmaps[frame]) image.Lock(frame, 1, 0);
  return image.pixmaps[frame];
}

// The pixmap whose alpha decides a quad's solid pixels, or none when it has no alpha.
const TPixmap* mask_of(const std::shared_ptr<TPixmap>& pixmap) {
  return pixmap && has_alpha(*pixmap) ? pixmap.get() : nullptr;
}

// Places the corners of an image frame (or of a width x height rectangle without
// image) at (x, y): handle offset, then the matrix, then position and origin.
template <class Q>
void place_quad(Q& q, const TImage* image, int x, int y, int width, int height) {
  float x0 = 0.0f, y0 = 0.0f;
  if (image) {
    x0 = -image->handle_x;
    y0 = -image->handle_y;
    width = image->width;
    height = image->height;
  }
  const float x1 = x0 + static_cast<float>(width);
  const float y1 = y0 + static_cast<float>(height);
  float tx = static_cast<float>(x), ty = static_cast<float>(y);
  if (const T2DGraphics* g = Current2DContext()) {
    tx += g->origin_x;
    ty += g->origin_y;
  }
  const CollisionState& s = state();
  auto px = [&](float a, float b) { return a * s.ix + b * s.iy + tx; };
  auto py = [&](float a, float b) { return a * s.jx + b * s.jy + ty; };
  store_coords(q, px(x0, y0), py(x0, y0), px(x1, y0), py(x1, y0), px(x1, y1), py(x1, y1),
               px(x0, y1), py(x0, y1));
}

bool valid_frame(const TImage& image, int frame) {
  return frame >= 0 && frame < static_cast<int>(image.pixmaps.size());
}

void copy_place(TQuad& q, const Placed& p) {
  q.minx = p.minx;
  q.miny = p.miny;
  q.maxx = p.maxx;
  q.maxy = p.maxy;
  for (int i = 0; i < 16; ++i) q.xyuv[i] = p.xyuv[i];
}

// Fills the quad of an image frame (or of a rectangle when image is none) placed at (x, y).
bool make_quad(TQuad& q, const std::shared_ptr<TImage>& image, int frame, int x, int y, int width,
               int height) {
  q.mask.reset();
  q.frame = frame;
  if (image) {
    if (!valid_frame(*image, frame)) return false;
    const std::shared_ptr<TPixmap>& pix = frame_pixmap(*image, frame);
    if (mask_of(pix)) q.mask = pix;
  }
  place_quad(q, image.get(), x, y, width, height);
  return true;
}

bool same_place(const TQuad& a, const Placed& b) {
  for (int i = 0; i < 16; ++i)
    if (!(a.xyuv[i] == b.xyuv[i])) return false;
  return a.minx == b.minx && a.miny == b.miny && a.maxx == b.maxx && a.maxy == b.maxy;
}

template <class A>
bool boxes_apart(const A& a, const TQuad& b) {
  return a.maxx < b.minx || a.maxy < b.miny || a.minx > b.maxx || a.miny > b.maxy;
}

// ImagesOverlap needs only "any hit", so it stops at the first one and builds no list.
bool any_hit(const TQuad& quad, std::uint32_t collide_mask) {
  const CollisionState& s = state();
  for (int layer = 0; layer < 32; ++layer) {
    if (!(collide_mask & (1u << layer))) continue;
    for (const TQuad* q = s.layers[layer]; q; q = q->link)
      if (QuadsCollide(quad, *q)) return true;
  }
  return false;
}

TCollisionHits test_and_record(const TQuad& quad, std::uint32_t collide_mask,
                               std::uint32_t write_mask) {
  TCollisionHits hits;
  const CollisionState& s = state();
  for (int layer = 0; layer < 32; ++layer) {
    if (!(collide_mask & (1u << layer))) continue;
    for (const TQuad* q = s.layers[layer]; q; q = q->link) {
      if (!QuadsCollide(quad, *q)) continue;
      if (hits.size() == hits.capacity())
        hits.reserve(static_cast<std::size_t>((hits.size() + 4) * 1.2));
      hits.push_back(q->id);
    }
  }
  record(quad, write_mask);
  return hits;
}

constexpr std::uint32_t kOverlapLayer = 1u << 31;

}  // namespace

void TQuad::SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                      float y3) {
  store_coords(*this, x0, y0, x1, y1, x2, y2, x3, y3);
}

void SetCollisionTransform(float ix, float iy, float jx, float jy) {
  CollisionState& s = state();
  s.ix = ix;
  s.iy = iy;
  s.jx = jx;
  s.jy = jy;
}

void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy) {
  const CollisionState& s = state();
  ix = s.ix;
  iy = s.iy;
  jx = s.jx;
  jy = s.jy;
}

void ClearCollisionLayers(int mask) {
  std::uint32_t m = static_cast<std::uint32_t>(mask);
  if (m == 0) m = ~0u;
  for (int layer = 0; layer < 32; ++layer)
    if (m & (1u << layer)) release_layer(layer);
}

TCollisionHits LayerTestQuad(const TQuad& quad, int collide_mask, int write_mask) {
  return test_and_record(quad, static_cast<std::uint32_t>(collide_mask),
                         static_cast<std::uint32_t>(write_mask));
}

TCollisionHits LayerTestImage(const std::shared_ptr<TImage>& image, int x, int y, int frame,
                              int collide_mask, int write_mask, std::shared_ptr<void> id) {
  if (!image) return {};
  TQuad q;
  if (!make_quad(q, image, frame, x, y, 0, 0)) return {};
  q.id = std::move(id);
  return test_and_record(q, static_cast<std::uint32_t>(collide_mask),
                         static_cast<std::uint32_t>(write_mask));
}

TCollisionHits LayerTestRect(int x, int y, int width, int height, int collide_mask, int write_mask,
                             std::shared_ptr<void> id) {
  TQuad q;
  make_quad(q, nullptr, 0, x, y, width, height);
  q.id = std::move(id);
  return test_and_record(q, static_cast<std::uint32_t>(collide_mask),
                         static_cast<std::uint32_t>(write_mask));
}

int ImagesOverlap(const std::shared_ptr<TImage>& image1, int x1, int y1, int frame1,
                  const std::shared_ptr<TImage>& image2, int x2, int y2, int frame2) {
  // Layer 31 ends up holding exactly image1's quad. The game tests one plane or
  // balloon against every shot in turn, so that quad is often the one already there:
  // it is then kept rather than released and recorded again, which leaves the same
  // layer. Image2's pixmap is only taken when the bounding boxes meet.
  CollisionState& s = state();
  if (!image1 || !valid_frame(*image1, frame1)) {
    release_layer(31);
    return 0;
  }
  Placed p1;
  place_quad(p1, image1.get(), x1, y1, 0, 0);
  const std::shared_ptr<TPixmap>& pix1 = frame_pixmap(*image1, frame1);
  const TPixmap* mask1 = mask_of(pix1);
  const TQuad* held = s.layers[31];
  if (!held || held->link || held->id || held->mask.get() != mask1 || held->frame != frame1 ||
      !same_place(*held, p1)) {
    release_layer(31);
    TQuad q1;
    q1.frame = frame1;
    copy_place(q1, p1);
    if (mask1) q1.mask = pix1;
    record(q1, kOverlapLayer);
    held = s.layers[31];
  }
  if (!image2 || !valid_frame(*image2, frame2)) return 0;
  Placed p2;
  place_quad(p2, image2.get(), x2, y2, 0, 0);
  const std::shared_ptr<TPixmap>& pix2 = frame_pixmap(*image2, frame2);
  if (boxes_apart(p2, *held)) return 0;
  TQuad q2;
  q2.frame = frame2;
  copy_place(q2, p2);
  if (mask_of(pix2)) q2.mask = pix2;
  return QuadsCollide(q2, *held) ? 1 : 0;
}

int ImagesOverlapRotated(const std::shared_ptr<TImage>& image1, int x1, int y1, float rotation1,
                         float scale_x1, float scale_y1, int frame1,
                         const std::shared_ptr<TImage>& image2, int x2, int y2, float rotation2,
                         float scale_x2, float scale_y2, int frame2) {
  float ix, iy, jx, jy;
  GetCollisionTransform(ix, iy, jx, jy);
  auto set = [](float rot, float sx, float sy) {
    const double a = rot * kRadiansPerDegree;
    const float s = static_cast<float>(std::sin(a)), c = static_cast<float>(std::cos(a));
    SetCollisionTransform(c * sx, -s * sy, s * sx, c * sy);
  };
  release_layer(31);
  int result = 0;
  TQuad q1, q2;
  set(rotation1, scale_x1, scale_y1);
  if (image1 && make_quad(q1, image1, frame1, x1, y1, 0, 0)) {
    record(q1, kOverlapLayer);
    set(rotation2, scale_x2, scale_y2);
    if (image2 && make_quad(q2, image2, frame2, x2, y2, 0, 0))
      result = any_hit(q2, kOverlapLayer) ? 1 : 0;
  }
  SetCollisionTransform(ix, iy, jx, jy);
  return result;
}
