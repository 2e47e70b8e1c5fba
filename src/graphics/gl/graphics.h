#pragma once
// The display: the current graphics driver, the opened graphics, presenting and
// frame pacing. Drivers (the OpenGL 2D renderer in gl2d.h) plug in underneath.

#include <memory>
#include <string>
#include <vector>

// Graphics flags, combinable.
constexpr int BackBuffer = 2;
constexpr int AlphaBuffer = 4;
constexpr int DepthBuffer = 8;
constexpr int StencilBuffer = 16;
constexpr int AccumBuffer = 32;

struct TGraphicsMode {
  int width = 0;
  int height = 0;
  int depth = 0;  // bits per pixel
  int hertz = 0;  // refresh rate
  // "640,480,32 60Hz"
  std::string ToString() const;
};

class TGraphicsDriver;
class TPixmap;

// One display surface. Driver() is a non-owning pointer: drivers live for the program.
class TGraphics {
 public:
  virtual ~TGraphics() = default;
  virtual TGraphicsDriver* Driver() = 0;
  virtual void GetSettings(int& width, int& height, int& depth, int& hertz, int& flags) = 0;
  virtual void Close() = 0;
};

class TGraphicsDriver {
 public:
  virtual ~TGraphicsDriver() = default;
  virtual std::vector<TGraphicsMode> GraphicsModes() = 0;
  // widget: an SDL_Window* made elsewhere (not used by the game).
  virtual std::shared_ptr<TGraphics> AttachGraphics(void* widget, int flags) = 0;
  // depth 0 asks for a window, anything else for the full screen. None on failure.
  virtual std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth, int hertz,
                                                    int flags) = 0;
  virtual void SetGraphics(const std::shared_ptr<TGraphics>& graphics) = 0;  // none: release
  virtual void Flip(int sync) = 0;
  // Whether presenting with sync 1 can wait for the display at all. A display that refuses
  // the swap interval (a virtual X server, some remote sessions) is never measured: a
  // loaded machine can make its presents look like refresh periods, and the game would
  // then run unpaced.
  virtual bool CanSyncToDisplay() { return true; }
  // Full-screen graphics shown in a window instead: the choice for graphics made from now
  // on, and for the current ones at once. Drivers without windows keep full screen.
  virtual void SetWindowed(bool windowed) { (void)windowed; }
  virtual bool Windowed() { return false; }
};

// Registers the renderer chosen for this machine (renderer_choice.h) as the current driver
// with default flags 2. Safe to call twice.
void init_graphics_module();

// The caption of every window opened from now on.
void SetAppTitle(const std::string& title);
const std::string& AppTitle();
// The icon of every window opened from now on (none: the system's).
void SetAppIcon(const std::shared_ptr<TPixmap>& icon);
const std::shared_ptr<TPixmap>& AppIcon();

// Full screen (false) or a resizable window (true) for full-screen graphics; the player
// switches with F11 or Alt+Enter at any time. Set before OpenGraphics to open that way.
void SetGraphicsWindowed(bool windowed);
bool GraphicsWindowed();

// Driver selection. Switching driver releases the old driver's graphics and the mode list.
void SetGraphicsDriver(const std::shared_ptr<TGraphicsDriver>& driver,
                       int default_flags = BackBuffer);
std::shared_ptr<TGraphicsDriver> GetGraphicsDriver();
int DefaultGraphicsFlags();

// Display modes of the current driver, fetched once per driver.
int CountGraphicsModes();
TGraphicsMode GetGraphicsMode(int index);  // all zero when out of range
// A 0 argument matches anything.
bool GraphicsModeExists(int width, int height, int depth = 0, int hertz = 0);

// Creates graphics without making them current; none on failure (see GraphicsError).
std::shared_ptr<TGraphics> CreateGraphics(int width, int height, int depth = 0, int hertz = 60,
                                          int flags = 0);
// Makes any graphics current (none releases the current ones).
void SetGraphics(const std::shared_ptr<TGraphics>& graphics);
std::shared_ptr<TGraphics> CurrentGraphics();
std::shared_ptr<TGraphics> OpenedGraphics();

// Closes what was opened before, opens and makes current, sets up pacing, enables
// polled input. None when no display could be opened: GraphicsError() says why.
std::shared_ptr<TGraphics> OpenGraphics(int width, int height, int depth = 0, int hertz = 60,
                                        int flags = 0);
void CloseGraphics();

// Presents the back buffer. -1: paced at the opened rate (vertical sync or soft sync);
// 0 / 1: present without / with vertical sync, no pacing.
void Flip(int sync = -1);

// Settings of the current graphics; 0 when none.
int GraphicsWidth();
int GraphicsHeight();
int GraphicsDepth();
int GraphicsHertz();
int GraphicsFlags();

// Bumped on every open and close; never 0. Images rebuild their textures when it changes.
int GraphicsGeneration();

// Why the last creation gave none ("" when it did not fail).
std::string GraphicsError();
// Creation code reports its failure here; the next CreateGraphics starts with it cleared.
void SetGraphicsError(const std::string& why);

// The hook id (platform/system.h add_hook) run at the start of every Flip; the game
// registers none.
int FlipHook();

// Frame pacing, as Flip(-1) sees it (ms); readable for tests and probes.
struct TGraphicsSync {
  int soft_sync = 0;
  int rate = 0;
  int period = 0;
  int fraction = 0;
  int accumulator = 0;
  int time = 0;
};
TGraphicsSync GraphicsSync();
// Tests measure the probe with a fake clock on displays that cannot sync: off skips the
// CanSyncToDisplay question. On by default.
void SetDisplaySyncCheck(bool enabled);
