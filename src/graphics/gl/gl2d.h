#pragma once
// The OpenGL 2D renderer: geometry transformed on the CPU and sent as screen-space
// vertices, gathered into vertex arrays until the state they depend on changes. One
// renderer for the program.

#include <memory>
#include <vector>

#include "graphics/draw/draw2d.h"

class TGLGraphicsDriver;
struct TGLTexturePage;

// One image frame: a texture of its own, its picture at the top-left of a power-of-two
// texture, or a place on a page that the frames of its sheet share.
class TGLImageFrame : public TImageFrame {
 public:
  float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
  int name = 0;        // texture name
  int seq = 0;         // graphics generation at creation; 0 once released
  int _gl_serial = 0;  // the GL context the texture was made in (see GLContextSerial)
  std::shared_ptr<TGLTexturePage> _page;  // the shared texture, none for one of its own
  // On a page: the picture and flags it was made from, and, for an unfiltered frame, the
  // texture of its own that turned or scaled draws use (made at the first).
  std::shared_ptr<TPixmap> _source;
  int _flags = 0;
  std::shared_ptr<TGLImageFrame> _own;

  ~TGLImageFrame() override;
  void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;
  // Throws std::runtime_error("Unable to calculate tex size") when the GL refuses even 1 x 1.
  static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const std::shared_ptr<TPixmap>& source,
                                                         int flags);
};

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

  // The renderer's cached state, as last sent to the GL.
  int CachedBlend() const;
  void CachedColor(unsigned char rgba[4]) const;
};

// The one OpenGL renderer (made on first use).
std::shared_ptr<TGL2DDriver> GLRenderer();

// On: every primitive is drawn at once in immediate mode and every frame made from now on
// gets a texture of its own, as before batching; the reference the batched pixels are
// held to.
void SetGLReferenceDrawing(bool on);
