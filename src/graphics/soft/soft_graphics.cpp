#include "graphics/soft/soft_graphics.h"

#include <SDL.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <string>

#include "graphics/soft/soft_replay.h"
#include "graphics/window/screen_window.h"

// One window and the screen shown in it. The screen is always apart from the window,
// so it is always shown letterboxed (at 1:1 in a window of its own size).
struct TSoftWindowRecord : TScreenWindow {
  TSoftScreen screen;
  // Which screen column each window column of the letterbox shows, for its width and the
  // screen's.
  std::vector<int> columns;
  int columns_of = 0;
  std::vector<uint32_t> row;  // one converted row, for window surfaces of other formats
  // What the window surface shows, and where: a part of a row that is the same at the next
  // present is left as it is, and only the window rows that changed are sent. A window
  // surface laid out as the screen, at once or twice its size, holds the screen's words
  // itself; for any other the rows shown are kept here.
  std::vector<uint32_t> shown;
  int shown_at[4] = {0, 0, 0, 0};
  int shown_size[2] = {0, 0};
  unsigned shown_exposures = 0;
  int presents_since_whole = 0;
  std::vector<SDL_Rect> changed;
  // Of the screen row being shown, the parts that changed (x0, x1 and the window columns
  // wx0, wx1 showing them), and the runs of tiles written in its tile row.
  std::vector<std::array<int, 4>> parts;
  std::vector<std::array<int, 2>> runs;
  void DrawableSize(int& w, int& h) const override { SDL_GetWindowSizeInPixels(window, &w, &h); }
};

namespace {

std::shared_ptr<TSoftGraphicsDriver> g_driver;

// Counts what may have spoilt what a window shows (exposed, resized, shown again): each
// window surface is then drawn and sent whole at its next present.
std::atomic<unsigned> g_exposures{0};
int watch_exposures(void*, SDL_Event* e) {
  if (e->type == SDL_WINDOWEVENT && e->window.event != SDL_WINDOWEVENT_MOVED &&
      e->window.event != SDL_WINDOWEVENT_ENTER && e->window.event != SDL_WINDOWEVENT_LEAVE)
    g_exposures.fetch_add(1, std::memory_order_relaxed);
  return 0;
}
// Once while SDL's events run (stopping them forgets every watch).
void watch_windows() {
  SDL_DelEventWatch(watch_exposures, nullptr);
  SDL_AddEventWatch(watch_exposures, nullptr);
}

// Even with nothing seen to spoil it, the whole surface is drawn and sent now and then.
constexpr int kWholeEvery = 60;
// Rectangles sent at most; changed runs of rows closer than the rest are sent as one.
constexpr size_t kMostRects = 16;

void fail(const std::string& why) { SetGraphicsError(why); }

TSoftWindowRecord* current_record() {
  return dynamic_cast<TSoftWindowRecord*>(CurrentScreenWindow());
}

// SDL would otherwise put a GL renderer behind the window surface, which on a machine
// without a GPU driver costs more than everything else the game does. The window
// system's own image (shared memory on X11) is what we want. Set before the first
// window surface, which is when SDL reads it, and over whatever the environment says.
// SDL has no image of its own on Wayland: there the surface can only come through its
// renderer (the game chooses the GL renderer there unless this one is asked for).
void use_system_framebuffer() {
  const char* video = SDL_GetCurrentVideoDriver();
  if (video && !std::strcmp(video, "wayland")) return;
  SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0", SDL_HINT_OVERRIDE);
}

// The window surface's pixels are 32-bit words laid out like the screen's (in memory
// B, G, R, X or A): rows can be copied word by word.
bool same_layout(const SDL_PixelFormat& f) {
  return f.BytesPerPixel == 4 && f.Rmask == 0x00FF0000u && f.Gmask == 0x0000FF00u &&
         f.Bmask == 0x000000FFu;
}

// Window columns [wx0, wx1) of row `out` (w words) show columns [x0, x1) of screen row
// `in` scaled: window column x shows the screen column under its centre. `opaque` is ORed
// in (the alpha of a surface that has one; the screen's own alpha is not for showing).
void scale_span(const uint32_t* in, int screen_w, int x0, int x1, uint32_t* out, int w, int wx0,
                int wx1, const int* columns, uint32_t opaque) {
  if (w == screen_w) {
    if (!opaque) {
      std::memcpy(out + x0, in + x0, static_cast<size_t>(x1 - x0) * 4);
      return;
    }
    for (int x = x0; x < x1; ++x) out[x] = in[x] | opaque;
  } else if (w == 2 * screen_w) {
    for (int x = x0; x < x1; ++x) out[2 * x] = out[2 * x + 1] = in[x] | opaque;
  } else {
    for (int x = wx0; x < wx1; ++x) out[x] = in[columns[x]] | opaque;
  }
}

// Columns [x0, x1) of screen row `in`, doubled both ways, into window rows out0 and out1
// (a window of twice the screen's width).
void double_span(const uint32_t* __restrict in, int x0, int x1, uint32_t* __restrict out0,
                 uint32_t* __restrict out1, uint32_t opaque) {
  int x = x0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(opaque));
  for (; x + 4 <= x1; x += 4) {
    const __m128i v =
        _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x)), alpha);
    const __m128i lo = _mm_unpacklo_epi32(v, v), hi = _mm_unpackhi_epi32(v, v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + 2 * x), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out0 + 2 * x + 4), hi);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out1 + 2 * x), lo);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out1 + 2 * x + 4), hi);
  }
#endif
  for (; x < x1; ++x)
    out0[2 * x] = out0[2 * x + 1] = out1[2 * x] = out1[2 * x + 1] = in[x] | opaque;
}

// Whether the 8 screen words at `in` show as they did: `shown` holds what each showed,
// every `step`-th word (1: the kept row or a window of the screen's size, 2: a window of
// twice its size), with `alpha` ORed in.
bool same8(const uint32_t* in, const uint32_t* shown, int step, uint32_t alpha) {
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi32(static_cast<int>(alpha));
  __m128i eq = _mm_set1_epi32(-1);
  for (int k = 0; k < 8; k += 4) {
    const __m128i v = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k)), a);
    const auto* at = reinterpret_cast<const __m128i*>(shown + k * step);
    if (step == 1) {
      eq = _mm_and_si128(eq, _mm_cmpeq_epi32(v, _mm_loadu_si128(at)));
    } else {
      eq = _mm_and_si128(eq, _mm_cmpeq_epi32(_mm_unpacklo_epi32(v, v), _mm_loadu_si128(at)));
      eq = _mm_and_si128(eq, _mm_cmpeq_epi32(_mm_unpackhi_epi32(v, v), _mm_loadu_si128(at + 1)));
    }
  }
  return _mm_movemask_epi8(eq) == 0xffff;
#else
  for (int k = 0; k < 8; ++k)
    if ((in[k] | alpha) != shown[k * step]) return false;
  return true;
#endif
}

// Of screen words in[0, n), the first that does not show as it did and one past the last;
// n and n when all do (`shown`, `step` and `alpha` as for same8). Blocks of 8 at a time.
void find_change(const uint32_t* in, const uint32_t* shown, int step, uint32_t alpha, int n,
                 int& first, int& end) {
  constexpr int kBlock = 8;
  auto same = [&](int i) { return (in[i] | alpha) == shown[i * step]; };
  int i = 0;
  while (i + kBlock <= n && same8(in + i, shown + i * step, step, alpha)) i += kBlock;
  while (i < n && same(i)) ++i;
  first = end = n;
  if (i == n) return;
  int j = n;
  while (j - kBlock >= i && same8(in + j - kBlock, shown + (j - kBlock) * step, step, alpha))
    j -= kBlock;
  while (same(j - 1)) --j;
  first = i;
  end = j;
}

// Window row y changed from column x0 to x1: a run of rows, joined to the last run (and
// its columns to the run's) if it ends there.
void note_changed(std::vector<SDL_Rect>& runs, int x0, int x1, int y) {
  if (!runs.empty() && runs.back().y + runs.back().h == y) {
    SDL_Rect& run = runs.back();
    const int right = std::max(run.x + run.w, x1);
    run.x = std::min(run.x, x0);
    run.w = right - run.x;
    ++run.h;
    return;
  }
  runs.push_back({x0, y, x1 - x0, 1});
}

// At most kMostRects runs: the two closest joined, gaps and all, until there are.
void join_closest(std::vector<SDL_Rect>& runs) {
  while (runs.size() > kMostRects) {
    size_t best = 0;
    for (size_t i = 1; i + 1 < runs.size(); ++i) {
      const int gap = runs[i + 1].y - (runs[i].y + runs[i].h);
      if (gap < runs[best + 1].y - (runs[best].y + runs[best].h)) best = i;
    }
    SDL_Rect& a = runs[best];
    const SDL_Rect& b = runs[best + 1];
    const int right = std::max(a.x + a.w, b.x + b.w);
    a.x = std::min(a.x, b.x);
    a.w = right - a.x;
    a.h = b.y + b.h - a.y;
    runs.erase(runs.begin() + static_cast<std::ptrdiff_t>(best) + 1);
  }
}

// The screen into the surface at d = x, y, w, h (from the top-left), nearest, and the
// rest of the surface black. Returns whether all of it was drawn; otherwise r.changed
// holds the window rows that were.
bool show_screen(TSoftWindowRecord& r, SDL_Surface& s, const int d[4]) {
  TSoftScreen& screen = r.screen;
  const size_t words = static_cast<size_t>(screen.width) * static_cast<size_t>(screen.height);
  const unsigned exposures = g_exposures.load(std::memory_order_relaxed);
  // A surface SDL made anew has no mark of ours.
  const bool direct = same_layout(*s.format);
  const bool on_window = direct && screen.width > 0 && screen.height > 0 &&
                         (d[2] == screen.width || d[2] == 2 * screen.width) &&
                         d[3] * screen.width == d[2] * screen.height;
  const bool whole = s.userdata != &r || !std::equal(d, d + 4, r.shown_at) ||
                     r.shown_size[0] != screen.width || r.shown_size[1] != screen.height ||
                     (!on_window && r.shown.size() != words) || r.shown_exposures != exposures ||
                     ++r.presents_since_whole >= kWholeEvery;
  r.changed.clear();
  if (whole) {
    const SDL_Rect bars[4] = {{0, 0, s.w, d[1]},
                              {0, d[1] + d[3], s.w, s.h - d[1] - d[3]},
                              {0, d[1], d[0], d[3]},
                              {d[0] + d[2], d[1], s.w - d[0] - d[2], d[3]}};
    for (const SDL_Rect& b : bars) {
      if (b.w > 0 && b.h > 0) SDL_FillRect(&s, &b, SDL_MapRGB(s.format, 0, 0, 0));
    }
    s.userdata = &r;
    std::copy(d, d + 4, r.shown_at);
    r.shown_size[0] = screen.width;
    r.shown_size[1] = screen.height;
    if (on_window) {
      std::vector<uint32_t>().swap(r.shown);
    } else {
      r.shown.resize(words);
    }
    r.shown_exposures = exposures;
    r.presents_since_whole = 0;
  }
  if (d[2] <= 0 || d[3] <= 0 || screen.width <= 0 || screen.height <= 0) return true;
  if (static_cast<int>(r.columns.size()) != d[2] || r.columns_of != screen.width) {
    r.columns_of = screen.width;
    r.columns.resize(static_cast<size_t>(d[2]));
    for (int x = 0; x < d[2]; ++x) r.columns[x] = (2 * x + 1) * screen.width / (2 * d[2]);
  }
  const uint32_t opaque = direct ? s.format->Amask : 0xFF000000u;
  if (!direct) r.row.resize(static_cast<size_t>(d[2]));
  if (SDL_MUSTLOCK(&s) && SDL_LockSurface(&s) != 0) {
    s.userdata = nullptr;  // nothing drawn: whole at the next present
    return true;
  }
  // Only the tiles written since the last present can differ from what it showed.
  const soft::TileMap& touched = screen.Replay().Touched();
  const bool tiles = !whole && !touched.All(screen.width, screen.height);
  auto* base = static_cast<uint8_t*>(s.pixels);
  const int bpp = s.format->BytesPerPixel;
  const bool doubled = direct && d[2] == 2 * screen.width;
  // The window columns [wx0, wx1) showing screen columns [x0, x1).
  auto part = [&](int x0, int x1) {
    const int wx0 = static_cast<int>(std::lower_bound(r.columns.begin(), r.columns.end(), x0) -
                                     r.columns.begin());
    const int wx1 = static_cast<int>(std::lower_bound(r.columns.begin(), r.columns.end(), x1) -
                                     r.columns.begin());
    if (wx0 < wx1) r.parts.push_back({x0, x1, wx0, wx1});
  };
  int runs_of = -1;               // the tile row r.runs holds the runs of
  const uint8_t* last = nullptr;  // the window row made last, and the screen row it shows
  int last_y = -1;
  bool made_again = false;  // the row after it was made with it
  for (int y = 0; y < d[3]; ++y) {
    uint8_t* out =
        base + static_cast<ptrdiff_t>(d[1] + y) * s.pitch + static_cast<ptrdiff_t>(d[0]) * bpp;
    const int sy = (2 * y + 1) * screen.height / (2 * d[3]);
    const bool again = sy == last_y;  // scaled up, a screen row shows in several window rows
    last_y = sy;
    const uint32_t* in = screen.Row(sy);
    uint32_t* kept = on_window ? nullptr : r.shown.data() + static_cast<size_t>(sy) * screen.width;
    // What the row showed: the window's own row (the first showing it) or the kept one.
    const uint32_t* was = on_window ? reinterpret_cast<const uint32_t*>(out) : kept;
    const int step = on_window ? d[2] / screen.width : 1;
    const uint32_t alpha = on_window ? opaque : 0;
    if (!again) {
      // The parts of the row that changed: each from its first changed column to its last.
      r.parts.clear();
      if (whole) {
        part(0, screen.width);
      } else if (tiles) {
        const int ty = sy >> soft::TileMap::kShift;
        if (ty != runs_of) {
          runs_of = ty;
          r.runs.clear();
          touched.Runs(ty, 0, screen.width, [&](int a, int b) { r.runs.push_back({a, b}); });
        }
        for (const auto& [a, b] : r.runs) {
          int first = 0, end = 0;
          find_change(in + a, was + a * step, step, alpha, b - a, first, end);
          if (first < end) part(a + first, a + end);
        }
      } else {
        int first = 0, end = 0;
        find_change(in, was, step, alpha, screen.width, first, end);
        if (first < end) part(first, end);
      }
    }
    if (r.parts.empty()) continue;
    if (!whole)
      note_changed(r.changed, d[0] + r.parts.front()[2], d[0] + r.parts.back()[3], d[1] + y);
    if (again) {
      if (!made_again) {
        for (const auto& [x0, x1, wx0, wx1] : r.parts) {
          std::memcpy(out + static_cast<ptrdiff_t>(wx0) * bpp,
                      last + static_cast<ptrdiff_t>(wx0) * bpp,
                      static_cast<size_t>(wx1 - wx0) * bpp);
        }
      }
      made_again = false;
      continue;
    }
    made_again = doubled && y + 1 < d[3] && (2 * y + 3) * screen.height / (2 * d[3]) == sy;
    for (const auto& [x0, x1, wx0, wx1] : r.parts) {
      if (kept) std::copy(in + x0, in + x1, kept + x0);
      if (made_again) {
        double_span(in, x0, x1, reinterpret_cast<uint32_t*>(out),
                    reinterpret_cast<uint32_t*>(out + s.pitch), opaque);
        continue;
      }
      if (direct) {
        scale_span(in, screen.width, x0, x1, reinterpret_cast<uint32_t*>(out), d[2], wx0, wx1,
                   r.columns.data(), opaque);
      } else {
        scale_span(in, screen.width, x0, x1, r.row.data(), d[2], wx0, wx1, r.columns.data(),
                   opaque);
        SDL_ConvertPixels(wx1 - wx0, 1, SDL_PIXELFORMAT_ARGB8888, r.row.data() + wx0, d[2] * 4,
                          s.format->format, out + static_cast<ptrdiff_t>(wx0) * bpp, s.pitch);
      }
    }
    last = out;
  }
  if (SDL_MUSTLOCK(&s)) SDL_UnlockSurface(&s);
  join_closest(r.changed);
  return whole;
}

}  // namespace

// ---- TSoftGraphics ----

TSoftGraphics::~TSoftGraphics() { Close(); }

TGraphicsDriver* TSoftGraphics::Driver() { return SoftGraphicsDriver(); }

void TSoftGraphics::GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) {
  if (!_context) {
    width = height = depth = hertz = flags = 0;
    return;
  }
  width = _context->width;
  height = _context->height;
  depth = _context->depth;
  hertz = _context->hertz;
  flags = _context->flags;
}

void TSoftGraphics::Close() {
  if (!_context) return;
  std::shared_ptr<TSoftWindowRecord> r = std::move(_context);
  UnlinkScreenWindow(*r);
  if (CurrentSoftScreen() == &r->screen) SetCurrentSoftScreen(nullptr);
  CloseScreenWindow(*r);
}

TSoftScreen* TSoftGraphics::Screen() { return _context ? &_context->screen : nullptr; }

// ---- TSoftGraphicsDriver ----

std::vector<TGraphicsMode> TSoftGraphicsDriver::GraphicsModes() { return DisplayModes(); }

std::shared_ptr<TGraphics> TSoftGraphicsDriver::AttachGraphics(void* widget, int flags) {
  auto* window = static_cast<SDL_Window*>(widget);
  if (!window) return nullptr;
  if (!StartVideo()) return nullptr;
  use_system_framebuffer();
  watch_windows();
  auto r = std::make_shared<TSoftWindowRecord>();
  r->kind = WindowKind::Attached;
  r->flags = flags;
  r->window = window;
  r->offscreen = true;
  // A screen of the window's size, shown letterboxed should the window change.
  r->DrawableSize(r->width, r->height);
  if (r->width <= 0 || r->height <= 0) {
    fail("the window has no size");
    return nullptr;
  }
  r->screen.Resize(r->width, r->height);
  r->screen.keeps_alpha = (flags & AlphaBuffer) != 0;
  LinkScreenWindow(*r);
  auto g = std::make_shared<TSoftGraphics>();
  g->_context = r;
  return g;
}

std::shared_ptr<TGraphics> TSoftGraphicsDriver::CreateGraphics(int width, int height, int depth,
                                                               int hertz, int flags) {
  if (width <= 0 || height <= 0) {
    fail("graphics need a positive size");
    return nullptr;
  }
  if (!StartVideo()) return nullptr;
  use_system_framebuffer();
  watch_windows();
  const bool full = depth != 0;
  SDL_Window* window = OpenScreenWindow(width, height, full, 0);
  if (!window) return nullptr;
  auto r = std::make_shared<TSoftWindowRecord>();
  r->kind = full ? WindowKind::FullScreen : WindowKind::Windowed;
  r->windowed = full && WindowPreferred();
  r->width = width;
  r->height = height;
  r->depth = depth;
  r->hertz = hertz;
  r->flags = flags;
  r->window = window;
  r->own_window = true;
  r->offscreen = true;
  r->screen.Resize(width, height);
  r->screen.keeps_alpha = (flags & AlphaBuffer) != 0;
  // Asked now so that a window that can show nothing fails here, not at every present;
  // a desktop too large for the window system's image still gets a plain window.
  if (!SDL_GetWindowSurface(window) && full) {
    MakePlainWindow(window, width, height);
    r->kind = WindowKind::Windowed;
    r->windowed = false;
  }
  if (!SDL_GetWindowSurface(window)) {
    fail(std::string("no window surface: ") + SDL_GetError());
    SDL_DestroyWindow(window);
    return nullptr;
  }
  LinkScreenWindow(*r);
  ShowScreenWindow(*r);
  auto g = std::make_shared<TSoftGraphics>();
  g->_context = r;
  return g;
}

void TSoftGraphicsDriver::SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  auto g = std::dynamic_pointer_cast<TSoftGraphics>(graphics);
  TSoftWindowRecord* r = g ? g->_context.get() : nullptr;
  SetCurrentSoftScreen(r ? &r->screen : nullptr);
  if (r == current_record() && r) return;
  SetCurrentScreenWindow(r);
  if (r) AttachScreenWindow(*r);
}

void TSoftGraphicsDriver::Flip(int /*sync*/) {
  TSoftWindowRecord* r = current_record();
  if (!r || !r->window) return;
  // A resized window has a new surface; SDL makes it here.
  SDL_Surface* s = SDL_GetWindowSurface(r->window);
  if (!s) return;
  int d[4];
  LetterboxRect(*r, s->w, s->h, d);
  r->screen.Settle();
  const bool whole = show_screen(*r, *s, d);
  r->screen.Replay().TakeTouched();
  if (whole) {
    SDL_UpdateWindowSurface(r->window);
  } else {
    SDL_UpdateWindowSurfaceRects(r->window, r->changed.data(), static_cast<int>(r->changed.size()));
  }
  UpdateScreenArea(*r);
}

// The window system's image is put on screen when it is ready; nothing waits for the
// display's refresh, so the game paces itself.
bool TSoftGraphicsDriver::CanSyncToDisplay() { return false; }

void TSoftGraphicsDriver::SetWindowed(bool windowed) { SetWindowPreferred(windowed); }

bool TSoftGraphicsDriver::Windowed() { return WindowPreferred(); }

TSoftGraphicsDriver* SoftGraphicsDriver() {
  if (!g_driver) g_driver = std::make_shared<TSoftGraphicsDriver>();
  return g_driver.get();
}
