#include "graphics/gl/gl_screen.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include "graphics/gl/glgraphics.h"

namespace {

// The framebuffer functions, looked up once the context exists.
struct ScreenFunctions {
  PFNGLGENFRAMEBUFFERSPROC GenFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC DeleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC BindFramebuffer = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC FramebufferRenderbuffer = nullptr;
  PFNGLFRAMEBUFFERTEXTURE2DPROC FramebufferTexture2D = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC CheckFramebufferStatus = nullptr;
  PFNGLGENRENDERBUFFERSPROC GenRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC DeleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC BindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC RenderbufferStorage = nullptr;
  PFNGLBLITFRAMEBUFFERPROC BlitFramebuffer = nullptr;
  bool all = false;
};
ScreenFunctions fb;

template <typename F>
void load_proc(F& fn, const char* name) {
  fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

}  // namespace

void TGLContextRecord::DrawableSize(int& w, int& h) const {
  SDL_GL_GetDrawableSize(window, &w, &h);
}

bool LoadScreenFunctions() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const bool gl3 = version && version[0] >= '3' && version[0] <= '9' && version[1] == '.';
  if (!gl3 && !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object")) return false;
  load_proc(fb.GenFramebuffers, "glGenFramebuffers");
  load_proc(fb.DeleteFramebuffers, "glDeleteFramebuffers");
  load_proc(fb.BindFramebuffer, "glBindFramebuffer");
  load_proc(fb.FramebufferRenderbuffer, "glFramebufferRenderbuffer");
  load_proc(fb.FramebufferTexture2D, "glFramebufferTexture2D");
  load_proc(fb.CheckFramebufferStatus, "glCheckFramebufferStatus");
  load_proc(fb.GenRenderbuffers, "glGenRenderbuffers");
  load_proc(fb.DeleteRenderbuffers, "glDeleteRenderbuffers");
  load_proc(fb.BindRenderbuffer, "glBindRenderbuffer");
  load_proc(fb.RenderbufferStorage, "glRenderbufferStorage");
  load_proc(fb.BlitFramebuffer, "glBlitFramebuffer");
  fb.all = fb.GenFramebuffers && fb.DeleteFramebuffers && fb.BindFramebuffer &&
           fb.FramebufferRenderbuffer && fb.FramebufferTexture2D && fb.CheckFramebufferStatus &&
           fb.GenRenderbuffers && fb.DeleteRenderbuffers && fb.BindRenderbuffer &&
           fb.RenderbufferStorage && fb.BlitFramebuffer;
  return fb.all;
}

bool HaveScreenBuffers() { return fb.all; }

void BindScreen(const TGLContextRecord* r) {
  if (!fb.all) return;
  fb.BindFramebuffer(GL_FRAMEBUFFER, r && r->offscreen ? r->fbo : 0);
}

bool MakeScreenBuffer(TGLContextRecord& r) {
  if (!fb.all) return false;
  // The screen is a texture, so that the present can draw it as one quad (see present).
  // Sampled at the nearest texel, never mipmapped; reads of it give the same RGBA bytes.
  GLint bound = 0;
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
  glGenTextures(1, &r.color_tex);
  glBindTexture(GL_TEXTURE_2D, r.color_tex);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, r.width, r.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               nullptr);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));  // the renderer caches its binding
  fb.GenFramebuffers(1, &r.fbo);
  fb.BindFramebuffer(GL_FRAMEBUFFER, r.fbo);
  fb.FramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, r.color_tex, 0);
  if (r.flags & (DepthBuffer | StencilBuffer)) {
    fb.GenRenderbuffers(1, &r.depth_rb);
    fb.BindRenderbuffer(GL_RENDERBUFFER, r.depth_rb);
    fb.RenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, r.width, r.height);
    fb.FramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                               r.depth_rb);
  }
  fb.BindRenderbuffer(GL_RENDERBUFFER, 0);
  if (fb.CheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
    fb.DeleteFramebuffers(1, &r.fbo);
    glDeleteTextures(1, &r.color_tex);
    if (r.depth_rb) fb.DeleteRenderbuffers(1, &r.depth_rb);
    r.fbo = r.color_tex = r.depth_rb = 0;
    return false;
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  r.offscreen = true;
  return true;
}

void ReleaseScreenBuffer(TGLContextRecord& r) {
  if (!r.fbo || !GLContextLive()) return;
  fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
  fb.DeleteFramebuffers(1, &r.fbo);
  glDeleteTextures(1, &r.color_tex);
  if (r.depth_rb) fb.DeleteRenderbuffers(1, &r.depth_rb);
  r.fbo = r.color_tex = r.depth_rb = 0;
  r.offscreen = false;
}

void PresentScreen(TGLContextRecord& r) {
  if (!r.offscreen) {
    SDL_GL_SwapWindow(r.window);
    return;
  }
  int dw = 0, dh = 0;
  r.DrawableSize(dw, dh);
  int d[4];
  LetterboxRect(r, dw, dh, d);
  d[1] = dh - d[1] - d[3];  // the GL counts rows from the bottom

  // Whatever the renderer has set (scissor, blend, texture, clear colour, viewport) comes
  // back as it was.
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT |
               GL_VIEWPORT_BIT);
  fb.BindFramebuffer(GL_FRAMEBUFFER, 0);
  // Only the borders need clearing; the screen covers the rest.
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glEnable(GL_SCISSOR_TEST);
  const int bars[4][4] = {{0, 0, dw, d[1]},
                          {0, d[1] + d[3], dw, dh - d[1] - d[3]},
                          {0, d[1], d[0], d[3]},
                          {d[0] + d[2], d[1], dw - d[0] - d[2], d[3]}};
  for (const auto& b : bars) {
    if (b[2] <= 0 || b[3] <= 0) continue;
    glScissor(b[0], b[1], b[2], b[3]);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
  if (d[2] == r.width && d[3] == r.height) {
    // Shown at its own size: a plain copy, the cheapest.
    fb.BindFramebuffer(GL_READ_FRAMEBUFFER, r.fbo);
    fb.BlitFramebuffer(0, 0, r.width, r.height, d[0], d[1], d[0] + d[2], d[1] + d[3],
                       GL_COLOR_BUFFER_BIT, GL_NEAREST);
  } else {
    // Scaled: one quad taking the nearest texel, so every window pixel shows exactly the
    // screen pixel under its centre, at whole and fractional scales alike. Software GL
    // draws this a good deal cheaper than a scaled blit (bench/README.md).
    glDisable(GL_BLEND);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, r.color_tex);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glViewport(d[0], d[1], d[2], d[3]);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    // The texture's first row is the screen's bottom row, as the window counts them.
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
  }
  fb.BindFramebuffer(GL_FRAMEBUFFER, r.fbo);
  glPopAttrib();
  SDL_GL_SwapWindow(r.window);
  UpdateScreenArea(r);
}
