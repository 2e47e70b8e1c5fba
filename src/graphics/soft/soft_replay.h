#pragma once
// What a frame draws from its clear of the whole screen on, kept so that the next frame
// draws again only what it does differently. Most frames start with the same sky, and a
// menu nobody touches is the same frame over and over.
//
// After such a clear the draws are not made at once but compared with the last frame's,
// one by one, while they are the same. The first that differs, or anything that reads the
// screen or writes it otherwise, brings the screen up to date: from the copy of the screen
// kept after the last frame's matched start (or from the clear), with the matched draws
// after it made now. The copy is then taken again where this frame's matched start ends.
// The pixels are those of making every draw as it comes; a draw is the same as another
// only when everything it paints with is (texels by the version of their texture).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/soft/soft_raster.h"

namespace soft {

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
  // Brings the screen up to date; before anything reads it or writes it otherwise.
  void Settle();
  // The screen has a new size: nothing kept holds.
  void Forget();

  // Every screen brought up to date: before texels that a draw not yet made may sample
  // change.
  static void SettleAll();
  // Off, every draw is made as it comes (for tests that compare the two).
  static void SetEnabled(bool on);

 private:
  struct Frame {
    bool started = false;  // by a clear of the whole screen
    bool open = false;     // its draws are still being kept (up to the most there is room for)
    uint32_t clear = 0;
    std::vector<Draw> draws;
    std::vector<ClipVertex> vertices;
    std::vector<std::shared_ptr<const TSoftTexture>> textures;
  };
  bool Same(const Draw& d, const ClipVertex* v) const;
  void Keep(const Draw& d, const ClipVertex* v, const std::shared_ptr<const TSoftTexture>& t);
  void Make(const Draw& d, const ClipVertex* v);
  static std::vector<FrameReplay*>& Live();

  TSoftScreen& screen_;
  Frame last_, now_;
  bool behind_ = false;  // now_'s first `matched_` draws are not on the screen yet
  size_t matched_ = 0;
  std::vector<uint32_t> copy_;  // the screen after the clear and the first copy_after_ draws
  size_t copy_after_ = 0;
  bool have_copy_ = false;
  uint32_t copy_clear_ = 0;
  Raster raster_;
};

}  // namespace soft
