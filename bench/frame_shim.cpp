// Preload library for the program probe and the end-to-end journeys: timestamps the
// running game's presents without touching the game. It stands in for SDL_GL_SwapWindow (the
// GL renderer's present) and SDL_UpdateWindowSurface(Rects) (the software renderer's), notes the
// time of the first present and of the first one with anything but black on the screen, and writes
// them to the file named by AV_FRAME_LOG, in milliseconds after AV_EXEC_US (the wall
// clock in microseconds, taken by the launcher just before exec).
//
//   AV_EXEC_US=... AV_FRAME_LOG=/tmp/f.log LD_PRELOAD=.../libframe_shim.so ./aerovane
//
// Lines written: "loaded MS" (the shim's constructor ran: the dynamic libraries are in),
// "first_swap MS", "last_black MS" (the last present before the first one with content)
// and "first_content MS SWAPS" (SWAPS presents came before it).
//
// With AV_FRAME_COUNTER naming a file, the count of presents so far is kept in its first
// 8 bytes (native 64-bit), so that a prober can read the frame rate over any span.
// The window's requests to be minimised and restored are logged too: "minimise MS" and
// "restore MS", seen on an X server without a window manager, which ignores them.
#include <SDL.h>  // types only: the calls are looked up in the game's own SDL
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace {

// The few GL names we need, without linking GL: looked up through SDL at first use.
using GLenum = unsigned int;
using GLint = int;
using GLsizei = int;
constexpr GLenum kViewport = 0x0BA2;
constexpr GLenum kPackAlignment = 0x0D05;
constexpr GLenum kPackRowLength = 0x0D02;
constexpr GLenum kPackSkipRows = 0x0D03;
constexpr GLenum kPackSkipPixels = 0x0D04;
constexpr GLenum kPixelPackBufferBinding = 0x88ED;
constexpr GLenum kRgba = 0x1908;
constexpr GLenum kUnsignedByte = 0x1401;

using swap_fn = void (*)(SDL_Window*);
using proc_fn = void* (*)(const char*);
using get_int_fn = void (*)(GLenum, GLint*);
using pixel_store_fn = void (*)(GLenum, GLint);
using read_pixels_fn = void (*)(GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, void*);

std::int64_t exec_us = 0;
int swaps = 0;
double last_swap_ms = 0.0;
bool content_seen = false;
std::atomic<std::uint64_t>* counter = nullptr;
get_int_fn gl_get_int = nullptr;
pixel_store_fn gl_pixel_store = nullptr;
read_pixels_fn gl_read_pixels = nullptr;

std::int64_t now_us() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

// One line to the log, straight to the file: the game may be ended by a signal later.
void note(const char* fmt, double ms, int extra = -1) {
  const char* path = std::getenv("AV_FRAME_LOG");
  if (!path || !*path || exec_us == 0) return;
  char line[96];
  int n = extra < 0 ? std::snprintf(line, sizeof line, fmt, ms)
                    : std::snprintf(line, sizeof line, fmt, ms, extra);
  const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0) return;
  if (n > 0 && write(fd, line, static_cast<size_t>(n)) < 0) n = 0;
  close(fd);
}

double since_exec_ms() { return static_cast<double>(now_us() - exec_us) / 1000.0; }

__attribute__((constructor)) void shim_loaded() {
  const char* t0 = std::getenv("AV_EXEC_US");
  if (t0) exec_us = std::strtoll(t0, nullptr, 10);
  note("loaded %.1f\n", since_exec_ms());
  const char* path = std::getenv("AV_FRAME_COUNTER");
  if (!path || !*path) return;
  const int fd = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  if (ftruncate(fd, sizeof(std::uint64_t)) == 0) {
    void* p = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p != MAP_FAILED) counter = new (p) std::atomic<std::uint64_t>(0);
  }
  close(fd);
}

bool find_gl() {
  if (gl_read_pixels) return true;
  auto proc = reinterpret_cast<proc_fn>(dlsym(RTLD_DEFAULT, "SDL_GL_GetProcAddress"));
  if (!proc) return false;
  gl_get_int = reinterpret_cast<get_int_fn>(proc("glGetIntegerv"));
  gl_pixel_store = reinterpret_cast<pixel_store_fn>(proc("glPixelStorei"));
  gl_read_pixels = reinterpret_cast<read_pixels_fn>(proc("glReadPixels"));
  return gl_get_int && gl_pixel_store && gl_read_pixels;
}

// Whether the frame about to be presented shows anything: a 64 x 64 block at the middle
// of the viewport, read from whatever the present reads (the game's screen). Small, so
// the reading does not change the timing it measures. Pixel-store state is put back.
bool frame_has_content() {
  if (!find_gl()) return false;
  GLint pack_buffer = 0;
  gl_get_int(kPixelPackBufferBinding, &pack_buffer);
  if (pack_buffer != 0) return false;
  GLint view[4] = {0, 0, 0, 0};
  gl_get_int(kViewport, view);
  const int w = view[2] < 64 ? view[2] : 64;
  const int h = view[3] < 64 ? view[3] : 64;
  if (w <= 0 || h <= 0) return false;
  GLint saved[4];
  const GLenum names[4] = {kPackAlignment, kPackRowLength, kPackSkipRows, kPackSkipPixels};
  for (int i = 0; i < 4; ++i) gl_get_int(names[i], &saved[i]);
  gl_pixel_store(kPackAlignment, 4);
  gl_pixel_store(kPackRowLength, 0);
  gl_pixel_store(kPackSkipRows, 0);
  gl_pixel_store(kPackSkipPixels, 0);
  static unsigned char px[64 * 64 * 4];
  std::memset(px, 0, sizeof px);
  gl_read_pixels(view[0] + (view[2] - w) / 2, view[1] + (view[3] - h) / 2, w, h, kRgba,
                 kUnsignedByte, px);
  for (int i = 0; i < 4; ++i) gl_pixel_store(names[i], saved[i]);
  for (int i = 0; i < w * h; ++i)
    if (px[i * 4] | px[i * 4 + 1] | px[i * 4 + 2]) return true;
  return false;
}

// The same for the software renderer's present: the block in the middle of the window
// surface, which shows the screen scaled there.
bool surface_has_content(SDL_Window* window) {
  using surface_fn = SDL_Surface* (*)(SDL_Window*);
  static auto get = reinterpret_cast<surface_fn>(dlsym(RTLD_DEFAULT, "SDL_GetWindowSurface"));
  SDL_Surface* s = get ? get(window) : nullptr;
  if (!s || !s->pixels || s->format->BytesPerPixel != 4) return false;
  const int w = s->w < 64 ? s->w : 64, h = s->h < 64 ? s->h : 64;
  for (int y = (s->h - h) / 2; y < (s->h + h) / 2; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const char*>(s->pixels) +
                                                             static_cast<ptrdiff_t>(y) * s->pitch);
    for (int x = (s->w - w) / 2; x < (s->w + w) / 2; ++x)
      if (row[x] & (s->format->Rmask | s->format->Gmask | s->format->Bmask)) return true;
  }
  return false;
}

// Notes a present, whose screen shows something or not.
template <typename HasContent>
void presented(HasContent has_content) {
  if (!content_seen) {
    const double ms = since_exec_ms();
    if (swaps == 0) note("first_swap %.1f\n", ms);
    if (has_content()) {
      content_seen = true;
      if (swaps > 0) note("last_black %.1f\n", last_swap_ms);
      note("first_content %.1f %d\n", ms, swaps);
    }
    last_swap_ms = ms;
  }
  ++swaps;
  if (counter) counter->fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" void SDL_MinimizeWindow(SDL_Window* window) {
  static swap_fn real = reinterpret_cast<swap_fn>(dlsym(RTLD_NEXT, "SDL_MinimizeWindow"));
  note("minimise %.1f\n", since_exec_ms());
  if (real) real(window);
}

extern "C" void SDL_RestoreWindow(SDL_Window* window) {
  static swap_fn real = reinterpret_cast<swap_fn>(dlsym(RTLD_NEXT, "SDL_RestoreWindow"));
  note("restore %.1f\n", since_exec_ms());
  if (real) real(window);
}

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
  static swap_fn real = reinterpret_cast<swap_fn>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
  presented(frame_has_content);
  if (real) real(window);
}

extern "C" int SDL_UpdateWindowSurface(SDL_Window* window) {
  using update_fn = int (*)(SDL_Window*);
  static auto real = reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurface"));
  presented([window] { return surface_has_content(window); });
  return real ? real(window) : -1;
}

extern "C" int SDL_UpdateWindowSurfaceRects(SDL_Window* window, const SDL_Rect* rects, int n) {
  using update_fn = int (*)(SDL_Window*, const SDL_Rect*, int);
  static auto real = reinterpret_cast<update_fn>(dlsym(RTLD_NEXT, "SDL_UpdateWindowSurfaceRects"));
  presented([window] { return surface_has_content(window); });
  return real ? real(window, rects, n) : -1;
}
