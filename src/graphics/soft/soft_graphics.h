#pragma once
// The software graphics driver: each graphics is a TSoftScreen in memory shown in the
// window of graphics/window/screen_window.h through SDL's window surface, on the window
// system's own shared-memory image (never a GL renderer behind it). Used by the software
// renderer (soft2d.h), as the GL renderer uses glgraphics.h.

#include <memory>
#include <vector>

#include "graphics/gl/graphics.h"
#include "graphics/soft/soft_screen.h"

struct TSoftWindowRecord;

class TSoftGraphics : public TGraphics {
 public:
  std::shared_ptr<TSoftWindowRecord> _context;
  ~TSoftGraphics() override;
  TGraphicsDriver* Driver() override;
  void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
  void Close() override;
  // The screen drawn into; none once closed.
  TSoftScreen* Screen();
};

class TSoftGraphicsDriver : public TGraphicsDriver {
 public:
  std::vector<TGraphicsMode> GraphicsModes() override;
  std::shared_ptr<TGraphics> AttachGraphics(void* widget, int flags) override;
  std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                            int flags) override;
  // Also makes the graphics' screen the current one (CurrentSoftScreen), or none.
  void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
  // Shows the current screen letterboxed in its window. Nothing waits for the display.
  void Flip(int sync) override;
  bool CanSyncToDisplay() override;
  void SetWindowed(bool windowed) override;
  bool Windowed() override;
};

TSoftGraphicsDriver* SoftGraphicsDriver();
