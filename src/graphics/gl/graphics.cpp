#include "graphics/gl/graphics.h"

#include <cstdint>
#include <cstdlib>
#include <exception>

#include "platform/clock.h"
#include "platform/input.h"
#include "platform/system.h"

namespace {

std::shared_ptr<TGraphicsDriver> driver;
int default_flags = 0;
std::vector<TGraphicsMode> modes;
bool modes_fetched = false;

std::shared_ptr<TGraphics> current_graphics;
std::shared_ptr<TGraphics> opened_graphics;
int g_width = 0, g_height = 0, g_depth = 0, g_hertz = 0, g_flags = 0;

int generation = 1;
int flip_hook_id = 0;

// Pacing. The sync time is kept unsigned so that it wraps with the clock.
int soft_sync = 0;
int sync_rate = 0, sync_period = 0, sync_fraction = 0, sync_accum = 0;
std::uint32_t sync_time = 0;

std::string app_title;
std::shared_ptr<TPixmap> app_icon;
std::string last_error;
bool close_at_exit = false;

void bump_generation() {
  // 0 means "no frame" to the images, so it never names a generation.
  generation = static_cast<int>(static_cast<std::uint32_t>(generation) + 1u);
  if (generation == 0) generation = 1;
}

void clear_settings() { g_width = g_height = g_depth = g_hertz = g_flags = 0; }

// Drivers live for the program; a graphics made by a driver we were never handed is
// still driven through a non-owning reference.
std::shared_ptr<TGraphicsDriver> driver_ref(TGraphicsDriver* d) {
  if (driver && driver.get() == d) return driver;
  return std::shared_ptr<TGraphicsDriver>(std::shared_ptr<void>(), d);
}

void close_graphics_at_exit() {
  try {
    CloseGraphics();
  } catch (...) {
    // Exiting anyway; nothing left to report to.
  }
}

// Measures whether presenting with sync 1 already waits for the display: three presents
// in a row that take one refresh period each (within 1 ms) mean it does.
bool display_sync_check = true;

bool display_honours_vsync(int hertz) {
  if (display_sync_check && !driver->CanSyncToDisplay()) return false;
  const int period = 1000 / hertz;
  const int start = millisecs();
  int last = start;
  int good = 0;
  // A frozen test clock must not hang the probe; a real one ends it after a second.
  for (int presents = 0; presents < 100000; ++presents) {
    if (clock_diff(last, start) >= 1000) break;
    driver->Flip(1);
    const int now = millisecs();
    const int took = clock_diff(now, last);
    last = now;
    if (took >= period - 1 && took <= period + 1) {
      if (++good == 3) return true;
    } else {
      good = 0;
    }
  }
  return false;
}

}  // namespace

std::string TGraphicsMode::ToString() const {
  return std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(depth) + " " +
         std::to_string(hertz) + "Hz";
}

void SetAppTitle(const std::string& title) { app_title = title; }
const std::string& AppTitle() { return app_title; }
void SetAppIcon(const std::shared_ptr<TPixmap>& icon) { app_icon = icon; }
const std::shared_ptr<TPixmap>& AppIcon() { return app_icon; }

void SetGraphicsWindowed(bool windowed) {
  if (driver) driver->SetWindowed(windowed);
}
bool GraphicsWindowed() { return driver && driver->Windowed(); }

void SetGraphicsDriver(const std::shared_ptr<TGraphicsDriver>& new_driver, int flags) {
  if (new_driver != driver) {
    if (driver && current_graphics) driver->SetGraphics(nullptr);
    modes.clear();
    modes_fetched = false;
  }
  driver = new_driver;
  default_flags = flags;
  current_graphics.reset();
  clear_settings();
}

std::shared_ptr<TGraphicsDriver> GetGraphicsDriver() { return driver; }
int DefaultGraphicsFlags() { return default_flags; }

static const std::vector<TGraphicsMode>& mode_list() {
  if (!modes_fetched && driver) {
    modes = driver->GraphicsModes();
    modes_fetched = true;
  }
  return modes;
}

int CountGraphicsModes() { return static_cast<int>(mode_list().size()); }

TGraphicsMode GetGraphicsMode(int index) {
  const auto& m = mode_list();
  if (index < 0 || index >= static_cast<int>(m.size())) return {};
  return m[static_cast<size_t>(index)];
}

bool GraphicsModeExists(int width, int height, int depth, int hertz) {
  for (const TGraphicsMode& m : mode_list()) {
    if (width && m.width != width) continue;
    if (height && m.height != height) continue;
    if (depth && m.depth != depth) continue;
    if (hertz && m.hertz != hertz) continue;
    return true;
  }
  return false;
}

std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz, int flags) {
  last_error.clear();
  if (!driver) {
    last_error = "no graphics driver (init_graphics_module was not called)";
    return nullptr;
  }
  std::shared_ptr<TGraphics> g;
  try {
    g = driver->CreateGraphics(width, height, depth, hertz, flags | default_flags);
  } catch (const std::exception& e) {
    last_error = e.what();
    return nullptr;
  } catch (...) {
    last_error = "unknown error while creating graphics";
    return nullptr;
  }
  if (!g && last_error.empty()) last_error = "the graphics driver could not create graphics";
  return g;
}

void SetGraphics(const std::shared_ptr<TGraphics>& graphics) {
  if (!graphics) {
    if (driver) driver->SetGraphics(nullptr);
    current_graphics.reset();
    clear_settings();
    return;
  }
  TGraphicsDriver* owner = graphics->Driver();
  if (owner && owner != driver.get()) {
    if (driver && current_graphics) driver->SetGraphics(nullptr);
    driver = driver_ref(owner);
    modes.clear();
    modes_fetched = false;
  }
  graphics->GetSettings(g_width, g_height, g_depth, g_hertz, g_flags);
  if (driver) driver->SetGraphics(graphics);
  current_graphics = graphics;
}

void SetDisplaySyncCheck(bool enabled) { display_sync_check = enabled; }

std::shared_ptr<TGraphics> CurrentGraphics() { return current_graphics; }
std::shared_ptr<TGraphics> OpenedGraphics() { return opened_graphics; }

std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth, int hertz, int flags) {
  CloseGraphics();
  std::shared_ptr<TGraphics> g = CreateGraphics(width, height, depth, hertz, flags);
  if (!g) return nullptr;
  bump_generation();
  SetGraphics(g);

  soft_sync = 0;
  if (hertz != 0) {
    soft_sync = 1;
    if (depth != 0 && display_honours_vsync(hertz)) soft_sync = 0;
  }
  sync_rate = hertz;
  sync_period = hertz ? 1000 / hertz : 0;
  sync_fraction = 1000 - sync_period * hertz;
  sync_accum = 0;
  sync_time = static_cast<std::uint32_t>(millisecs());

  opened_graphics = g;
  if (depth != 0) move_mouse(width / 2, height / 2);
  enable_polled_input(nullptr);
  if (!close_at_exit) {
    close_at_exit = true;
    std::atexit(close_graphics_at_exit);
  }
  return g;
}

void CloseGraphics() {
  if (!opened_graphics) return;
  bump_generation();
  disable_polled_input();
  std::shared_ptr<TGraphics> g = std::move(opened_graphics);
  opened_graphics.reset();
  if (current_graphics == g) SetGraphics(nullptr);
  g->Close();
}

void Flip(int sync) {
  if (flip_hook_id) run_hooks(flip_hook_id, nullptr);
  if (!driver) return;
  if (sync != -1) {
    driver->Flip(sync);
    return;
  }
  if (current_graphics != opened_graphics || !soft_sync) {
    driver->Flip(g_depth != 0 ? 1 : 0);
    return;
  }
  sync_time += static_cast<std::uint32_t>(sync_period);
  sync_accum += sync_fraction;
  if (sync_accum >= sync_rate) {
    sync_accum -= sync_rate;
    sync_time += 1u;
  }
  const int wait = clock_diff(static_cast<int>(sync_time), millisecs());
  if (wait > 0) {
    delay(wait);
  } else {
    // A late frame's time is dropped, not made up by hurrying the next ones.
    sync_time -= static_cast<std::uint32_t>(wait);
  }
  driver->Flip(0);
}

int GraphicsWidth() { return g_width; }
int GraphicsHeight() { return g_height; }
int GraphicsDepth() { return g_depth; }
int GraphicsHertz() { return g_hertz; }
int GraphicsFlags() { return g_flags; }
int GraphicsGeneration() { return generation; }

std::string GraphicsError() { return last_error; }
void SetGraphicsError(const std::string& why) { last_error = why; }

int FlipHook() {
  if (!flip_hook_id) flip_hook_id = alloc_hook_id();
  return flip_hook_id;
}

TGraphicsSync GraphicsSync() {
  TGraphicsSync s;
  s.soft_sync = soft_sync;
  s.rate = sync_rate;
  s.period = sync_period;
  s.fraction = sync_fraction;
  s.accumulator = sync_accum;
  s.time = static_cast<int>(sync_time);
  return s;
}
