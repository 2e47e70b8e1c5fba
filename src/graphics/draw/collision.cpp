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

bool has_alpha(const TPixmap& p) {
    return p.format == PixelA8 || p.format == PixelBGRA8888 || p.format == PixelRGBA8888;
}

// Fills the quad of an image frame (or of a width x height rectangle without image)
// placed at (x, y): handle offset, then the matrix, then position and origin.
bool make_quad(TQuad& q, const std::shared_ptr<TImage>& image, int frame, int x, int y,
               int width, int height) {
    float x0 = 0.0f, y0 = 0.0f;
    q.mask.reset();
    q.frame = frame;
    if (image) {
        if (frame < 0 || frame >= static_cast<int>(image->pixmaps.size())) return false;
        x0 = -image->handle_x;
        y0 = -image->handle_y;
        width = image->width;
        height = image->height;
        std::shared_ptr<TPixmap> pix = image->Lock(frame, 1, 0);
        if (pix && has_alpha(*pix)) q.mask = std::move(pix);
    }
    const float x1 = x0 + static_cast<float>(width);
    const float y1 = y0 + static_cast<float>(height);
    float tx = static_cast<float>(x), ty = static_cast<float>(y);
    if (auto g = T2DGraphics::Current()) {
        tx += g->origin_x;
        ty += g->origin_y;
    }
    const CollisionState& s = state();
    auto px = [&](float a, float b) { return a * s.ix + b * s.iy + tx; };
    auto py = [&](float a, float b) { return a * s.jx + b * s.jy + ty; };
    q.SetCoords(px(x0, y0), py(x0, y0), px(x1, y0), py(x1, y0), px(x1, y1), py(x1, y1),
                px(x0, y1), py(x0, y1));
    return true;
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
    const float xs[4] = {x0, x1, x2, x3}, ys[4] = {y0, y1, y2, y3};
    const float us[4] = {0, 1, 1, 0}, vs[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        xyuv[i * 4 + 0] = xs[i];
        xyuv[i * 4 + 1] = ys[i];
        xyuv[i * 4 + 2] = us[i];
        xyuv[i * 4 + 3] = vs[i];
    }
    minx = std::fmin(std::fmin(x0, x1), std::fmin(x2, x3));
    maxx = std::fmax(std::fmax(x0, x1), std::fmax(x2, x3));
    miny = std::fmin(std::fmin(y0, y1), std::fmin(y2, y3));
    maxy = std::fmax(std::fmax(y0, y1), std::fmax(y2, y3));
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

TCollisionHits LayerTestRect(int x, int y, int width, int height, int collide_mask,
                             int write_mask, std::shared_ptr<void> id) {
    TQuad q;
    make_quad(q, nullptr, 0, x, y, width, height);
    q.id = std::move(id);
    return test_and_record(q, static_cast<std::uint32_t>(collide_mask),
                           static_cast<std::uint32_t>(write_mask));
}

int ImagesOverlap(const std::shared_ptr<TImage>& image1, int x1, int y1, int frame1,
                  const std::shared_ptr<TImage>& image2, int x2, int y2, int frame2) {
    release_layer(31);
    // The quads live on the stack: layer 31 takes a pooled copy of the first one.
    TQuad q1, q2;
    if (!image1 || !make_quad(q1, image1, frame1, x1, y1, 0, 0)) return 0;
    record(q1, kOverlapLayer);
    if (!image2 || !make_quad(q2, image2, frame2, x2, y2, 0, 0)) return 0;
    return any_hit(q2, kOverlapLayer) ? 1 : 0;
}

int ImagesOverlapRotated(const std::shared_ptr<TImage>& image1, int x1, int y1, float rotation1,
                         float scale_x1, float scale_y1, int frame1,
                         const std::shared_ptr<TImage>& image2, int x2, int y2, float rotation2,
                         float scale_x2, float scale_y2, int frame2) {
    float ix, iy, jx, jy;
    GetCollisionTransform(ix, iy, jx, jy);
    auto set = [](float rot, float sx, float sy) {
        const double a = rot * 0.017453292519943295;
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
