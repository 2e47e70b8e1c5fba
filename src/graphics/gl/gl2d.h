#pragma once
// The OpenGL 2D renderer: geometry transformed on the CPU and sent as screen-space
// vertices, gathered into vertex arrays until the state they depend on changes. One
// renderer for the program.

#include <memory>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/gl_frame.h"

class TGL2DDriver : public T2DDriver {
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

  std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                     int flags) override;
  void SetBlend(int mode) override;
  void SetAlpha(float alpha) override;
  void SetColor(int red, int green, int blue) override;
  void SetClsColor(int red, int green, int blue) override;
  void SetViewport(int x, int y, int width, int height) override;
  void SetTransform(float ix, float iy, float jx, float jy) override;
  void SetLineWidth(float width) override;
  void Cls() override;
  void Plot(float x, float y) override;
  void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) override;
  void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                float ty) override;
  void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) override;
  std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int width, int height) override;
  std::shared_ptr<TImageFrame> CreateSheetFrame(TFrameSheet& sheet, int slot, int slots,
                                                const std::shared_ptr<TPixmap>& pixmap,
                                                int flags) override;

  // Clears the state caches and sets up the pixel projection for the graphics.
  virtual void ResetGLContext(const std::shared_ptr<TGraphics>& graphics);
};

// The one OpenGL renderer (made on first use).
std::shared_ptr<TGL2DDriver> GLRenderer();
