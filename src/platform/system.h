// System driver: turns the window system's messages into events, runs hooks,
// and offers the pointer operations. Everything here runs on the main thread.
#pragma once

#include <memory>
#include <string>

// Any reference-counted object (event source, hook data and context).
using TObjectPtr = std::shared_ptr<void>;

// Event ids.
constexpr int AppSuspend = 257;
constexpr int AppResume = 258;
constexpr int AppTerminate = 259;
constexpr int AppOpenFile = 260;
constexpr int AppIdle = 261;
constexpr int KeyDown = 513;
constexpr int KeyUp = 514;
constexpr int KeyChar = 515;
constexpr int KeyRepeat = 516;
constexpr int MouseDown = 1025;
constexpr int MouseUp = 1026;
constexpr int MouseMove = 1027;
constexpr int MouseWheel = 1028;
constexpr int MouseEnter = 1029;
constexpr int MouseLeave = 1030;
constexpr int TimerTick = 2049;

// Modifier mask carried by every event.
constexpr int ModShift = 1;
constexpr int ModControl = 2;
constexpr int ModAlt = 4;
constexpr int ModSystem = 8;  // either Windows key

// Current modifier mask (shift 1, control 2, alt 4, Windows key 8).
int current_modifiers();

struct TEvent : std::enable_shared_from_this<TEvent> {
  int id = 0;
  TObjectPtr source;
  int data = 0;
  int mods = 0;
  int x = 0;
  int y = 0;
  TObjectPtr extra;

  // Runs the event-emission hooks with this event.
  void Emit();
  // "KeyDown", "UserEvent3", "Unknown Event, id=99", ...
  std::string ToString() const;

  static std::shared_ptr<TEvent> Create(int id, TObjectPtr source = nullptr, int data = 0,
                                        int mods = 0, int x = 0, int y = 0,
                                        TObjectPtr extra = nullptr);
  // User event ids are negative: 0x80000001, 0x80000002, ...
  static int AllocUserId();
};

// ---- hooks ----

// A hook function gets (id, data, context) and returns the data for the next hook.
using THookFunc = TObjectPtr (*)(int id, TObjectPtr data, TObjectPtr context);

struct THook {
  std::shared_ptr<THook> succ;
  int priority = 0;
  THookFunc func = nullptr;
  TObjectPtr context;
};

// Hands out hook ids 1..255; beyond that throws std::runtime_error("Too many hook ids").
int alloc_hook_id();
// Hooks of an id stand in descending priority; a new hook goes after every hook whose
// priority is greater than or equal to its own.
void add_hook(int id, THookFunc func, TObjectPtr context = nullptr, int priority = 0);
// Unlinks the first hook of that id with this function and context.
void remove_hook(int id, THookFunc func, TObjectPtr context = nullptr);
// Calls each hook in order, passing each result on; returns the last result (data if none).
TObjectPtr run_hooks(int id, TObjectPtr data);
// The id of the event-emission hook (allocated on first use).
int emit_event_hook();

// ---- driver ----

class TSystemDriver {
 public:
  virtual ~TSystemDriver() = default;
  virtual void Poll() = 0;
  virtual void Wait() = 0;
  virtual void MoveMouse(int x, int y) = 0;
  virtual void SetMouseVisible(int visible) = 0;
  virtual void Notify(const std::string& text, int serious) = 0;
  virtual int Confirm(const std::string& text, int serious) = 0;
  virtual int Proceed(const std::string& text, int serious) = 0;
  virtual std::string RequestFile(const std::string& text, const std::string& exts, int save,
                                  const std::string& path) = 0;
  virtual std::string RequestDir(const std::string& text, const std::string& path) = 0;
  virtual void OpenURL(const std::string& url) = 0;
};

// The current system driver (the SDL one, made on first use).
TSystemDriver& system_driver();

// Pumps pending messages; returns at once when a pump is already running.
void poll_system();
// Blocks until some input or message arrives, then pumps (same re-entry guard).
void wait_system();

// Pointer in game screen coordinates (the 640 x 480 screen, whatever the window size).
void move_mouse(int x, int y);
void show_mouse();
void hide_mouse();
