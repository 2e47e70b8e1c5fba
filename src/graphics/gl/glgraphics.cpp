#include "graphics/gl/glgraphics.h"

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "graphics/pixmap/pixmap.h"
#include "platform/input.h"
#include "platform/sdl_bridge.h"
#include "platform/system.h"

// One record per window we draw into, newest first, as the driver keeps them.
struct TGLContextRecord {
  TGLContextRecord* next = nullptr;
  int type = 0;  // 0 shared hidden, 1 attached, 2 windowed, 3 full screen
  int width = 0, height = 0, depth = 0, hertz = 0, flags = 0;
  SDL_Window* window = nullptr;
  bool own_window = false;
  // The game's screen lives in a framebuffer object and is scaled into the window when
  // presented; without one we draw into the window itself.
  GLuint fbo = 0;
  GLuint color_tex = 0;
  GLuint depth_rb = 0;
  bool offscreen = false;
  bool windowed = false;  // full screen, shown in a window at the player's choice
  bool minimised_by_us = false;
  int area[4] = {-1, -1, -1, -1};  // last screen area told to the platform layer
};

namespace {

constexpr const char* kWindowClass = "Vantor GLGraphics";

PFNGLGENFRAMEBUFFERSPROC p_glGenFramebuffers = nullptr;
PFNGLDELETEFRAMEBUFFERSPROC p_glDeleteFramebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC p_glBindFramebuffer = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFERPROC p_glFramebufferRenderbuffer = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DPROC p_glFramebufferTexture2D = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC p_glCheckFramebufferStatus = nullptr;
PFNGLGENRENDERBUFFERSPROC p_glGenRenderbuffers = nullptr;
PFNGLDELETERENDERBUFFERSPROC p_glDeleteRenderbuffers = nullptr;
PFNGLBINDRENDERBUFFERPROC p_glBindRenderbuffer = nullptr;
PFNGLRENDERBUFFERSTORAGEPROC p_glRenderbufferStorage = nullptr;
PFNGLBLITFRAMEBUFFERPROC p_glBlitFramebuffer = nullptr;
bool have_fbo = false;

bool video_started = false;
SDL_Window* shared_window = nullptr;
SDL_GLContext shared_gl = nullptr;
int context_serial = 0;

TGLContextRecord* records = nullptr;  // newest first
TGLContextRecord* current_record = nullptr;
TGLContextRecord* fullscreen_record = nullptr;
int flip_interval = -1;      // last swap interval set by Flip; -1: the next Flip sets it
bool prefer_window = false;  // full-screen graphics shown in a window

std::shared_ptr<TGLGraphicsDriver> the_driver;

void fail(const std::string& why) { SetGraphicsError(why); }

bool env_names_driver(const char* name) {
  const char* want = std::getenv("SDL_VIDEODRIVER");
  if (!want) return false;
  // SDL accepts a comma separated list.
  std::string list(want);
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(',', pos);
    if (comma == std::string::npos) comma = list.size();
    if (SDL_strcasecmp(list.substr(pos, comma - pos).c_str(), name) == 0) return true;
    pos = comma + 1;
  }
  return false;
}

bool start_video() {
  if (video_started) return true;
  // The class must be known before SDL opens the X display.
  setenv("SDL_VIDEO_X11_WMCLASS", kWindowClass, 1);
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");  // we minimise ourselves
  if (!platform_init_video()) {
    fail(std::string("no display: ") + SDL_GetError());
    return false;
  }
  // Without a display SDL quietly picks an invisible driver; a game nobody can see is
  // a failure unless someone asked for exactly that.
  const char* name = SDL_GetCurrentVideoDriver();
  if (!name) {
    platform_quit_video();
    fail("no display: SDL has no video driver");
    return false;
  }
  if ((SDL_strcasecmp(name, "offscreen") == 0 || SDL_strcasecmp(name, "dummy") == 0) &&
      !env_names_driver(name)) {
    platform_quit_video();
    fail(std::string("no display (no X11 or Wayland server; SDL offered only its '") + name +
         "' driver)");
    return false;
  }
  video_started = true;
  return true;
}

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

template <typename F>
void load_proc(F& fn, const char* name) {
  fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
}

void load_fbo_functions() {
  const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const bool gl3 = version && version[0] >= '3' && version[0] <= '9' && version[1] == '.';
  if (!gl3 && !SDL_GL_ExtensionSupported("GL_ARB_framebuffer_object")) return;
  load_proc(p_glGenFramebuffers, "glGenFramebuffers");
  load_proc(p_glDeleteFramebuffers, "glDeleteFramebuffers");
  load_proc(p_glBindFramebuffer, "glBindFramebuffer");
  load_proc(p_glFramebufferRenderbuffer, "glFramebufferRenderbuffer");
  load_proc(p_glFramebufferTexture2D, "glFramebufferTexture2D");
  load_proc(p_glCheckFramebufferStatus, "glCheckFramebufferStatus");
  load_proc(p_glGenRenderbuffers, "glGenRenderbuffers");
  load_proc(p_glDeleteRenderbuffers, "glDeleteRenderbuffers");
  load_proc(p_glBindRenderbuffer, "glBindRenderbuffer");
  load_proc(p_glRenderbufferStorage, "glRenderbufferStorage");
  load_proc(p_glBlitFramebuffer, "glBlitFramebuffer");
  have_fbo = p_glGenFramebuffers && p_glDeleteFramebuffers && p_glBindFramebuffer &&
             p_glFramebufferRenderbuffer && p_glFramebufferTexture2D &&
             p_glCheckFramebufferStatus && p_glGenRenderbuffers && p_glDeleteRenderbuffers &&
             p_glBindRenderbuffer && p_glRenderbufferStorage && p_glBlitFramebuffer;
}

// The one GL context, made once on a hidden window; every texture lives in it and it
// outlives the game windows, so closing and reopening graphics keeps working.
bool ensure_shared_context() {
  if (shared_gl) return true;
  // Failing here makes OpenGraphics give none with the reason; quitting the program on
  // the spot, least of all with status 0, would pass a missing display off as success.
  if (!start_video()) return false;
  set_gl_attributes();
  shared_window = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!shared_window) {
    fail(std::string("no OpenGL window: ") + SDL_GetError());
    return false;
  }
  shared_gl = SDL_GL_CreateContext(shared_window);
  if (!shared_gl) {
    fail(std::string("no OpenGL context: ") + SDL_GetError());
    SDL_DestroyWindow(shared_window);
    shared_window = nullptr;
    return false;
  }
  SDL_GL_MakeCurrent(shared_window, shared_gl);
  load_fbo_functions();
  ++context_serial;
  return true;
}

TGLContextRecord* find_record(Uint32 window_id) {
  for (TGLContextRecord* r = records; r; r = r->next) {
    if (r->window && SDL_GetWindowID(r->window) == window_id) return r;
  }
  return nullptr;
}

// Where the screen sits in the drawable: the largest rectangle of the screen's shape,
// centred. Pixels stay sharp when the scale is a whole number.
void screen_rect(const TGLContextRecord& r, int dw, int dh, int out[4]) {
  if (r.width <= 0 || r.height <= 0 || dw <= 0 || dh <= 0) {
    out[0] = out[1] = 0;
    out[2] = std::max(dw, 0);
    out[3] = std::max(dh, 0);
    return;
  }
  // In whole numbers: a scale in floating point lost a row now and then (1009 of 1010).
  const long long scaled =
      std::min(static_cast<long long>(dw) * r.height, static_cast<long long>(dh) * r.width);
  const int rw = std::clamp(static_cast<int>(scaled / r.height), 1, dw);
  const int rh = std::clamp(static_cast<int>(scaled / r.width), 1, dh);
  out[0] = (dw - rw) / 2;
  out[1] = (dh - rh) / 2;
  out[2] = rw;
  out[3] = rh;
}

// Tells the platform layer where the screen shows in window coordinates (pointer mapping).
void update_screen_area(TGLContextRecord& r) {
  if (!r.window) return;
  int ww = 0, wh = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(r.window, &ww, &wh);
  SDL_GL_GetDrawableSize(r.window, &dw, &dh);
  int a[4] = {0, 0, ww, wh};
  if (r.offscreen && dw > 0 && dh > 0) {
    int d[4];
    screen_rect(r, dw, dh, d);
    // GL counts rows from the bottom; the rectangle is centred, so only scale.
    a[0] = d[0] * ww / dw;
    a[1] = (dh - d[1] - d[3]) * wh / dh;
    a[2] = d[2] * ww / dw;
    a[3] = d[3] * wh / dh;
  }
  if (std::equal(a, a + 4, r.area)) return;
  std::copy(a, a + 4, r.area);
  platform_set_screen_area(a[0], a[1], a[2], a[3], r.width, r.height);
}

void bind_screen(TGLContextRecord* r) {
  if (!have_fbo) return;
  p_glBindFramebuffer(GL_FRAMEBUFFER, r && r->offscreen ? r->fbo : 0);
}

// The largest whole multiple of the screen that fits the desktop's usable area, centred.
SDL_Rect window_place(int display, int width, int height) {
  SDL_Rect u = {0, 0, width, height};
  if (SDL_GetDisplayUsableBounds(display, &u) != 0) SDL_GetDisplayBounds(display, &u);
  const int k = std::max(1, std::min(u.w / width, u.h / height));
  return {u.x + std::max(0, (u.w - k * width) / 2), u.y + std::max(0, (u.h - k * height) / 2),
          k * width, k * height};
}

void set_window_icon(SDL_Window* window) {
  const std::shared_ptr<TPixmap>& icon = AppIcon();
  const std::shared_ptr<TPixmap> rgba = icon ? icon->Convert(PixelRGBA8888) : nullptr;
  if (!rgba) return;
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
      rgba->PixelPtr(0, 0), rgba->width, rgba->height, 32, rgba->pitch, SDL_PIXELFORMAT_RGBA32);
  if (!surface) return;
  SDL_SetWindowIcon(window, surface);
  SDL_FreeSurface(surface);
}

// A full-screen record over the whole desktop, or in a resizable window. Full screen
// refused by the system leaves it a window.
void show_as(TGLContextRecord& r, bool windowed) {
  SDL_Window* w = r.window;
  const int display = std::max(SDL_GetWindowDisplayIndex(w), 0);
  SDL_Rect place;
  if (windowed) {
    SDL_SetWindowFullscreen(w, 0);
    place = window_place(display, r.width, r.height);
  } else if (SDL_GetDisplayBounds(display, &place) != 0) {
    place = {0, 0, r.width, r.height};
  }
  // Placed by hand as well: without a window manager nobody else would.
  SDL_SetWindowBordered(w, windowed ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w, windowed ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowSize(w, place.w, place.h);
  SDL_SetWindowPosition(w, place.x, place.y);
  if (!windowed && SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
    show_as(r, true);
    return;
  }
  r.windowed = windowed;
  if (!windowed) fullscreen_record = &r;
  else if (fullscreen_record == &r) fullscreen_record = nullptr;
  flip_interval = -1;
  update_screen_area(r);
  // The pointer keeps to the same screen pixel: where it was on the desktop is now
  // somewhere else in the game (and SDL would report the old window point).
  move_mouse(mouse_x(), mouse_y());
}

// Only graphics drawn off screen can fill the screen; a plain window stays as it is.
void switch_window_mode(bool windowed) {
  prefer_window = windowed;
  TGLContextRecord* r = current_record;
  if (!r || r->type != 3 || r->windowed == windowed) return;
  show_as(*r, windowed);
  prefer_window = r->windowed;
}

void toggle_window_mode() {
  if (current_record && current_record->type == 3) switch_window_mode(!current_record->windowed);
}

void handle_window_event(const SDL_Event& e) {
  if (e.type != SDL_WINDOWEVENT) return;
  TGLContextRecord* r = find_record(e.window.windowID);
  if (!r) return;
  switch (e.window.event) {
    // A window keeps its place whatever has the focus; only full screen makes way.
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      if (r->type == 3 && !r->windowed && fullscreen_record != r) {
        if (r->minimised_by_us) {
          SDL_RestoreWindow(r->window);
          r->minimised_by_us = false;
        }
        if ((SDL_GetWindowFlags(r->window) & SDL_WINDOW_FULLSCREEN_DESKTOP) !=
                SDL_WINDOW_FULLSCREEN_DESKTOP &&
            SDL_SetWindowFullscreen(r->window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
          throw std::runtime_error("GLGraphicsDriver failed to set display mode");
        }
        fullscreen_record = r;
        // The next present sets the interval its pacing uses, whatever the switch left.
        flip_interval = -1;
      }
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (fullscreen_record == r) {
        // Alt+Tab away: get out of the way of the desktop.
        SDL_MinimizeWindow(r->window);
        r->minimised_by_us = true;
        flip_interval = -1;
        fullscreen_record = nullptr;
      }
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED: update_screen_area(*r); break;
    default: break;
  }
}

void unlink_record(TGLContextRecord* r) {
  for (TGLContextRecord** p = &records; *p; p = &(*p)->next) {
    if (*p == r) {
      *p = r->next;
      break;
    }
  }
  r->next = nullptr;
}

bool make_screen_fbo(TGLContextRecord& r) {
  if (!have_fbo) return false;
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
  p_glGenFramebuffers(1, &r.fbo);
  p_glBindFramebuffer(GL_FRAMEBUFFER, r.fbo);
  p_glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, r.color_tex, 0);
  if (r.flags & (8 | 16)) {  // depth or stencil buffer asked for
    p_glGenRenderbuffers(1, &r.depth_rb);
    p_glBindRenderbuffer(GL_RENDERBUFFER, r.depth_rb);
    p_glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, r.width, r.height);
    p_glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                r.depth_rb);
  }
  p_glBindRenderbuffer(GL_RENDERBUFFER, 0);
  if (p_glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    p_glDeleteFramebuffers(1, &r.fbo);
    glDeleteTextures(1, &r.color_tex);
    if (r.depth_rb) p_glDeleteRenderbuffers(1, &r.depth_rb);
    r.fbo = r.color_tex = r.depth_rb = 0;
    return false;
  }
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  r.offscreen = true;
  return true;
}

void release_screen_fbo(TGLContextRecord& r) {
  if (!r.fbo || !shared_gl) return;
  p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
  p_glDeleteFramebuffers(1, &r.fbo);
  glDeleteTextures(1, &r.color_tex);
  if (r.depth_rb) p_glDeleteRenderbuffers(1, &r.depth_rb);
  r.fbo = r.color_tex = r.depth_rb = 0;
  r.offscreen = false;
}

void present(TGLContextRecord& r) {
  if (!r.offscreen) {
    SDL_GL_SwapWindow(r.window);
    return;
  }
  int dw = 0, dh = 0;
  SDL_GL_GetDrawableSize(r.window, &dw, &dh);
  int d[4];
  screen_rect(r, dw, dh, d);

  // Whatever the renderer has set (scissor, blend, texture, clear colour, viewport) comes
  // back as it was.
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT | GL_TEXTURE_BIT | GL_TRANSFORM_BIT |
               GL_VIEWPORT_BIT);
  p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
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
    p_glBindFramebuffer(GL_READ_FRAMEBUFFER, r.fbo);
    p_glBlitFramebuffer(0, 0, r.width, r.height, d[0], d[1], d[0] + d[2], d[1] + d[3],
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
  p_glBindFramebuffer(GL_FRAMEBUFFER, r.fbo);
  glPopAttrib();
  SDL_GL_SwapWindow(r.window);
  update_screen_area(r);
}

}  // namespace

// ---- TGLGraphics ----

TGLGraphics::~TGLGraphics() { Close(); }

TGraphicsDriver* TGLGraphics::Driver() { return GLGraphicsDriver(); }

void TGLGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
  if (!_context) {
    width = height = depth = hertz = flags = 0;
    return;
  }
  TGLContextRecord& r = *_context;
  if (r.type == 1 && r.window) SDL_GL_GetDrawableSize(r.window, &r.width, &r.height);
  width = r.width;
  height = r.height;
  depth = r.depth;
  hertz = r.hertz;
  flags = r.flags;
}

void TGLGraphics::Close() {
  if (!_context) return;
  std::shared_ptr<TGLContextRecord> r = std::move(_context);
  unlink_record(r.get());
  if (fullscreen_record == r.get()) fullscreen_record = nullptr;
  if (current_record == r.get()) {
    current_record = nullptr;
    if (shared_gl) SDL_GL_MakeCurrent(shared_window, shared_gl);
  }
  release_screen_fbo(*r);
  if (r->window) {
    platform_attach_window(current_record ? current_record->window : nullptr);
    if (r->own_window) SDL_DestroyWindow(r->window);
    r->window = nullptr;
  }
  if (!records) {
    platform_set_window_handler(nullptr);
    platform_set_window_toggle(nullptr);
  }
}

// ---- TGLGraphicsDriver ----

std::vector<TGraphicsMode> TGLGraphicsDriver::GraphicsModes() {
  std::vector<TGraphicsMode> out;
  if (!start_video()) return out;
  const int n = SDL_GetNumDisplayModes(0);
  for (int i = 0; i < n && out.size() < 1024; ++i) {
    SDL_DisplayMode m;
    if (SDL_GetDisplayMode(0, i, &m) != 0) continue;
    // Bits of storage per pixel: an X8R8G8B8 mode counts as 32, as the game asks for.
    const int bpp = static_cast<int>(SDL_BYTESPERPIXEL(m.format)) * 8;
    if (bpp < 16) continue;
    out.push_back({m.w, m.h, bpp, m.refresh_rate});
  }
  return out;
}

std::shared_ptr<TGraphics> TGLGraphicsDriver::AttachGraphics(void* widget, int flags) {
  auto* window = static_cast<SDL_Window*>(widget);
  if (!window) return nullptr;
  if (!ensure_shared_context()) return nullptr;
  if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_OPENGL)) {
    fail("the window was not made for OpenGL");
    return nullptr;
  }
  auto r = std::make_shared<TGLContextRecord>();
  r->type = 1;
  r->flags = flags;
  r->window = window;
  SDL_GL_GetDrawableSize(window, &r->width, &r->height);
  r->next = records;
  records = r.get();
  if (current_record) SDL_GL_MakeCurrent(current_record->window, shared_gl);
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

  // Full screen keeps the desktop's resolution and scales the screen into it, and so
  // does the window the player may choose instead; a windowed graphics shows it 1:1.
  // Without framebuffer objects only a window of the screen's size works.
  const bool full = depth != 0 && have_fbo;
  Uint32 wflags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  SDL_Rect place = {32, 32, width, height};
  if (full && prefer_window) {
    wflags |= SDL_WINDOW_RESIZABLE;
    place = window_place(0, width, height);
  } else if (full) {
    // Borderless at the desktop's size as well: without a window manager nobody else
    // would make the window cover the screen.
    wflags |= SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS;
    if (SDL_GetDisplayBounds(0, &place) != 0) place = {0, 0, width, height};
  }
  SDL_Window* window =
      SDL_CreateWindow(AppTitle().c_str(), place.x, place.y, place.w, place.h, wflags);
  if (!window) {
    fail(std::string("could not open a window: ") + SDL_GetError());
    return nullptr;
  }
  if (SDL_GL_MakeCurrent(window, shared_gl) != 0) {
    fail(std::string("the OpenGL context does not fit the window: ") + SDL_GetError());
    SDL_GL_MakeCurrent(shared_window, shared_gl);
    SDL_DestroyWindow(window);
    return nullptr;
  }

  auto r = std::make_shared<TGLContextRecord>();
  r->type = full ? 3 : 2;
  r->windowed = full && prefer_window;
  r->width = width;
  r->height = height;
  r->depth = depth;
  r->hertz = hertz;
  r->flags = flags;
  r->window = window;
  r->own_window = true;
  if (!make_screen_fbo(*r) && full) {
    // Framebuffer objects exist but this one would not complete: fall back to a window.
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowResizable(window, SDL_FALSE);
    SDL_SetWindowSize(window, width, height);
    SDL_SetWindowPosition(window, 32, 32);
    r->type = 2;
    r->windowed = false;
  }
  if (!r->offscreen) SDL_GL_GetDrawableSize(window, &r->width, &r->height);

  // Leave the previous binding as it was; SetGraphics chooses what is current.
  if (current_record) {
    SDL_GL_MakeCurrent(current_record->window, shared_gl);
    bind_screen(current_record);
  } else {
    SDL_GL_MakeCurrent(shared_window, shared_gl);
    bind_screen(nullptr);
  }

  r->next = records;
  records = r.get();
  platform_set_window_handler(handle_window_event);
  platform_set_window_toggle(toggle_window_mode);
  platform_attach_window(window);
  set_window_icon(window);
  SDL_ShowWindow(window);
  if (r->type == 3) {
    if (!r->windowed) fullscreen_record = r.get();
    SDL_RaiseWindow(window);
  }
  update_screen_area(*r);

  auto g = std::make_shared<TGLGraphics>();
  g->_context = r;
  return g;
}

void TGLGraphicsDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  auto g = std::dynamic_pointer_cast<TGLGraphics>(graphics);
  TGLContextRecord* r = g ? g->_context.get() : nullptr;
  if (r == current_record) return;
  current_record = r;
  if (!shared_gl) return;
  SDL_GL_MakeCurrent(r ? r->window : shared_window, shared_gl);
  bind_screen(r);
  if (r) {
    platform_attach_window(r->window);
    update_screen_area(*r);
  }
}

void TGLGraphicsDriver::Flip(int sync) {
  if (!current_record || !current_record->window) return;
  const int want = sync != 0 ? 1 : 0;
  if (want != flip_interval) {
    SDL_GL_SetSwapInterval(want);
    flip_interval = want;
  }
  present(*current_record);
}

bool TGLGraphicsDriver::CanSyncToDisplay() {
  if (!current_record || !current_record->window) return false;
  if (SDL_GL_SetSwapInterval(1) != 0) return false;
  flip_interval = 1;
  return true;
}

void TGLGraphicsDriver::SetWindowed(bool windowed) { switch_window_mode(windowed); }

bool TGLGraphicsDriver::Windowed() { return prefer_window; }

void TGLGraphicsDriver::SwapSharedContext() {
  // One context holds everything; only make sure it is current somewhere.
  if (shared_gl && SDL_GL_GetCurrentContext() != shared_gl) {
    SDL_GL_MakeCurrent(current_record ? current_record->window : shared_window, shared_gl);
  }
}

TGLGraphicsDriver* GLGraphicsDriver() {
  if (!the_driver) the_driver = std::make_shared<TGLGraphicsDriver>();
  return the_driver.get();
}

bool GLContextLive() { return shared_gl != nullptr; }
int GLContextSerial() { return context_serial; }
bool GLScreenIsOffscreen() { return current_record && current_record->offscreen; }
