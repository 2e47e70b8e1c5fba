// The software renderer draws a frame again only where it differs from the last: every
// frame of a script that repeats, changes early and late, clears in other colours, writes
// the screen and the texels between draws, and is not always read, comes out as it does
// with every draw made as it comes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/soft/soft2d.h"
#include "graphics/soft/soft_frame.h"
#include "graphics/soft/soft_replay.h"
#include "graphics/soft/soft_screen.h"

namespace {

constexpr int kW = 160, kH = 120;

// With a clear border `border` texels wide, if any.
std::shared_ptr<TPixmap> picture(int w, int h, unsigned seed, int border = 0) {
  std::shared_ptr<TPixmap> p = CreatePixmap(w, h, PixelRGBA8888);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const unsigned v = (static_cast<unsigned>(y * w + x) + seed) * 2654435761u;
      const bool clear = std::min({x, y, w - 1 - x, h - 1 - y}) < border;
      p->WritePixel(x, y,
                    static_cast<int>(clear ? v & 0xffffffu : v | (x % 5 == 0 ? 0u : 0xff000000u)));
    }
  }
  return p;
}

struct Script {
  TSoftScreen screen;
  std::shared_ptr<TSoft2DDriver> r = SoftRenderer();
  std::shared_ptr<TSoftImageFrame> sky, sprite, glyph, bar;
  std::shared_ptr<TPixmap> patch = picture(9, 7, 5), other = picture(16, 16, 9);

  Script() {
    screen.Resize(kW, kH);
    SetCurrentSoftScreen(&screen);
    sky = TSoftImageFrame::CreateFromPixmap(r.get(), picture(kW, kH, 1), 0);
    sprite = TSoftImageFrame::CreateFromPixmap(r.get(), picture(16, 12, 2, 3), 0);
    glyph = TSoftImageFrame::CreateFromPixmap(r.get(), picture(16, 16, 3, 2), FilteredImage);
    bar = TSoftImageFrame::CreateFromPixmap(r.get(), picture(20, kH, 4), 0);
  }
  ~Script() { SetCurrentSoftScreen(nullptr); }

  // The screen read; and every pixel changed since the last read must be in a tile the
  // replay says was written (the window's present looks nowhere else).
  std::vector<uint32_t> seen;
  int untracked = 0, tracked_reads = 0;
  std::shared_ptr<TPixmap> Read() {
    std::shared_ptr<TPixmap> got = r->GrabPixmap(0, 0, kW, kH);
    const soft::TileMap& touched = screen.Replay().Touched();
    if (!seen.empty() && !touched.All(kW, kH)) {
      ++tracked_reads;
      for (size_t i = 0; i < seen.size(); ++i) {
        if (screen.pixels[i] == seen[i]) continue;
        const int x = static_cast<int>(i) % kW, y = static_cast<int>(i) / kW;
        bool marked = false;
        touched.Runs(y >> soft::TileMap::kShift, x, x + 1, [&](int, int) { marked = true; });
        untracked += !marked;
      }
    }
    seen = screen.pixels;
    screen.Replay().TakeTouched();
    return got;
  }

  // Frame k of the script; what it reads, in order, goes into `reads` (none at the end of
  // a frame not `read`: the next clear covers it).
  void Frame(int k, std::vector<std::shared_ptr<TPixmap>>& reads, bool read = true) {
    r->SetViewport(0, 0, kW, kH);
    r->SetClsColor(k == 5 ? 40 : 0, 0, k == 5 ? 0 : 30);
    r->Cls();
    r->SetTransform(1, 0, 0, 1);
    r->SetBlend(k == 13 ? SolidBlend : AlphaBlend);
    r->SetAlpha(1.0f);
    r->SetColor(k == 4 ? 200 : 100, 100, 180);
    sky->Draw(0, 0, kW, kH, 0, 0);
    r->SetColor(255, 255, 255);
    const float moved = k == 3 ? 7.0f : k == 2 ? -5.0f : 0.0f;
    if (k == 9) r->SetViewport(0, 0, 70, kH);
    for (int i = 0; i < 5; ++i) {
      const float a = 0.3f * static_cast<float>(i + (k == 6 ? 1 : 0));
      r->SetTransform(std::cos(a), -std::sin(a), std::sin(a), std::cos(a));
      sprite->Draw(-8, -6, 8, 6, 20.0f + 25.0f * static_cast<float>(i) + moved, 60);
    }
    r->SetViewport(0, 0, kW, kH);
    r->SetTransform(1, 0, 0, 1);
    r->SetBlend(LightBlend);
    r->SetAlpha(0.5f);
    glyph->Draw(0, 0, 16, 16, 70.5f, 10.25f);
    if (k == 7 || k == 11) {
      r->SetClsColor(k == 11 ? 90 : 0, 0, 30);
      r->SetViewport(30, 30, 40, 20);
      r->Cls();
      r->SetViewport(0, 0, kW, kH);
      r->DrawPixmap(patch, 100, 90);
    }
    // New texels for a frame drawn already: that draw shows the old ones.
    if (k == 8) glyph->texture->Write(0, *other, 0, 0);
    r->SetBlend(SolidBlend);
    r->SetAlpha(1.0f);
    r->SetColor(250, 20, 20);
    r->DrawRect(130, 5, 140, 25, 0, 0);
    r->DrawLine(5, 100, 150, k == 10 ? 111.0f : 110.0f, 0, 0);
    r->DrawOval(100, 40, 130, 60, 0, 0);
    r->Plot(3, 3);
    // What replaces all under it, not in frame 12: bars down both sides, which leave the
    // draws before them less to do, and in frame 19 across the top and the bottom too. In
    // frame 14 the bars stop a column short of the left side and two rows short of the
    // top, and leave the draws before them as they are.
    if (k != 12) {
      r->SetColor(255, 255, 255);
      bar->Draw(0, 0, 20, kH, k == 14 ? 1.0f : 0.0f, 0);
      r->DrawRect(kW - 15, k == 14 ? 2 : 0, kW, kH, 0, 0);
    }
    if (k == 19) r->DrawRect(20, kH - 10, kW - 15, kH, 0, 0);
    if (k == 19 || k == 14) r->DrawRect(0, k == 14 ? 2 : 0, kW, 12, 0, 0);
    if (k == 15) r->DrawPixmap(patch, 50, 50);  // over a frame drawn as the last one was
    // A solid square that the sprites run under, and, over the right bar after it, a
    // frame, a pixmap, and a frame drawn after the screen was read.
    if (k != 12) r->DrawRect(60, 60, 80, 80, 0, 0);
    if (k == 16) {
      sprite->Draw(0, 0, 16, 12, 148, 30);
      sprite->Draw(0, 0, 16, 12, -14, 70);  // two columns into the left one
    }
    if (k == 17) r->DrawPixmap(patch, 150, 60);
    if (k == 18) {
      reads.push_back(Read());
      sprite->Draw(0, 0, 16, 12, 148, 30);
      sprite->Draw(0, 0, 16, 12, 90, 30);
    }
    reads.push_back(read ? Read() : nullptr);
  }

  std::vector<std::shared_ptr<TPixmap>> Run(bool replay) {
    soft::FrameReplay::SetEnabled(replay);
    std::vector<std::shared_ptr<TPixmap>> reads;
    // Negative: frame -k, not read.
    const int script[] = {0,  1,  1,  -2, 1,  1, -2, 2,  3,  3,  1,  4,  1, 5,  5,  1,  6,  1,
                          7,  7,  11, 1,  9,  1, 10, 1,  12, 1,  12, 12, 3, 12, 12, 12, 1,  12,
                          13, 13, 1,  14, 14, 4, 14, 4,  19, 19, 4,  19, 1, 1,  1,  15, 1,  1,
                          16, 1,  1,  17, 1,  1, 1,  1,  10, 1,  16, 3,  1, 17, 3,  1,  18, 3,
                          1,  3,  3,  3,  16, 3, 3,  17, 3,  3,  18, 3,  1, 8,  8,  1};
    for (int k : script) Frame(std::abs(k), reads, k >= 0);
    soft::FrameReplay::SetEnabled(true);
    return reads;
  }
};

TEST(Replay, EveryFrameIsAsDrawnDrawByDraw) {
  init_pixmap_module();
  const std::vector<std::shared_ptr<TPixmap>> want = Script().Run(false);
  Script replayed;
  const std::vector<std::shared_ptr<TPixmap>> got = replayed.Run(true);
  EXPECT_EQ(replayed.untracked, 0);
  EXPECT_GT(replayed.tracked_reads, 60);
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE("read " + std::to_string(i));
    if (!want[i]) continue;
    ASSERT_NE(got[i], nullptr);
    int differ = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) differ += want[i]->ReadPixel(x, y) != got[i]->ReadPixel(x, y);
    EXPECT_EQ(differ, 0);
  }
}

TEST(Replay, AFrameLikeTheLastIsNotDrawnUntilRead) {
  init_pixmap_module();
  Script s;
  std::vector<std::shared_ptr<TPixmap>> reads;
  s.Frame(1, reads);
  s.Frame(1, reads);
  // The same again, up to its read: the clear has not touched the screen yet.
  s.r->Cls();
  EXPECT_EQ(s.screen.pixels[s.screen.pitch * 60 + 20],
            static_cast<uint32_t>(reads[1]->ReadPixel(20, 60)));
  s.screen.Settle();
  EXPECT_EQ(s.screen.pixels[s.screen.pitch * 60 + 20], 0xff00001eu);
}

}  // namespace
