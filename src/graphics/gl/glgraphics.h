#pragma once
// The OpenGL graphics driver over SDL: the GL context, the off-screen 640 x 480 style
// screen and presenting it, in the window of graphics/window/screen_window.h. Used by the
// renderer (gl2d.h).

#include <memory>
#include <vector>

#include "graphics/gl/graphics.h"

struct TGLContextRecord;

class TGLGraphics : public TGraphics {
 public:
  std::shared_ptr<TGLContextRecord> _context;
  ~TGLGraphics() override;
  TGraphicsDriver* Driver() override;
  void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
  void Close() override;
};

class TGLGraphicsDriver : public TGraphicsDriver {
 public:
  std::vector<TGraphicsMode> GraphicsModes() override;
  std::shared_ptr<TGraphics> AttachGraphics(void* widget, int flags) override;
  std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                            int flags) override;
  void SetGraphics(const std::shared_ptr<TGraphics>& graphics) override;
  void Flip(int sync) override;
  bool CanSyncToDisplay() override;
  void SetWindowed(bool windowed) override;
  bool Windowed() override;
  // Textures live in the one GL context, so this only makes sure a context is current.
  virtual void SwapSharedContext();
};

TGLGraphicsDriver* GLGraphicsDriver();

// Whether a GL context exists and is current (textures can be made and deleted).
bool GLContextLive();
// Increases each time the GL context is made anew; textures of another serial are gone.
int GLContextSerial();
// Whether the current graphics draw into an off-screen screen (false: straight into the window).
bool GLScreenIsOffscreen();
