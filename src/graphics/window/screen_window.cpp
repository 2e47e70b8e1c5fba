#include "graphics/window/screen_window.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "graphics/pixmap/pixmap.h"
#include "platform/input.h"
#include "platform/sdl_bridge.h"

namespace {

constexpr const char* kWindowClass = "Vantor GLGraphics";
constexpr int kWindowPlace = 32;  // x and y of a window the game places itself

struct WindowState {
  bool video_started = false;
  TScreenWindow* windows = nullptr;  // newest first
  TScreenWindow* current = nullptr;
  TScreenWindow* fullscreen = nullptr;  // the one that has the desktop
  bool prefer_window = false;           // full-screen graphics shown in a window
};
WindowState g_win;

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

TScreenWindow* find_window(Uint32 window_id) {
  for (TScreenWindow* r = g_win.windows; r; r = r->next) {
    if (r->window && SDL_GetWindowID(r->window) == window_id) return r;
  }
  return nullptr;
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
void show_as(TScreenWindow& r, bool windowed) {
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
  if (!windowed) g_win.fullscreen = &r;
  else if (g_win.fullscreen == &r) g_win.fullscreen = nullptr;
  r.DisplayChanged();
  UpdateScreenArea(r);
  // The pointer keeps to the same screen pixel: where it was on the desktop is now
  // somewhere else in the game (and SDL would report the old window point).
  move_mouse(mouse_x(), mouse_y());
}

void toggle_window_mode() {
  TScreenWindow* r = g_win.current;
  if (r && r->kind == WindowKind::FullScreen) SetWindowPreferred(!r->windowed);
}

void handle_window_event(const SDL_Event& e) {
  if (e.type != SDL_WINDOWEVENT) return;
  TScreenWindow* r = find_window(e.window.windowID);
  if (!r) return;
  switch (e.window.event) {
    // A window keeps its place whatever has the focus; only full screen makes way.
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      if (r->kind == WindowKind::FullScreen && !r->windowed && g_win.fullscreen != r) {
        if (r->minimised_by_us) {
          SDL_RestoreWindow(r->window);
          r->minimised_by_us = false;
        }
        if ((SDL_GetWindowFlags(r->window) & SDL_WINDOW_FULLSCREEN_DESKTOP) !=
                SDL_WINDOW_FULLSCREEN_DESKTOP &&
            SDL_SetWindowFullscreen(r->window, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
          throw std::runtime_error("GLGraphicsDriver failed to set display mode");
        }
        g_win.fullscreen = r;
        // The next present sets what its pacing uses, whatever the switch left.
        r->DisplayChanged();
      }
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      if (g_win.fullscreen == r) {
        // Alt+Tab away: get out of the way of the desktop.
        SDL_MinimizeWindow(r->window);
        r->minimised_by_us = true;
        r->DisplayChanged();
        g_win.fullscreen = nullptr;
      }
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
    case SDL_WINDOWEVENT_RESIZED:
    case SDL_WINDOWEVENT_SHOWN:
    case SDL_WINDOWEVENT_RESTORED: UpdateScreenArea(*r); break;
    default: break;
  }
}

}  // namespace

bool StartVideo() {
  if (g_win.video_started) return true;
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
  g_win.video_started = true;
  return true;
}

std::vector<TGraphicsMode> DisplayModes() {
  std::vector<TGraphicsMode> out;
  if (!StartVideo()) return out;
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

SDL_Window* OpenScreenWindow(int width, int height, bool full, unsigned extra_flags) {
  // Full screen keeps the desktop's resolution and scales the screen into it, and so
  // does the window the player may choose instead; a windowed graphics shows it 1:1.
  Uint32 wflags = extra_flags | SDL_WINDOW_HIDDEN;
  SDL_Rect place = {kWindowPlace, kWindowPlace, width, height};
  if (full && g_win.prefer_window) {
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
  if (!window) fail(std::string("could not open a window: ") + SDL_GetError());
  return window;
}

void MakePlainWindow(SDL_Window* window, int width, int height) {
  SDL_SetWindowFullscreen(window, 0);
  SDL_SetWindowBordered(window, SDL_TRUE);
  SDL_SetWindowResizable(window, SDL_FALSE);
  SDL_SetWindowSize(window, width, height);
  SDL_SetWindowPosition(window, kWindowPlace, kWindowPlace);
}

void LinkScreenWindow(TScreenWindow& r) {
  r.next = g_win.windows;
  g_win.windows = &r;
}

void ShowScreenWindow(TScreenWindow& r) {
  platform_set_window_handler(handle_window_event);
  platform_set_window_toggle(toggle_window_mode);
  platform_attach_window(r.window);
  set_window_icon(r.window);
  SDL_ShowWindow(r.window);
  if (r.kind == WindowKind::FullScreen) {
    if (!r.windowed) g_win.fullscreen = &r;
    SDL_RaiseWindow(r.window);
  }
  UpdateScreenArea(r);
}

bool UnlinkScreenWindow(TScreenWindow& r) {
  for (TScreenWindow** p = &g_win.windows; *p; p = &(*p)->next) {
    if (*p == &r) {
      *p = r.next;
      break;
    }
  }
  r.next = nullptr;
  if (g_win.fullscreen == &r) g_win.fullscreen = nullptr;
  if (g_win.current != &r) return false;
  g_win.current = nullptr;
  return true;
}

void CloseScreenWindow(TScreenWindow& r) {
  if (r.window) {
    platform_attach_window(g_win.current ? g_win.current->window : nullptr);
    if (r.own_window) SDL_DestroyWindow(r.window);
    r.window = nullptr;
  }
  if (!g_win.windows) {
    platform_set_window_handler(nullptr);
    platform_set_window_toggle(nullptr);
  }
}

TScreenWindow* CurrentScreenWindow() { return g_win.current; }

void SetCurrentScreenWindow(TScreenWindow* r) { g_win.current = r; }

void AttachScreenWindow(TScreenWindow& r) {
  platform_attach_window(r.window);
  UpdateScreenArea(r);
}

// Only graphics drawn off screen can fill the screen; a plain window stays as it is.
void SetWindowPreferred(bool windowed) {
  g_win.prefer_window = windowed;
  TScreenWindow* r = g_win.current;
  if (!r || r->kind != WindowKind::FullScreen || r->windowed == windowed) return;
  show_as(*r, windowed);
  g_win.prefer_window = r->windowed;
}

bool WindowPreferred() { return g_win.prefer_window; }

void LetterboxRect(const TScreenWindow& r, int dw, int dh, int out[4]) {
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
  out[1] = dh - (dh - rh) / 2 - rh;
  out[2] = rw;
  out[3] = rh;
}

void UpdateScreenArea(TScreenWindow& r) {
  if (!r.window) return;
  int ww = 0, wh = 0, dw = 0, dh = 0;
  SDL_GetWindowSize(r.window, &ww, &wh);
  r.DrawableSize(dw, dh);
  int a[4] = {0, 0, ww, wh};
  if (r.offscreen && dw > 0 && dh > 0) {
    int d[4];
    LetterboxRect(r, dw, dh, d);
    a[0] = d[0] * ww / dw;
    a[1] = d[1] * wh / dh;
    a[2] = d[2] * ww / dw;
    a[3] = d[3] * wh / dh;
  }
  if (std::equal(a, a + 4, r.area)) return;
  std::copy(a, a + 4, r.area);
  platform_set_screen_area(a[0], a[1], a[2], a[3], r.width, r.height);
}
