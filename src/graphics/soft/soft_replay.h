#pragma once
// What a frame draws from its clear of the whole screen on is kept, and made only when the
// screen is read (shown, grabbed) or written otherwise, so that the frame can be drawn
// knowing all of it and the last frame.
// - Most frames start with the same sky, and a menu nobody touches is the same frame over
//   and over: the draws are compared with the last frame's, and for as far as they are the
//   same from the start, a copy of the screen kept after them stands in for them (taken
//   where the frames last matched as far).
// - A draw that replaces what is under it (the solid blend of a rectangle along the axes,
//   such as the black bars at the sides) leaves nothing of what was drawn there before:
//   the draws before it are not made there (each keeps a smaller clip rectangle).
// The pixels are those of making every draw as it comes; a draw is the same as another only
// when everything it paints with is (texels by the version of their texture).

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/soft/soft_raster.h"

namespace soft {

// Which tiles of 8 x 8 screen pixels something may have written: each is marked, or all
// are (a map for a screen of another size counts as all).
class TileMap {
 public:
  static constexpr int kShift = 3;
  using Rect = std::array<int, 4>;    // x0, y0, x1, y1
  void Reset(int width, int height);  // none marked
  void Mark(const Rect& r);           // the tiles r (within the screen) touches
  void MarkAll() { all_ = true; }
  bool All(int width, int height) const { return all_ || width != width_ || height != height_; }
  // f(x0, x1) for each run of marked tiles in tile row `ty`, as the pixel columns of the
  // run within [lo, hi).
  template <class F>
  void Runs(int ty, int lo, int hi, F&& f) const {
    const uint8_t* row = tiles_.data() + static_cast<size_t>(ty) * cols_;
    for (int tx = lo >> kShift; tx < cols_ && (tx << kShift) < hi;) {
      if (!row[tx]) {
        ++tx;
        continue;
      }
      const int start = tx;
      while (tx < cols_ && row[tx]) ++tx;
      const int x0 = std::max(lo, start << kShift), x1 = std::min(hi, tx << kShift);
      if (x0 < x1) f(x0, x1);
    }
  }

 private:
  bool all_ = true;
  int width_ = 0, height_ = 0, cols_ = 0;
  std::vector<uint8_t> tiles_;
};

struct Draw {
  enum Kind : uint8_t { kQuad, kFan, kPoint, kLine, kFill };
  Kind kind = kQuad;
  Paint paint;
  uint64_t version = 0;             // of paint.texture's texels
  int clip[4] = {0, 0, 0, 0};       // x0, y0, x1, y1 in screen pixels
  float line[5] = {0, 0, 0, 0, 0};  // a line's ends and width
  uint32_t fill = 0;                // the word a fill writes in its clip rectangle
  int first = 0, count = 0;         // its vertices, in the frame's list
};

// One for each screen, made by it.
class FrameReplay {
 public:
  explicit FrameReplay(TSoftScreen& screen);
  ~FrameReplay();
  FrameReplay(const FrameReplay&) = delete;
  FrameReplay& operator=(const FrameReplay&) = delete;

  // The whole screen cleared to `word`: a frame starts.
  void Clear(uint32_t word);
  // A draw with its `count` vertices; `texture` is the one its paint names, held while
  // the draw is kept.
  void Submit(const Draw& d, const ClipVertex* v,
              const std::shared_ptr<const TSoftTexture>& texture);
  // Brings the screen up to date; before anything reads it.
  void Settle();
  // The same, before something other than a draw writes it.
  void Written();
  // The screen has a new size: nothing kept holds.
  void Forget();

  // Every screen brought up to date: before texels that a draw not yet made may sample
  // change.
  static void SettleAll();
  // Off, every draw is made as it comes (for tests that compare the two).
  static void SetEnabled(bool on);

  // Where the screen may have changed since the last TakeTouched, as settled now: the
  // window's present compares and sends only those tiles.
  const TileMap& Touched() const { return touched_; }
  void TakeTouched() { touched_.Reset(screen_.width, screen_.height); }

 private:
  struct Frame {
    bool started = false;  // by a clear of the whole screen
    bool open = false;     // its draws are still being kept (up to the most there is room for)
    uint32_t clear = 0;
    std::vector<Draw> draws;
    std::vector<ClipVertex> vertices;
    std::vector<std::shared_ptr<const TSoftTexture>> textures;
  };
  using Rect = std::array<int, 4>;  // x0, y0, x1, y1
  bool Same(const Draw& d, const ClipVertex* v) const;
  bool Keep(const Draw& d, const ClipVertex* v, const std::shared_ptr<const TSoftTexture>& t);
  void Make(const Draw& d, const ClipVertex* v, const Rect& clip);
  // Finds covers_ among the frame's draws.
  void FindHidden();
  // Of r, the part that the draws from number `after` on do not replace (for a draw's own
  // clip rectangle, `after` is the number of the draw after it).
  Rect Visible(const Rect& r, size_t after) const;
  Rect Cover(size_t i) const;  // the rectangle draw i replaces, if it is one of covers_
  void Known(const Rect& r);   // within r the screen is now the copy
  void Drawn(const Rect& r);   // where a draw was made
  // The pixels a draw made within `made` can reach: its corners' box, two pixels wider.
  Rect Reach(const Draw& d, const ClipVertex* v, const Rect& made) const;
  // Of a textured quad's reach r, the part its visible texels can reach.
  Rect VisibleReach(const Draw& d, const ClipVertex* v, const Rect& r) const;
  // Marks in skip_ the draws from `first` on that are on the screen already: a solid
  // rectangle the last frame drew the same, that nothing has drawn over since (`restored`
  // is where the frame's start was written).
  void FindStanding(size_t first, const Rect& restored);
  // The solid rectangles from `first` on that nothing after them drew over, for the next
  // frame.
  void KeepStanding(size_t first);
  static std::vector<FrameReplay*>& Live();

  TSoftScreen& screen_;
  Frame last_, now_;
  bool behind_ = false;    // now_'s draws are not on the screen yet
  bool matching_ = false;  // and all of them are the same as the last frame's first ones
  size_t matched_ = 0;     // how many those are
  // The last draws that replace what is under them, latest first: the draw's number and
  // the rectangle it replaces.
  std::vector<std::pair<size_t, Rect>> covers_;
  std::vector<Rect> made_;   // where each draw of the frame is made
  std::vector<Rect> reach_;  // and what of that it can reach
  std::vector<char> skip_;   // the draws not made: their rectangle is on the screen already
  struct Standing {
    Draw draw;
    std::array<ClipVertex, 4> vertices;
    Rect rect;
  };
  std::vector<Standing> standing_;  // on the screen as the last frame's solid rectangles
  // Within known_ the screen is the copy but for the tiles of drawn_; what a restore of
  // the copy there has to copy back.
  Rect known_{0, 0, 0, 0};
  TileMap drawn_;
  TileMap touched_;
  bool clean_ = false;          // nothing but frames' draws and their starts has written the screen
  std::vector<uint32_t> copy_;  // the screen after the clear and the first copy_after_ draws
  size_t copy_after_ = 0;
  bool have_copy_ = false;
  bool copy_on_screen_ = false;  // the screen is the copy, as it was taken
  uint32_t copy_clear_ = 0;
  int grown_ = 0;  // frames running that matched further than the copy was taken
  Raster raster_;
};

}  // namespace soft
