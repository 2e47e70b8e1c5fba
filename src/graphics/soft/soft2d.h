#pragma once
// The software 2D renderer: the same T2DDriver as the GL renderer, drawing into the current
// software screen (soft_screen.h) with the CPU, pixel for pixel as the GL renderer draws on
// the software GL it is measured against (soft_raster.h, soft_pixel.h). Its graphics come
// from the software graphics driver (soft_graphics.h). One renderer for the program.

#include <memory>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/render/render_state.h"
#include "graphics/soft/soft_raster.h"
#include "graphics/soft/soft_replay.h"

class TSoftImageFrame;

class TSoft2DDriver : public T2DDriver {
 public:
  TSoft2DDriver();

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

  // A frame's local box (x0,y0)-(x1,y1) by the matrix, moved by (tx, ty).
  void DrawFrame(const TSoftImageFrame& frame, float x0, float y0, float x1, float y1, float tx,
                 float ty);
  const TRenderState& State() const { return state_; }

 private:
  // Starts a draw on the current screen; false when there is none or nothing can show.
  bool Begin();
  soft::Paint PaintOf(const TSoftImageFrame* frame) const;
  // A draw on the current screen within the rectangle Begin found, made (or matched with
  // the last frame's) by the screen's replay.
  void Submit(soft::Draw d, const soft::ClipVertex* v, int count,
              const std::shared_ptr<const TSoftTexture>& texture = nullptr);
  void Fan(const std::vector<soft::ClipVertex>& v);  // a polygon of the current paint

  TRenderState state_;
  bool scissor_ = false;
  int clip_[4] = {0, 0, 0, 0};
  soft::Raster raster_;  // for the projection; the screen's replay draws
};

// The one software renderer (made on first use).
std::shared_ptr<TSoft2DDriver> SoftRenderer();
