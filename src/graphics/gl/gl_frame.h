#pragma once
// Image frames of the OpenGL renderer: a texture of a frame's own, or a place on a page
// that the frames of its sheet share (graphics/render/atlas.h).

#include <memory>

#include "graphics/draw/draw2d.h"
#include "graphics/render/atlas.h"

// A page of a sheet: one texture, made in the GL context numbered `serial`.
class TGLTexturePage : public TAtlasPage {
 public:
  unsigned name = 0;
  int serial = 0;
  ~TGLTexturePage() override;
};

// Its picture at the top-left of a power-of-two texture of its own, or in a cell of a page.
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
  // In the shared context. Throws std::runtime_error("Unable to calculate tex size") when
  // the GL refuses even 1 x 1.
  static std::shared_ptr<TGLImageFrame> CreateFromPixmap(const std::shared_ptr<TPixmap>& source,
                                                         int flags);
  // Frame `slot` of a sheet of `slots` on the sheet's pages; none when the picture cannot
  // share them (it then takes a texture of its own).
  static std::shared_ptr<TGLImageFrame> CreateOnSheet(TFrameSheet& sheet, int slot, int slots,
                                                      const std::shared_ptr<TPixmap>& pixmap,
                                                      int flags);
};
