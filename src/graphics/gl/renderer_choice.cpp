#include "graphics/gl/renderer_choice.h"

#include <SDL.h>
#include <SDL_opengl.h>
#include <dlfcn.h>
#include <glob.h>

#include <strings.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "graphics/gl/gl2d.h"
#include "graphics/gl/gl_screen.h"
#include "graphics/soft/soft2d.h"
#include "graphics/window/screen_window.h"

namespace {

bool env_is(const char* name, std::initializer_list<const char*> values) {
  const char* v = std::getenv(name);
  if (!v) return false;
  for (const char* s : values) {
    if (!strcasecmp(v, s)) return true;
  }
  return false;
}

bool any_path(const char* pattern) {
  glob_t g;
  const bool found = glob(pattern, 0, nullptr, &g) == 0 && g.gl_pathc > 0;
  globfree(&g);
  return found;
}

// Whether the X server SDL talks to has GLX, asked on a connection of our own through the
// libX11 SDL has loaded. Yes where it cannot be asked: the GL context will tell.
bool x_server_has_glx() {
  void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!x11) return true;
  using OpenFn = void* (*)(const char*);
  using QueryFn = int (*)(void*, const char*, int*, int*, int*);
  using CloseFn = int (*)(void*);
  auto open = reinterpret_cast<OpenFn>(dlsym(x11, "XOpenDisplay"));
  auto query = reinterpret_cast<QueryFn>(dlsym(x11, "XQueryExtension"));
  auto close = reinterpret_cast<CloseFn>(dlsym(x11, "XCloseDisplay"));
  bool glx = true;
  if (open && query && close) {
    if (void* display = open(nullptr)) {
      int opcode = 0, event = 0, error = 0;
      glx = query(display, "GLX", &opcode, &event, &error) != 0;
      close(display);
    }
  }
  dlclose(x11);
  return glx;
}

// Makes a GL context on a hidden window and reads who draws it.
RendererKind ask_the_gl() {
  SDL_Window* w = SDL_CreateWindow("", 0, 0, 1, 1, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!w) return RendererKind::Software;
  RendererKind kind = RendererKind::Software;
  if (SDL_GLContext c = SDL_GL_CreateContext(w)) {
    using StringFn = const GLubyte*(APIENTRY*)(GLenum);
    auto get = reinterpret_cast<StringFn>(SDL_GL_GetProcAddress("glGetString"));
    const GLubyte* name = get ? get(GL_RENDERER) : nullptr;
    // A GL without framebuffer objects could show the screen only in a plain 640 x 480
    // window; the software renderer shows it full screen.
    if (name && !IsSoftwareGL(reinterpret_cast<const char*>(name)) && LoadScreenFunctions())
      kind = RendererKind::GL;
    SDL_GL_DeleteContext(c);
  }
  SDL_DestroyWindow(w);
  return kind;
}

}  // namespace

TEarlyChoice ChooseRendererEarly(const TRendererFacts& facts) {
  TEarlyChoice c;
  if (facts.asked == "gl" || facts.asked == "software") {
    c.forced = c.decided = true;
    c.kind = facts.asked == "gl" ? RendererKind::GL : RendererKind::Software;
    return c;
  }
  if (!facts.asked.empty()) {
    c.warning = "AEROVANE_RENDERER=" + facts.asked +
                " is neither gl nor software; choosing the renderer by the machine";
  }
  if (facts.software_gl_asked || !facts.gpu_device) {
    c.decided = true;
    c.kind = RendererKind::Software;
  }
  return c;
}

bool IsSoftwareGL(const std::string& name) {
  for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (name.find(soft) != std::string::npos) return true;
  }
  return false;
}

TRendererFacts ReadRendererFacts() {
  TRendererFacts f;
  if (const char* asked = std::getenv("AEROVANE_RENDERER")) f.asked = asked;
  // A switch of Mesa's is on as Mesa reads it: 1, true, yes or y.
  f.software_gl_asked = env_is("LIBGL_ALWAYS_SOFTWARE", {"1", "true", "yes", "y"}) ||
                        env_is("GALLIUM_DRIVER", {"llvmpipe", "softpipe"}) ||
                        env_is("MESA_LOADER_DRIVER_OVERRIDE", {"swrast", "kms_swrast"});
  f.gpu_device =
      any_path("/dev/dri/renderD*") || any_path("/dev/dri/card*") || any_path("/dev/nvidia[0-9]*");
  return f;
}

RendererKind ChooseRenderer() {
  const TEarlyChoice early = ChooseRendererEarly(ReadRendererFacts());
  if (!early.warning.empty()) std::fprintf(stderr, "aerovane: %s\n", early.warning.c_str());
  if (early.forced) return early.kind;
  // Without a display either renderer fails the same way when the game opens its screen.
  if (!StartVideo()) return early.kind;
  const char* video = SDL_GetCurrentVideoDriver();
  if (video && !std::strcmp(video, "wayland")) return RendererKind::GL;
  if (early.decided) return early.kind;
  if (video && !std::strcmp(video, "x11") && !x_server_has_glx()) return RendererKind::Software;
  return ask_the_gl();
}

void init_graphics_module() {
  static bool ready = false;
  if (ready) return;
  ready = true;
  if (ChooseRenderer() == RendererKind::GL) {
    SetGraphicsDriver(GLRenderer(), BackBuffer);
  } else {
    SetGraphicsDriver(SoftRenderer(), BackBuffer);
  }
}
