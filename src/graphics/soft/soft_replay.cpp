#include "graphics/soft/soft_replay.h"

#include <algorithm>
#include <cstring>

namespace soft {

namespace {

bool enabled = true;

// A frame keeps at most this much; a frame that draws more is matched up to there.
constexpr size_t kMaxDraws = 4096;
constexpr size_t kMaxVertices = 1 << 16;

bool same_paint(const Paint& a, const Paint& b) {
  return a.blend == b.blend && std::memcmp(a.color, b.color, sizeof a.color) == 0 &&
         a.texture == b.texture && a.filtered == b.filtered && a.keep_alpha == b.keep_alpha &&
         a.white == b.white;
}

void fill(TSoftScreen& s, int x0, int y0, int x1, int y1, uint32_t word) {
  for (int y = y0; y < y1; ++y) std::fill(s.Row(y) + x0, s.Row(y) + std::max(x0, x1), word);
}

}  // namespace

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
  matched_ = 0;
}

bool FrameReplay::Same(const Draw& d, const ClipVertex* v) const {
  if (!last_.started || matched_ >= last_.draws.size()) return false;
  const Draw& e = last_.draws[matched_];
  return d.kind == e.kind && same_paint(d.paint, e.paint) && d.version == e.version &&
         std::memcmp(d.clip, e.clip, sizeof d.clip) == 0 &&
         std::memcmp(d.line, e.line, sizeof d.line) == 0 && d.fill == e.fill &&
         d.count == e.count &&
         std::memcmp(v, last_.vertices.data() + e.first, sizeof(ClipVertex) * d.count) == 0;
}

void FrameReplay::Keep(const Draw& d, const ClipVertex* v,
                       const std::shared_ptr<const TSoftTexture>& t) {
  if (!now_.open) return;
  if (now_.draws.size() >= kMaxDraws || now_.vertices.size() + d.count > kMaxVertices) {
    now_.open = false;
    return;
  }
  Draw kept = d;
  kept.first = static_cast<int>(now_.vertices.size());
  now_.vertices.insert(now_.vertices.end(), v, v + d.count);
  now_.draws.push_back(kept);
  now_.textures.push_back(t);
}

void FrameReplay::Submit(const Draw& d, const ClipVertex* v,
                         const std::shared_ptr<const TSoftTexture>& texture) {
  if (!enabled) {
    Make(d, v);
    return;
  }
  if (behind_ && Same(d, v)) {
    Keep(d, v, texture);
    ++matched_;
    return;
  }
  Settle();
  Make(d, v);
  Keep(d, v, texture);
}

void FrameReplay::Settle() {
  if (!behind_) return;
  TSoftScreen& s = screen_;
  behind_ = false;
  size_t from = 0;
  if (have_copy_ && copy_after_ <= matched_ && copy_clear_ == now_.clear &&
      copy_.size() == s.pixels.size()) {
    std::copy(copy_.begin(), copy_.end(), s.pixels.begin());
    from = copy_after_;
  } else {
    fill(s, 0, 0, s.width, s.height, now_.clear);
  }
  for (size_t i = from; i < matched_; ++i)
    Make(now_.draws[i], now_.vertices.data() + now_.draws[i].first);
  if (matched_ == 0) {
    have_copy_ = false;
  } else if (!have_copy_ || copy_after_ != matched_ || copy_clear_ != now_.clear) {
    copy_.assign(s.pixels.begin(), s.pixels.end());
    copy_after_ = matched_;
    copy_clear_ = now_.clear;
    have_copy_ = true;
  }
}

void FrameReplay::Forget() {
  behind_ = false;
  have_copy_ = false;
  matched_ = 0;
  last_ = Frame{};
  now_ = Frame{};
  std::vector<uint32_t>().swap(copy_);
}

void FrameReplay::Make(const Draw& d, const ClipVertex* v) {
  if (d.kind == Draw::kFill) {
    fill(screen_, d.clip[0], d.clip[1], d.clip[2], d.clip[3], d.fill);
    return;
  }
  raster_.Begin(screen_, d.clip[0], d.clip[1], d.clip[2], d.clip[3]);
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
