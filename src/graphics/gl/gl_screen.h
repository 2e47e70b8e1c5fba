#pragma once
// The game's screen in the GL: a framebuffer object that every draw, clear and read acts
// on, presented scaled into the window. Only for src/graphics/gl.

#include "graphics/window/screen_window.h"

// One record per window we draw into, newest first, as the driver keeps them.
struct TGLContextRecord : TScreenWindow {
  // Without framebuffer objects we draw into the window itself (offscreen stays false).
  unsigned fbo = 0;
  unsigned color_tex = 0;
  unsigned depth_rb = 0;
  void DrawableSize(int& w, int& h) const override;
  void DisplayChanged() override;
};

// Looks up the framebuffer functions in the current context; false when it has none.
bool LoadScreenFunctions();
bool HaveScreenBuffers();
// Gives the record a screen of its size to draw into, bound and cleared to black.
bool MakeScreenBuffer(TGLContextRecord& r);
void ReleaseScreenBuffer(TGLContextRecord& r);
// Draws into the record's screen from now on (none: into the window).
void BindScreen(const TGLContextRecord* r);
// Shows the screen in the window, swapped.
void PresentScreen(TGLContextRecord& r);
