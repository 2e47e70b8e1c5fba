#include "graphics/gl/glgraphics.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <string>

#include "graphics/gl/gl_screen.h"
#include "graphics/window/screen_window.h"

namespace {

struct GLState {
  // The one GL context, made once on a hidden window; every texture lives in it and it
  // outlives the game windows, so closing and reopening graphics keeps working.
  SDL_Window* hidden_window = nullptr;
  SDL_GLContext context = nullptr;
  int serial = 0;
  int flip_interval = -1;  // last swap interval set by Flip; -1: the next Flip sets it
  std::shared_ptr<TGLGraphicsDriver> driver;
};
GLState g_gl;

void fail(const std::string& why) { SetGraphicsError(why); }

// Only the GL's records are listed while the GL renderer draws.
TGLContextRecord* current_record() { return static_cast<TGLContextRecord*>(CurrentScreenWindow()); }

void set_gl_attributes() {
  // The same attributes for every window, so that the one context fits them all.
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 1);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
}

bool ensure_shared_context() {
  if (g_gl.context) return true;
  // Failing here makes OpenGraphics give none with the reason; quitting the program on
  // the spot, least of all with status 0, would pass a missing display off as success.
  if (!StartVideo()) return false;
  set_gl_attributes();
  g_gl.hidden_window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!g_gl.hidden_window) {
    fail(std::string("no OpenGL window: ") + SDL_GetError());
    return false;
  }
  g_gl.context = SDL_GL_CreateContext(g_gl.hidden_window);
  if (!g_gl.context) {
    fail(std::string("no OpenGL context: ") + SDL_GetError());
    SDL_DestroyWindow(g_gl.hidden_window);
    g_gl.hidden_window = nullptr;
    return false;
  }
  SDL_GL_MakeCurrent(g_gl.hidden_window, g_gl.context);
  LoadScreenFunctions();
  ++g_gl.serial;
  return true;
}

}  // namespace

void TGLContextRecord::DisplayChanged() { g_gl.flip_interval = -1; }

// ---- TGLGraphics ----

TGLGraphics::~TGLGraphics() { Close(); }

TGraphicsDriver* TGLGraphics::Driver() { return GLGraphicsDriver(); }

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
  if (!_context) {
    width = height = depth = hertz = flags = 0;
    return;
  }
  TGLContextRecord& r = *_context;
  if (r.kind == WindowKind::Attached && r.window) r.DrawableSize(r.width, r.height);
  width = r.width;
  height = r.height;
  depth = r.depth;
  hertz = r.hertz;
  flags = r.flags;
}

void TGLGraphics::Close() {
  if (!_context) return;
  std::shared_ptr<TGLContextRecord> r = std::move(_context);
  if (UnlinkScreenWindow(*r) && g_gl.context) SDL_GL_MakeCurrent(g_gl.hidden_window, g_gl.context);
  ReleaseScreenBuffer(*r);
  CloseScreenWindow(*r);
}

// ---- TGLGraphicsDriver ----

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes() { return DisplayModes(); }

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(void* widget, int flags) {
  auto* window = static_cast<SDL_Window*>(widget);
  if (!window) return nullptr;
  if (!ensure_shared_context()) return nullptr;
  if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
    fail("the window was not made for OpenGL");
    return nullptr;
  }
  auto r = std::make_shared<TGLContextRecord>();
  r->kind = WindowKind::Attached;
  r->flags = flags;
  r->window = window;
  r->DrawableSize(r->width, r->height);
  LinkScreenWindow(*r);
  if (TGLContextRecord* current = current_record())
    SDL_GL_MakeCurrent(current->window, g_gl.context);
  auto g = std::make_shared<TGLGraphics>();
  g->_context = r;
  return g;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::CreateGraphics(int width, int height, int depth,
                                                             int hertz, int flags) {
  if (width <= 0 || height <= 0) {
    fail("graphics need a positive size");
    return nullptr;
  }
  if (!ensure_shared_context()) return nullptr;
  set_gl_attributes();

  // Without framebuffer objects only a window of the screen's size works.
  const bool full = depth != 0 && HaveScreenBuffers();
  SDL_Window* window = OpenScreenWindow(width, height, full, SDL_WINDOW_OPENGL);
  if (!window) return nullptr;
  if (SDL_GL_MakeCurrent(window, g_gl.context) != 0) {
    fail(std::string("the OpenGL context does not fit the window: ") + SDL_GetError());
    SDL_GL_MakeCurrent(g_gl.hidden_window, g_gl.context);
    SDL_DestroyWindow(window);
    return nullptr;
  }

  auto r = std::make_shared<TGLContextRecord>();
  r->kind = full ? WindowKind::FullScreen : WindowKind::Windowed;
  r->windowed = full && WindowPreferred();
  r->width = width;
  r->height = height;
  r->depth = depth;
  r->hertz = hertz;
  r->flags = flags;
  r->window = window;
  r->own_window = true;
  if (!MakeScreenBuffer(*r) && full) {
    // Framebuffer objects exist but this one would not complete: fall back to a window.
    MakePlainWindow(window, width, height);
    r->kind = WindowKind::Windowed;
    r->windowed = false;
  }
  if (!r->offscreen) r->DrawableSize(r->width, r->height);

  // Leave the previous binding as it was; SetGraphics chooses what is current.
  TGLContextRecord* current = current_record();
  SDL_GL_MakeCurrent(current ? current->window : g_gl.hidden_window, g_gl.context);
  BindScreen(current);

  LinkScreenWindow(*r);
  ShowScreenWindow(*r);
  auto g = std::make_shared<TGLGraphics>();
  g->_context = r;
  return g;
}

void TGLGraphicsDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  auto g = std::dynamic_pointer_cast<TGLGraphics>(graphics);
  TGLContextRecord* r = g ? g->_context.get() : nullptr;
  if (r == current_record()) return;
  SetCurrentScreenWindow(r);
  if (!g_gl.context) return;
  SDL_GL_MakeCurrent(r ? r->window : g_gl.hidden_window, g_gl.context);
  BindScreen(r);
  if (r) AttachScreenWindow(*r);
}

void TGLGraphicsDriver::Flip(int sync) {
  TGLContextRecord* r = current_record();
  if (!r || !r->window) return;
  const int want = sync != 0 ? 1 : 0;
  if (want != g_gl.flip_interval) {
    SDL_GL_SetSwapInterval(want);
    g_gl.flip_interval = want;
  }
  PresentScreen(*r);
}

bool TGLGraphicsDriver::CanSyncToDisplay() {
  TGLContextRecord* r = current_record();
  if (!r || !r->window) return false;
  if (SDL_GL_SetSwapInterval(1) != 0) return false;
  g_gl.flip_interval = 1;
  return true;
}

void TGLGraphicsDriver::SetWindowed(bool windowed) { SetWindowPreferred(windowed); }

bool TGLGraphicsDriver::Windowed() { return WindowPreferred(); }

void TGLGraphicsDriver::SwapSharedContext() {
  // One context holds everything; only make sure it is current somewhere.
  if (g_gl.context && SDL_GL_GetCurrentContext() != g_gl.context) {
    TGLContextRecord* r = current_record();
    SDL_GL_MakeCurrent(r ? r->window : g_gl.hidden_window, g_gl.context);
  }
}

TGLGraphicsDriver* GLGraphicsDriver() {
  if (!g_gl.driver) g_gl.driver = std::make_shared<TGLGraphicsDriver>();
  return g_gl.driver.get();
}

bool GLContextLive() { return g_gl.context != nullptr; }
int GLContextSerial() { return g_gl.serial; }
bool GLScreenIsOffscreen() {
  const TGLContextRecord* r = current_record();
  return r && r->offscreen;
}
