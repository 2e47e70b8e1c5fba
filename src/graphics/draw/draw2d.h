#pragma once
// Immediate-mode 2D drawing: one current drawing context holding the state (colour,
// alpha, blend, rotation, scale, handle, origin, viewport, line width, clear colour,
// font) and the free drawing operations that read it and call the current renderer.
//
// Coordinates are pixels, (0,0) top-left, y down. Angles in degrees, positive turns
// clockwise on screen. Colour components 0..255, alpha 0.0..1.0.
//
// Lives elsewhere: DrawImage, SetMaskColor (graphics/draw/image.h); DrawText,
// TextWidth, TextHeight (graphics/draw/font.h).

#include <memory>
#include <vector>

#include "graphics/gl/graphics.h"

class TPixmap;
class TImage;
class TImageFont;

// Angles are in degrees; this turns them into radians for sin and cos.
constexpr double kRadiansPerDegree = 0.017453292519943295;

// Blend modes. Any other value draws like SolidBlend.
constexpr int MaskBlend = 1;   // no blending; texels with alpha below one half are not drawn
constexpr int SolidBlend = 2;  // source replaces destination
constexpr int AlphaBlend = 3;  // src * a + dst * (1 - a)
constexpr int LightBlend = 4;  // src * a + dst
constexpr int ShadeBlend = 5;  // dst * src

// A drawable frame of one image frame (a texture in the OpenGL renderer).
class TImageFrame {
 public:
  virtual ~TImageFrame() = default;
  // Local box (x0,y0)-(x1,y1), mapped by the current matrix, then moved by (tx, ty).
  virtual void Draw(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
};

// Frames that are drawn together (the frames of one image, the glyphs of one font) and may
// share one texture. The renderer keeps what it shares in `renderer_state`.
class TFrameSheet {
 public:
  std::shared_ptr<void> renderer_state;
};

// The renderer interface. Slots after those of TGraphicsDriver, in this order.
class T2DDriver : public TGraphicsDriver {
 public:
  // None when no rendering context exists.
  virtual std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                             int flags) = 0;
  virtual void SetBlend(int mode) = 0;
  virtual void SetAlpha(float alpha) = 0;
  virtual void SetColor(int red, int green, int blue) = 0;
  virtual void SetClsColor(int red, int green, int blue) = 0;
  virtual void SetViewport(int x, int y, int width, int height) = 0;
  virtual void SetTransform(float ix, float iy, float jx, float jy) = 0;
  virtual void SetLineWidth(float width) = 0;
  virtual void Cls() = 0;
  virtual void Plot(float x, float y) = 0;
  // Local end points / corners / bounding box, then the translation (tx, ty).
  virtual void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawOval(float x0, float y0, float x1, float y1, float tx, float ty) = 0;
  virtual void DrawPoly(const std::vector<float>& xy, float handle_x, float handle_y, float tx,
                        float ty) = 0;
  virtual void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y) = 0;
  // A PixelRGBA8888 copy of the back buffer block, top row first.
  virtual std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int width, int height) = 0;
  // Like CreateFrameFromPixmap, for frame `slot` of a sheet of `slots` frames (0: not known
  // yet); the frame may share its texture with the sheet's other frames. A renderer that
  // shares nothing makes a frame of its own.
  virtual std::shared_ptr<TImageFrame> CreateSheetFrame(TFrameSheet& /*sheet*/, int /*slot*/,
                                                        int /*slots*/,
                                                        const std::shared_ptr<TPixmap>& pixmap,
                                                        int flags) {
    return CreateFrameFromPixmap(pixmap, flags);
  }
};

// One graphics with its drawing state.
class T2DGraphics : public TGraphics, public std::enable_shared_from_this<T2DGraphics> {
 public:
  int color_red = 255, color_green = 255, color_blue = 255;
  float color_alpha = 1.0f;
  int clscolor_red = 0, clscolor_green = 0, clscolor_blue = 0;
  float line_width = 1.0f;
  float tform_rot = 0.0f;
  float tform_scale_x = 1.0f, tform_scale_y = 1.0f;
  float tform_ix = 1.0f, tform_iy = 0.0f, tform_jx = 0.0f, tform_jy = 1.0f;
  int viewport_x = 0, viewport_y = 0, viewport_w = 0, viewport_h = 0;
  float origin_x = 0.0f, origin_y = 0.0f;
  float handle_x = 0.0f, handle_y = 0.0f;  // stored negated
  std::shared_ptr<TImageFont> image_font;  // never none while the context is open
  int blend_mode = MaskBlend;
  std::shared_ptr<TGraphics> _graphics;  // the device graphics wrapped
  T2DDriver* _driver = nullptr;          // renderers live for the program
  int _setup = 0;

  T2DDriver* Driver() override;
  void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) override;
  void Close() override;
  // Re-applies the whole state to the renderer.
  virtual void Validate();
  // Becomes the current context; the first time also clears and presents both buffers.
  virtual void MakeCurrent();

  static void ClearCurrent();
  static std::shared_ptr<T2DGraphics> Current();
  static std::shared_ptr<T2DGraphics> Create(const std::shared_ptr<TGraphics>& graphics,
                                             T2DDriver* driver);
};

// The current renderer (none until a context is made current).
T2DDriver* Current2DDriver();
// The current context without taking a reference: for per-call hot paths.
T2DGraphics* Current2DContext();

// Recomputes the matrix from rotation and scale and hands it to the renderer and to
// the collision system (SetCollisionTransform, image.h).
void UpdateTransform();

// Free operations on the current context. Drawing with no current context is a caller
// error.
void SetColor(int red, int green, int blue);
void GetColor(int& red, int& green, int& blue);
void SetAlpha(float alpha);
float GetAlpha();
void SetBlend(int mode);
int GetBlend();
void SetRotation(float degrees);
float GetRotation();
void SetScale(float scale_x, float scale_y);
void GetScale(float& scale_x, float& scale_y);
void SetRotationScale(float rotation, float scale_x, float scale_y);
void GetTransform(float& ix, float& iy, float& jx, float& jy);
void SetClsColor(int red, int green, int blue);
void GetClsColor(int& red, int& green, int& blue);
void SetLineWidth(float width);
float GetLineWidth();
void SetViewport(int x, int y, int width, int height);
void GetViewport(int& x, int& y, int& width, int& height);
void SetOrigin(float x, float y);
void GetOrigin(float& x, float& y);
// The point (x, y) of a primitive lands on its drawing position. Images keep their own.
void SetHandle(float x, float y);
void GetHandle(float& x, float& y);
// None selects the built-in font (DefaultImageFont, font.h).
void SetImageFont(std::shared_ptr<TImageFont> font);
std::shared_ptr<TImageFont> GetImageFont();

void Cls();
// Neither handle nor matrix apply.
void Plot(float x, float y);
void DrawRect(float x, float y, float width, float height);
// draw_last_pixel 0 leaves the end pixel untouched.
void DrawLine(float x, float y, float x2, float y2, int draw_last_pixel = 1);
void DrawOval(float x, float y, float width, float height);
// Pairs x, y; fewer than 3 points or an odd count draw nothing.
void DrawPoly(const std::vector<float>& xy);
// The frame stretched to width x height, placed by the image's handle.
void DrawImageStretched(const std::shared_ptr<TImage>& image, float x, float y, float width,
                        float height, int frame = 0);
// Covers the whole viewport with untransformed copies of the frame, one of them placed
// by the image's handle at (x, y).
void DrawImageTiled(const std::shared_ptr<TImage>& image, float x, float y, int frame = 0);
// Unscaled, untransformed, top-left at (x, y).
void DrawPixmap(const std::shared_ptr<TPixmap>& pixmap, int x, int y);
std::shared_ptr<TPixmap> GrabPixmap(int x, int y, int width, int height);
