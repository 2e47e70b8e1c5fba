#include "graphics/soft/soft_replay.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "graphics/draw/draw2d.h"

namespace soft {

namespace {

bool enabled = true;

// A frame keeps at most this much; a frame that draws more is made as it comes from there.
constexpr size_t kMaxDraws = 4096;
constexpr size_t kMaxVertices = 1 << 16;
// The last draws of a frame that replace what is under them, as many as are looked at.
constexpr size_t kMostCovers = 16;

bool same_paint(const Paint& a, const Paint& b) {
  return a.blend == b.blend && std::memcmp(a.color, b.color, sizeof a.color) == 0 &&
         a.texture == b.texture && a.filtered == b.filtered && a.keep_alpha == b.keep_alpha &&
         a.white == b.white;
}

bool same_draw(const Draw& d, const ClipVertex* v, const Draw& e, const ClipVertex* w) {
  return d.kind == e.kind && same_paint(d.paint, e.paint) && d.version == e.version &&
         std::memcmp(d.clip, e.clip, sizeof d.clip) == 0 &&
         std::memcmp(d.line, e.line, sizeof d.line) == 0 && d.fill == e.fill &&
         d.count == e.count &&
         (d.count == 0 || std::memcmp(v, w, sizeof(ClipVertex) * d.count) == 0);
}

void fill(TSoftScreen& s, int x0, int y0, int x1, int y1, uint32_t word) {
  for (int y = y0; y < y1; ++y) std::fill(s.Row(y) + x0, s.Row(y) + std::max(x0, x1), word);
}

bool overlap(const std::array<int, 4>& a, const std::array<int, 4>& b) {
  return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

// r less o where o takes a whole side of it off (all of r when o holds all of it).
void cut(std::array<int, 4>& r, const std::array<int, 4>& o) {
  if (r[0] >= r[2] || r[1] >= r[3]) return;
  if (o[1] <= r[1] && o[3] >= r[3]) {  // o spans r's rows
    if (o[0] <= r[0] && o[2] > r[0]) r[0] = std::min(o[2], r[2]);
    if (o[2] >= r[2] && o[0] < r[2]) r[2] = std::max(o[0], r[0]);
  }
  if (o[0] <= r[0] && o[2] >= r[2]) {  // o spans r's columns
    if (o[1] <= r[1] && o[3] > r[1]) r[1] = std::min(o[3], r[3]);
    if (o[3] >= r[3] && o[1] < r[3]) r[3] = std::max(o[1], r[1]);
  }
}

bool inside(const std::array<int, 4>& r, const std::array<int, 4>& o) {
  return r[0] >= o[0] && r[1] >= o[1] && r[2] <= o[2] && r[3] <= o[3];
}

}  // namespace

void TileMap::Reset(int width, int height) {
  all_ = false;
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  cols_ = (width_ + (1 << kShift) - 1) >> kShift;
  const int rows = (height_ + (1 << kShift) - 1) >> kShift;
  tiles_.assign(static_cast<size_t>(cols_) * static_cast<size_t>(rows), 0);
}

void TileMap::Mark(const Rect& r) {
  if (all_) return;
  const int x0 = std::max(r[0], 0), y0 = std::max(r[1], 0);
  const int x1 = std::min(r[2], width_), y1 = std::min(r[3], height_);
  if (x0 >= x1 || y0 >= y1) return;
  for (int ty = y0 >> kShift; ty <= (y1 - 1) >> kShift; ++ty) {
    uint8_t* row = tiles_.data() + static_cast<size_t>(ty) * cols_;
    std::fill(row + (x0 >> kShift), row + ((x1 - 1) >> kShift) + 1, uint8_t{1});
  }
}

std::vector<FrameReplay*>& FrameReplay::Live() {
  static std::vector<FrameReplay*> live;
  return live;
}

FrameReplay::FrameReplay(TSoftScreen& screen) : screen_(screen) { Live().push_back(this); }

FrameReplay::~FrameReplay() {
  std::vector<FrameReplay*>& live = Live();
  live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

void FrameReplay::SetEnabled(bool on) {
  for (FrameReplay* r : Live()) {
    r->Settle();
    r->Forget();
  }
  enabled = on;
}

void FrameReplay::SettleAll() {
  for (FrameReplay* r : Live()) r->Settle();
}

void FrameReplay::Clear(uint32_t word) {
  if (!enabled) {
    copy_on_screen_ = false;
    clean_ = false;
    known_ = Rect{0, 0, 0, 0};
    touched_.MarkAll();
    fill(screen_, 0, 0, screen_.width, screen_.height, word);
    return;
  }
  // A frame neither shown nor read is covered by this clear: none of its draws is made.
  // The copy stays, to be used only when the next frame matches as far as it was taken.
  std::swap(last_, now_);
  now_.draws.clear();
  now_.vertices.clear();
  now_.textures.clear();
  now_.started = true;
  now_.open = true;
  now_.clear = word;
  behind_ = true;
  matching_ = true;
  matched_ = 0;
}

bool FrameReplay::Same(const Draw& d, const ClipVertex* v) const {
  if (!last_.started || matched_ >= last_.draws.size()) return false;
  const Draw& e = last_.draws[matched_];
  return same_draw(d, v, e, last_.vertices.data() + e.first);
}

bool FrameReplay::Keep(const Draw& d, const ClipVertex* v,
                       const std::shared_ptr<const TSoftTexture>& t) {
  if (!now_.open) return false;
  if (now_.draws.size() >= kMaxDraws || now_.vertices.size() + d.count > kMaxVertices) {
    now_.open = false;
    return false;
  }
  Draw kept = d;
  kept.first = static_cast<int>(now_.vertices.size());
  if (d.count > 0) now_.vertices.insert(now_.vertices.end(), v, v + d.count);
  now_.draws.push_back(kept);
  now_.textures.push_back(t);
  return true;
}

void FrameReplay::Submit(const Draw& d, const ClipVertex* v,
                         const std::shared_ptr<const TSoftTexture>& texture) {
  const Rect clip{d.clip[0], d.clip[1], d.clip[2], d.clip[3]};
  if (!enabled) {
    Make(d, v, clip);
    touched_.MarkAll();
    clean_ = false;
    return;
  }
  if (behind_) {
    if (Keep(d, v, texture)) {
      if (matching_ && Same(d, v)) {
        ++matched_;
      } else {
        matching_ = false;
      }
      return;
    }
    matching_ = false;
    Settle();  // no room to keep it: the frame so far is made, and this draw after it
  }
  Make(d, v, clip);
  touched_.Mark(Reach(d, v, clip));
  clean_ = false;  // made where it comes, outside what the next frame is told of
  known_ = Rect{0, 0, 0, 0};
  Keep(d, v, texture);
}

void FrameReplay::FindHidden() {
  covers_.clear();
  for (size_t i = now_.draws.size(); i-- > 0 && covers_.size() < kMostCovers;) {
    const Draw& d = now_.draws[i];
    Rect r{d.clip[0], d.clip[1], d.clip[2], d.clip[3]};
    if (d.kind == Draw::kQuad && d.paint.blend == SolidBlend) {
      raster_.Begin(screen_, r[0], r[1], r[2], r[3]);
      if (!raster_.Covered(now_.vertices.data() + d.first, r.data())) continue;
    } else if (d.kind != Draw::kFill) {
      continue;
    }
    r = {std::max(r[0], 0), std::max(r[1], 0), std::min(r[2], screen_.width),
         std::min(r[3], screen_.height)};
    if (r[0] < r[2] && r[1] < r[3]) covers_.emplace_back(i, r);
  }
}

FrameReplay::Rect FrameReplay::Visible(const Rect& r, size_t after) const {
  Rect v{std::max(r[0], 0), std::max(r[1], 0), std::min(r[2], screen_.width),
         std::min(r[3], screen_.height)};
  for (const auto& [i, o] : covers_) {  // latest first
    if (i < after) break;
    cut(v, o);
  }
  return v;
}

void FrameReplay::Settle() {
  if (!behind_) return;
  TSoftScreen& s = screen_;
  behind_ = false;
  FindHidden();
  const size_t n = now_.draws.size();
  const bool usable = have_copy_ && copy_after_ <= matched_ && copy_clear_ == now_.clear &&
                      copy_.size() == s.pixels.size();
  const size_t from = usable ? copy_after_ : 0;
  // Taken again where this frame's match ends when the copy does not serve, or when the
  // match has reached past it twice running: a start that comes and goes with every other
  // frame (a cloud that moves every other frame) is not worth a copy each time. A copy is
  // of the screen drawn whole up to there.
  grown_ = usable && matched_ > copy_after_ ? grown_ + 1 : 0;
  const bool retake = matched_ > 0 && (!usable || grown_ >= 2);
  if (matched_ == 0) have_copy_ = false;
  const Rect whole{0, 0, s.width, s.height};
  const Rect start = retake ? whole : Visible(whole, from);
  if (usable && copy_on_screen_) {
    // Nothing has changed the screen since it was the copy.
    Known(whole);
  } else if (usable) {
    // Where the screen is known to be the copy, only the tiles drawn since are copied back.
    const bool tracked = inside(start, known_) && !drawn_.All(s.width, s.height);
    auto restore = [&](int y0, int y1, int x0, int x1) {
      for (int y = y0; y < y1; ++y) {
        const size_t at = static_cast<size_t>(y) * s.pitch + x0;
        std::copy(copy_.begin() + at, copy_.begin() + at + (x1 - x0), s.pixels.begin() + at);
      }
      touched_.Mark(Rect{x0, y0, x1, y1});
    };
    if (!tracked) {
      restore(start[1], start[3], start[0], start[2]);
    } else if (start[1] < start[3]) {
      for (int ty = start[1] >> TileMap::kShift; ty <= (start[3] - 1) >> TileMap::kShift; ++ty) {
        const int y0 = std::max(start[1], ty << TileMap::kShift);
        const int y1 = std::min(start[3], (ty + 1) << TileMap::kShift);
        drawn_.Runs(ty, start[0], start[2], [&](int x0, int x1) { restore(y0, y1, x0, x1); });
      }
    }
    Known(start);
  } else {
    fill(s, start[0], start[1], start[2], start[3], now_.clear);
    touched_.Mark(start);
    known_ = Rect{0, 0, 0, 0};
  }
  // Where each draw is made: the start made whole when the copy is taken again after it,
  // every other draw within its clip rectangle less what later draws replace.
  const size_t first = retake ? matched_ : from;
  made_.assign(n, Rect{0, 0, 0, 0});
  reach_.assign(n, Rect{0, 0, 0, 0});
  for (size_t k = from; k < n; ++k) {
    const Draw& d = now_.draws[k];
    const Rect clip{d.clip[0], d.clip[1], d.clip[2], d.clip[3]};
    made_[k] = k < first ? clip : Visible(clip, k + 1);
    reach_[k] = Reach(d, now_.vertices.data() + d.first, made_[k]);
  }
  FindStanding(first, usable && copy_on_screen_ ? Rect{0, 0, 0, 0} : start);
  for (size_t k = from; k <= n; ++k) {
    if (k == matched_ && retake) {
      copy_.assign(s.pixels.begin(), s.pixels.end());
      copy_on_screen_ = true;
      copy_after_ = matched_;
      copy_clear_ = now_.clear;
      have_copy_ = true;
      grown_ = 0;
      Known(whole);
    }
    if (k == n) break;
    const Draw& d = now_.draws[k];
    if (skip_[k]) continue;
    Make(d, now_.vertices.data() + d.first, made_[k]);
    Drawn(reach_[k]);
  }
  KeepStanding(first);
  clean_ = true;
}

void FrameReplay::FindStanding(size_t first, const Rect& restored) {
  skip_.assign(now_.draws.size(), 0);
  if (!clean_) return;
  for (const auto& [i, r] : covers_) {
    if (i < first) break;
    const Draw& d = now_.draws[i];
    const ClipVertex* v = now_.vertices.data() + d.first;
    bool there = false;
    for (const Standing& st : standing_)
      there = there || (st.rect == r && same_draw(d, v, st.draw, st.vertices.data()));
    if (!there || overlap(restored, r)) continue;
    for (size_t k = first; k < i && there; ++k) there = skip_[k] || !overlap(reach_[k], r);
    if (there) skip_[i] = 1;
  }
}

void FrameReplay::KeepStanding(size_t first) {
  standing_.clear();
  const size_t n = now_.draws.size();
  for (const auto& [i, r] : covers_) {
    if (i < first) break;
    const Draw& d = now_.draws[i];
    bool over = d.count != 4;
    for (size_t k = i + 1; k < n && !over; ++k) over = overlap(skip_[k] ? Cover(k) : reach_[k], r);
    if (over) continue;
    Standing st{d, {}, r};
    std::copy(now_.vertices.begin() + d.first, now_.vertices.begin() + d.first + 4,
              st.vertices.begin());
    standing_.push_back(st);
  }
}

FrameReplay::Rect FrameReplay::Reach(const Draw& d, const ClipVertex* v, const Rect& made) const {
  if (made[0] >= made[2] || made[1] >= made[3]) return Rect{0, 0, 0, 0};
  if (d.kind == Draw::kFill) return made;
  // Every corner, projected as the rasteriser projects it, with two pixels to spare.
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  auto take = [&](float x, float y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  };
  const float hw = static_cast<float>(screen_.width) * 0.5f;
  const float hh = static_cast<float>(screen_.height) * 0.5f;
  if (d.kind == Draw::kLine) {
    const float h = d.line[4] * 0.5f;
    take(d.line[0] - h, d.line[1] - h);
    take(d.line[2] + h, d.line[3] + h);
    take(d.line[0] + h, d.line[1] + h);
    take(d.line[2] - h, d.line[3] - h);
  } else {
    for (int k = 0; k < d.count; ++k) take((v[k].x + 1.0f) * hw, (1.0f - v[k].y) * hh);
  }
  if (!(x0 <= x1 && y0 <= y1) || x1 - x0 > 1e6f || y1 - y0 > 1e6f) return made;
  Rect r{static_cast<int>(std::floor(x0)) - 2, static_cast<int>(std::floor(y0)) - 2,
         static_cast<int>(std::ceil(x1)) + 2, static_cast<int>(std::ceil(y1)) + 2};
  r = Rect{std::max(r[0], made[0]), std::max(r[1], made[1]), std::min(r[2], made[2]),
           std::min(r[3], made[3])};
  return d.kind == Draw::kQuad && d.count == 4 ? VisibleReach(d, v, r) : r;
}

FrameReplay::Rect FrameReplay::VisibleReach(const Draw& d, const ClipVertex* v,
                                            const Rect& r) const {
  // The rasteriser leaves out what samples only clear texels in these blends; every pixel
  // it draws samples the box of visible texels (or, filtered, a texel next to it) through
  // the one texture plane of the quad, set up from its corners 0, 1 and 3.
  const TSoftTexture* t = d.paint.texture;
  if (!t || t->MaxLevel() != 0 || !ClearTexelsLeaveScreen(d.paint.blend) || t->AllVisible())
    return r;
  const int* box = t->visible;
  if (box[0] > box[2]) return Rect{0, 0, 0, 0};
  const float hw = static_cast<float>(screen_.width) * 0.5f;
  const float hh = static_cast<float>(screen_.height) * 0.5f;
  const float px = (v[0].x + 1.0f) * hw, py = (1.0f - v[0].y) * hh;
  const float ax = (v[1].x + 1.0f) * hw - px, ay = (1.0f - v[1].y) * hh - py;
  const float bx = (v[3].x + 1.0f) * hw - px, by = (1.0f - v[3].y) * hh - py;
  const float au = v[1].u - v[0].u, av = v[1].v - v[0].v;
  const float bu = v[3].u - v[0].u, bv = v[3].v - v[0].v;
  const float det = au * bv - bu * av;
  if (!(std::fabs(det) > 1e-12f)) return r;
  const float w = static_cast<float>(t->width), h = static_cast<float>(t->height);
  // A texel to spare on each side, for a filtered sample's neighbour and for rounding.
  const float us[2] = {static_cast<float>(box[0] - 1) / w, static_cast<float>(box[2] + 2) / w};
  const float vs[2] = {static_cast<float>(box[1] - 1) / h, static_cast<float>(box[3] + 2) / h};
  float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
  for (float u : us) {
    for (float tv : vs) {
      // (u, v) = v[0] + a * (au, av) + b * (bu, bv), so the point is p + a * A + b * B.
      const float du = u - v[0].u, dv = tv - v[0].v;
      const float a = (du * bv - bu * dv) / det, b = (au * dv - du * av) / det;
      const float x = px + a * ax + b * bx, y = py + a * ay + b * by;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (!(x0 >= -1e6f && x1 <= 1e6f && y0 >= -1e6f && y1 <= 1e6f)) return r;
  return Rect{std::max(r[0], static_cast<int>(std::floor(x0)) - 2),
              std::max(r[1], static_cast<int>(std::floor(y0)) - 2),
              std::min(r[2], static_cast<int>(std::ceil(x1)) + 2),
              std::min(r[3], static_cast<int>(std::ceil(y1)) + 2)};
}

void FrameReplay::Known(const Rect& r) {
  known_ = r;
  drawn_.Reset(screen_.width, screen_.height);
}

void FrameReplay::Drawn(const Rect& r) {
  drawn_.Mark(r);
  touched_.Mark(r);
}

FrameReplay::Rect FrameReplay::Cover(size_t i) const {
  for (const auto& [k, r] : covers_)
    if (k == i) return r;
  return Rect{0, 0, 0, 0};
}

void FrameReplay::Forget() {
  behind_ = false;
  clean_ = false;
  known_ = Rect{0, 0, 0, 0};
  touched_.MarkAll();
  standing_.clear();
  copy_on_screen_ = false;
  matching_ = false;
  have_copy_ = false;
  grown_ = 0;
  matched_ = 0;
  last_ = Frame{};
  now_ = Frame{};
  covers_.clear();
  std::vector<uint32_t>().swap(copy_);
}

void FrameReplay::Written() {
  Settle();
  copy_on_screen_ = false;
  clean_ = false;
  known_ = Rect{0, 0, 0, 0};
  touched_.MarkAll();
}

void FrameReplay::Make(const Draw& d, const ClipVertex* v, const Rect& clip) {
  if (clip[0] >= clip[2] || clip[1] >= clip[3]) return;
  copy_on_screen_ = false;
  if (d.kind == Draw::kFill) {
    fill(screen_, std::max(clip[0], 0), std::max(clip[1], 0), std::min(clip[2], screen_.width),
         std::min(clip[3], screen_.height), d.fill);
    return;
  }
  raster_.Begin(screen_, clip[0], clip[1], clip[2], clip[3]);
  switch (d.kind) {
    case Draw::kQuad: raster_.Quad(v, d.paint); break;
    case Draw::kFan: raster_.Fan(v, d.count, d.paint); break;
    case Draw::kPoint: raster_.Point(v[0], d.paint); break;
    case Draw::kLine:
      raster_.Line(d.line[0], d.line[1], d.line[2], d.line[3], d.line[4], d.paint);
      break;
    default: break;
  }
}

}  // namespace soft
