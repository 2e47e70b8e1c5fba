#pragma once
// The screen the software renderer draws into: width x height pixels in memory, one 32-bit
// word per pixel, 0xAARRGGBB (in memory B, G, R, A), rows top first, `pitch` words apart.
// The software graphics driver (soft_graphics.h) owns one per graphics and shows it in the
// window; the renderer (soft2d.h) draws into whichever is current.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace soft {
class FrameReplay;
}

struct TSoftScreen {
  int width = 0, height = 0;
  int pitch = 0;  // in pixels
  // With an AlphaBuffer the alpha byte is what the drawing left; without one the screen
  // shows opaque, reads give alpha 255, and every word's alpha is 255 (everything that
  // writes it keeps it so, and the drawing leaves out what would only write it again).
  bool keeps_alpha = false;
  // Behind what the renderer has drawn since a clear of the whole screen until settled
  // (soft_replay.h): whatever reads them calls Settle first.
  std::vector<uint32_t> pixels;

  TSoftScreen();
  ~TSoftScreen();
  TSoftScreen(const TSoftScreen&) = delete;
  TSoftScreen& operator=(const TSoftScreen&) = delete;

  void Resize(int w, int h);
  uint32_t* Row(int y) { return pixels.data() + static_cast<std::size_t>(y) * pitch; }
  const uint32_t* Row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * pitch; }
  // The pixels brought up to date with every draw made so far.
  void Settle();
  soft::FrameReplay& Replay() { return *replay_; }

 private:
  std::unique_ptr<soft::FrameReplay> replay_;
};

// The screen of the current software graphics; none while none are current. The driver
// sets it when graphics become current or go; tests may set one of their own.
TSoftScreen* CurrentSoftScreen();
void SetCurrentSoftScreen(TSoftScreen* screen);
