// The floor: the least a program does to show a frame like the game's on the same display
// path. A desktop full-screen SDL2 + OpenGL window and a 640 x 480 RGBA8 screen in a
// renderbuffer; each frame a 640 x 480 textured backdrop and 40 blended 48 x 33 sprites from
// one texture, the screen blitted into the window (nearest at whole-number scales) with black
// borders, swapped, paced 16/17/17 ms. Only SDL2 and GL: none of the game's libraries.
// bench/report measures it beside the game and prints the game's figures as ratios to it.
//
//   floor_probe [FRAMES] [--run] [--sprites N] [--textures 1|2] [--direct] [--quad]
//               [--nearest|--linear] [--clear-all] [--unpaced]
//
// Plain, it presents FRAMES (600) frames and prints the CPU time per frame (every thread,
// software GL's included). With --run it goes on until it is closed (SIGTERM), to be watched
// from outside (bench/floor_probe.sh). The variants, measured for the game's present:
// --direct draws straight into the window with a scaled viewport (no screen buffer, no
// blit); --quad keeps the screen in a texture drawn as one quad (the texture replacing the
// colour) instead of the blit; --nearest and --linear choose the filter at every scale;
// --clear-all clears the whole window, not only the borders; --textures 2 alternates the
// sprites between two textures (a draw for each); --unpaced presents as fast as it can.

#include <SDL.h>
#include <SDL_opengl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "floor_frame.h"

namespace {

using floor_frame::kScreenH;
using floor_frame::kScreenW;
using floor_frame::kSpriteH;
using floor_frame::kSpriteW;
constexpr int kSpriteTex = 64;  // power-of-two texture holding one sprite

struct probe_options {
  int frames = 600;
  bool run = false;
  int sprites = 40;
  int textures = 1;
  bool direct = false;
  bool quad = false;
  GLint filter = 0;  // 0: nearest at whole-number scales, linear otherwise
  bool clear_all = false;
  bool unpaced = false;
};

PFNGLGENFRAMEBUFFERSPROC p_glGenFramebuffers = nullptr;
PFNGLBINDFRAMEBUFFERPROC p_glBindFramebuffer = nullptr;
PFNGLFRAMEBUFFERRENDERBUFFERPROC p_glFramebufferRenderbuffer = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DPROC p_glFramebufferTexture2D = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSPROC p_glCheckFramebufferStatus = nullptr;
PFNGLGENRENDERBUFFERSPROC p_glGenRenderbuffers = nullptr;
PFNGLBINDRENDERBUFFERPROC p_glBindRenderbuffer = nullptr;
PFNGLRENDERBUFFERSTORAGEPROC p_glRenderbufferStorage = nullptr;
PFNGLBLITFRAMEBUFFERPROC p_glBlitFramebuffer = nullptr;

template <typename F>
bool load_proc(F& fn, const char* name) {
  fn = reinterpret_cast<F>(SDL_GL_GetProcAddress(name));
  return fn != nullptr;
}

bool load_fbo_functions() {
  return load_proc(p_glGenFramebuffers, "glGenFramebuffers") &&
         load_proc(p_glBindFramebuffer, "glBindFramebuffer") &&
         load_proc(p_glFramebufferRenderbuffer, "glFramebufferRenderbuffer") &&
         load_proc(p_glFramebufferTexture2D, "glFramebufferTexture2D") &&
         load_proc(p_glCheckFramebufferStatus, "glCheckFramebufferStatus") &&
         load_proc(p_glGenRenderbuffers, "glGenRenderbuffers") &&
         load_proc(p_glBindRenderbuffer, "glBindRenderbuffer") &&
         load_proc(p_glRenderbufferStorage, "glRenderbufferStorage") &&
         load_proc(p_glBlitFramebuffer, "glBlitFramebuffer");
}

GLuint make_texture(int w, int h, const std::vector<unsigned char>& rgba, GLint filter) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.empty() ? nullptr : rgba.data());
  return name;
}

// The backdrop as the GL takes it: R, G, B, A bytes.
std::vector<unsigned char> backdrop_pixels() {
  const std::vector<uint32_t> words = floor_frame::backdrop();
  std::vector<unsigned char> px(words.size() * 4);
  for (size_t i = 0; i < words.size(); ++i) {
    px[i * 4] = static_cast<unsigned char>(words[i] >> 16);
    px[i * 4 + 1] = static_cast<unsigned char>(words[i] >> 8);
    px[i * 4 + 2] = static_cast<unsigned char>(words[i]);
    px[i * 4 + 3] = static_cast<unsigned char>(words[i] >> 24);
  }
  return px;
}

// An oval of the sprite's size in the corner of its texture, transparent around it.
std::vector<unsigned char> sprite_pixels(unsigned char r, unsigned char g, unsigned char b) {
  std::vector<unsigned char> px(static_cast<size_t>(kSpriteTex) * kSpriteTex * 4, 0);
  for (int y = 0; y < kSpriteH; ++y) {
    for (int x = 0; x < kSpriteW; ++x) {
      if (floor_frame::oval_radius(x, y) > 1.0) continue;
      unsigned char* p = &px[(static_cast<size_t>(y) * kSpriteTex + x) * 4];
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = 255;
    }
  }
  return px;
}

void ortho(double w, double h) {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0.0, w, h, 0.0, -1.0, 1.0);
  glMatrixMode(GL_MODELVIEW);
}

void textured_quad(float x0, float y0, float x1, float y1, float u1, float v1) {
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(x0, y0);
  glTexCoord2f(u1, 0.0f);
  glVertex2f(x1, y0);
  glTexCoord2f(u1, v1);
  glVertex2f(x1, y1);
  glTexCoord2f(0.0f, v1);
  glVertex2f(x0, y1);
}

// Clears the window black: all of it, or only what the screen leaves uncovered.
void clear_window(int dw, int dh, const int d[4], bool all) {
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  if (all) {
    glClear(GL_COLOR_BUFFER_BIT);
    return;
  }
  const int bars[4][4] = {{0, 0, dw, d[1]},
                          {0, d[1] + d[3], dw, dh - d[1] - d[3]},
                          {0, d[1], d[0], d[3]},
                          {d[0] + d[2], d[1], dw - d[0] - d[2], d[3]}};
  glEnable(GL_SCISSOR_TEST);
  for (const auto& b : bars) {
    if (b[2] <= 0 || b[3] <= 0) continue;
    glScissor(b[0], b[1], b[2], b[3]);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glDisable(GL_SCISSOR_TEST);
}

// The window and what is drawn, made once.
struct floor_scene {
  SDL_Window* window = nullptr;
  int dw = 0, dh = 0;  // drawable size
  int d[4] = {};       // where the screen shows: x, y from the bottom, width, height
  GLuint backdrop = 0, sprite[2] = {}, fbo = 0, screen_tex = 0;
  GLint filter = GL_NEAREST;
};

bool make_screen(const probe_options& o, floor_scene& f) {
  p_glGenFramebuffers(1, &f.fbo);
  p_glBindFramebuffer(GL_FRAMEBUFFER, f.fbo);
  if (o.quad) {
    f.screen_tex = make_texture(kScreenW, kScreenH, {}, f.filter);
    p_glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, f.screen_tex, 0);
  } else {
    GLuint rb = 0;
    p_glGenRenderbuffers(1, &rb);
    p_glBindRenderbuffer(GL_RENDERBUFFER, rb);
    p_glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kScreenW, kScreenH);
    p_glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
  }
  return p_glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

// The backdrop and the sprites, moving a little every frame.
void draw_frame(const probe_options& o, const floor_scene& f, int frame) {
  if (o.direct) {
    clear_window(f.dw, f.dh, f.d, true);
    glViewport(f.d[0], f.d[1], f.d[2], f.d[3]);
  } else {
    p_glBindFramebuffer(GL_FRAMEBUFFER, f.fbo);
    glViewport(0, 0, kScreenW, kScreenH);
  }
  ortho(kScreenW, kScreenH);
  glDisable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, f.backdrop);
  glBegin(GL_QUADS);
  textured_quad(0.0f, 0.0f, kScreenW, kScreenH, 1.0f, 1.0f);
  glEnd();
  glEnable(GL_BLEND);
  const float su = static_cast<float>(kSpriteW) / kSpriteTex;
  const float sv = static_cast<float>(kSpriteH) / kSpriteTex;
  for (int i = 0; i < o.sprites;) {
    // Consecutive sprites of one texture go in one draw.
    const int tex = i % o.textures;
    glBindTexture(GL_TEXTURE_2D, f.sprite[tex]);
    glBegin(GL_QUADS);
    do {
      int x = 0, y = 0;
      floor_frame::sprite_place(i, frame, x, y);
      textured_quad(static_cast<float>(x), static_cast<float>(y), static_cast<float>(x + kSpriteW),
                    static_cast<float>(y + kSpriteH), su, sv);
      ++i;
    } while (i < o.sprites && i % o.textures == tex);
    glEnd();
  }
}

// The screen into the window with black borders.
void present(const probe_options& o, const floor_scene& f) {
  if (!o.direct) {
    p_glBindFramebuffer(GL_FRAMEBUFFER, 0);
    clear_window(f.dw, f.dh, f.d, o.clear_all);
    if (o.quad) {
      glViewport(0, 0, f.dw, f.dh);
      ortho(f.dw, f.dh);
      glDisable(GL_BLEND);
      glBindTexture(GL_TEXTURE_2D, f.screen_tex);
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
      glBegin(GL_QUADS);
      // The texture's first row is the screen's bottom one.
      textured_quad(static_cast<float>(f.d[0]), static_cast<float>(f.dh - f.d[1]),
                    static_cast<float>(f.d[0] + f.d[2]), static_cast<float>(f.dh - f.d[1] - f.d[3]),
                    1.0f, 1.0f);
      glEnd();
      glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    } else {
      p_glBindFramebuffer(GL_READ_FRAMEBUFFER, f.fbo);
      p_glBlitFramebuffer(0, 0, kScreenW, kScreenH, f.d[0], f.d[1], f.d[0] + f.d[2],
                          f.d[1] + f.d[3], GL_COLOR_BUFFER_BIT, static_cast<GLenum>(f.filter));
    }
    // What a reader of the screen sees at the swap (bench/frame_shim.cpp): the screen.
    p_glBindFramebuffer(GL_READ_FRAMEBUFFER, f.fbo);
    glViewport(0, 0, kScreenW, kScreenH);
  }
  SDL_GL_SwapWindow(f.window);
}

bool parse(int argc, char** argv, probe_options& o) {
  return floor_frame::parse_options("floor_probe", argc, argv, o, [&](const char* a, int& i) {
    if (std::strcmp(a, "--textures") == 0 && i + 1 < argc) {
      o.textures = std::clamp(std::atoi(argv[++i]), 1, 2);
    } else if (std::strcmp(a, "--direct") == 0) {
      o.direct = true;
    } else if (std::strcmp(a, "--quad") == 0) {
      o.quad = true;
    } else if (std::strcmp(a, "--nearest") == 0) {
      o.filter = GL_NEAREST;
    } else if (std::strcmp(a, "--linear") == 0) {
      o.filter = GL_LINEAR;
    } else if (std::strcmp(a, "--clear-all") == 0) {
      o.clear_all = true;
    } else {
      return false;
    }
    return true;
  });
}

}  // namespace

int main(int argc, char** argv) {
  probe_options o;
  if (!parse(argc, argv, o)) return 2;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "floor_probe: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Rect place{0, 0, kScreenW, kScreenH};
  SDL_GetDisplayBounds(0, &place);
  floor_scene f;
  f.window =
      SDL_CreateWindow("floor probe", place.x, place.y, place.w, place.h,
                       SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
  SDL_GLContext gl = f.window ? SDL_GL_CreateContext(f.window) : nullptr;
  if (!gl) {
    std::fprintf(stderr, "floor_probe: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetSwapInterval(0);

  SDL_GL_GetDrawableSize(f.window, &f.dw, &f.dh);
  // The largest 4:3 rectangle, centred; whole-number scales stay sharp.
  const int scale_num = std::min(f.dw * kScreenH, f.dh * kScreenW);
  const int rw = scale_num / kScreenH, rh = scale_num / kScreenW;
  f.d[0] = (f.dw - rw) / 2;
  f.d[1] = (f.dh - rh) / 2;
  f.d[2] = rw;
  f.d[3] = rh;
  const bool whole = rw % kScreenW == 0 && rh % kScreenH == 0;
  f.filter = o.filter != 0 ? o.filter : whole ? GL_NEAREST : GL_LINEAR;
  f.backdrop = make_texture(kScreenW, kScreenH, backdrop_pixels(), GL_NEAREST);
  f.sprite[0] = make_texture(kSpriteTex, kSpriteTex, sprite_pixels(230, 60, 40), GL_NEAREST);
  f.sprite[1] = make_texture(kSpriteTex, kSpriteTex, sprite_pixels(250, 240, 90), GL_NEAREST);
  if (!o.direct && !(load_fbo_functions() && make_screen(o, f))) {
    std::fprintf(stderr, "floor_probe: no framebuffer object for the screen\n");
    return 1;
  }
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4ub(255, 255, 255, 255);

  // The first frame also pays for compiling the drawing code.
  floor_frame::run_frames(
      o, [&](int frame) { draw_frame(o, f, frame); }, [&] { present(o, f); },
      [&] {
        return "window " + std::to_string(f.dw) + " x " + std::to_string(f.dh) +
               ", screen shown at " + std::to_string(rw) + " x " + std::to_string(rh) +
               (o.direct ? ", drawn straight into the window" : "");
      });
  SDL_GL_DeleteContext(gl);
  SDL_DestroyWindow(f.window);
  SDL_Quit();
  return 0;
}
