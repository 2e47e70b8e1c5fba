// Noticing a lost display connection and ending the program cleanly from there.
//
// X11: when the connection breaks, Xlib calls its I/O error handler from inside whatever
// call found out, and never lets the program go on: the default handler calls exit(),
// whose exit handlers then close the window through SDL and wait on the dead connection
// for ever. Ours must not return either; it ends the process itself. Xlib is reached
// through the copy SDL already loaded, so the game does not depend on it.
//
// Wayland: SDL notices the broken connection while pumping and sends a quit; the pump
// asks the connection whether that quit is really its death (display_gone_if_broken). A
// thread watching the socket covers a pump that never comes back (watch_wayland_window).
#include "platform/display_lost.h"

#include <dlfcn.h>
#include <poll.h>
#include <unistd.h>

#include <SDL.h>
#include <SDL_syswm.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <string>
#include <thread>

#include "platform/exit_watchdog.h"
#include "platform/sdl_translate.h"

namespace {

// The saves usually take milliseconds; a disk that hangs must not keep a program
// without a display alive.
constexpr int kSavesBudgetMs = 900;

std::atomic<void (*)()> g_saves{nullptr};
std::atomic<bool> g_lost{false};

struct XDisplay;
using XIOHandler = int (*)(XDisplay*);

[[noreturn]] void end_without_display(const std::string& why) {
  if (g_lost.exchange(true)) {
    // Another thread found out too and is already ending the process.
    for (;;) pause();
  }
  arm_exit_watchdog(kSavesBudgetMs, 1);
  const std::string line = "aerovane: the display went away (" + why + ")\n";
  if (write(STDERR_FILENO, line.data(), line.size()) < 0) {
    // A closed terminal: nobody to tell.
  }
  if (void (*saves)() = g_saves.load()) {
    try {
      saves();
    } catch (...) {
      // Whatever was saved stays saved; nothing more can be done here.
    }
  }
  _exit(1);
}

using NameFn = char* (*)(XDisplay*);
NameFn g_display_name = nullptr;  // Xlib's XDisplayString

extern "C" int on_x_io_error(XDisplay* display) {
  const char* name = g_display_name ? g_display_name(display) : nullptr;
  end_without_display(std::string("the connection to the X server ") + (name ? name : "") +
                      " was lost");
}

}  // namespace

void set_display_lost_saves(void (*saves)()) {
  g_saves.store(saves);
  // Taken away (the game letting go of what they save) while the watching thread may be
  // saving: the process is ending there; the game must not pull its data from under it.
  if (!saves && g_lost.load())
    for (;;) pause();
}

void watch_display_connection() {
  // A write to a dead connection must come back as an error for the handler below; by
  // default it would end the program on the spot, without its saves.
  struct sigaction old {};
  if (sigaction(SIGPIPE, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
    std::signal(SIGPIPE, SIG_IGN);

  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver || SDL_strcasecmp(driver, "x11") != 0) return;
  // Held for good: the handler is kept inside the library, so it must not be unloaded
  // and loaded afresh, without the handler, when SDL's video stops and starts again.
  static void* x11 = nullptr;
  if (!x11) x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (!x11) return;
  using SetFn = XIOHandler (*)(XIOHandler);
  auto set = reinterpret_cast<SetFn>(dlsym(x11, "XSetIOErrorHandler"));
  if (!set) return;
  g_display_name = reinterpret_cast<NameFn>(dlsym(x11, "XDisplayString"));
  set(on_x_io_error);
}

namespace {

// The Wayland display behind the window, or nullptr.
void* wayland_display(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!window || !SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WAYLAND)
    return nullptr;
  return info.info.wl.display;
}

template <typename Fn>
Fn wayland_function(const char* name) {
  // SDL loaded the library; this only finds it (and keeps it, like SDL's own reference).
  static void* const wayland = dlopen("libwayland-client.so.0", RTLD_LAZY | RTLD_NOLOAD);
  return wayland ? reinterpret_cast<Fn>(dlsym(wayland, name)) : nullptr;
}

constexpr const char* kCompositorGone = "the connection to the Wayland compositor was lost";

// Which window's socket is watched; a new window, or none, stops the older watch.
std::atomic<int> g_watch{0};

void watch_socket(int fd, int watch) {
  pollfd p{fd, POLLRDHUP, 0};
  for (;;) {
    const int n = poll(&p, 1, 200);
    if (g_watch.load() != watch || (n > 0 && (p.revents & POLLNVAL))) return;
    if (n > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR))) break;
  }
  // The pump usually finds out at once, on the game's own thread; give it that chance.
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  if (g_watch.load() == watch) end_without_display(kCompositorGone);
}

}  // namespace

void display_gone_if_broken() {
  void* display = wayland_display(attached_window());
  auto get_error = wayland_function<int (*)(void*)>("wl_display_get_error");
  if (display && get_error && get_error(display) != 0) end_without_display(kCompositorGone);
}

void watch_wayland_window(SDL_Window* window) {
  const int watch = g_watch.fetch_add(1) + 1;
  void* display = wayland_display(window);
  auto get_fd = wayland_function<int (*)(void*)>("wl_display_get_fd");
  if (!display || !get_fd) return;
  // SDL's pump can spin for ever on a dead connection inside the Wayland and decoration
  // libraries, never handing the quit back; the socket itself tells a thread of our own.
  std::thread(watch_socket, get_fd(display), watch).detach();
}
