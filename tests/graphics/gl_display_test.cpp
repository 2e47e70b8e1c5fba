// What only the GL display does: the swap interval it asks for, and the plain window it
// falls back to where the GL has no framebuffer objects.

#include <SDL.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "graphics/gl/graphics.h"
#include "platform/system.h"
#include "private_display.h"
#include "sdl_events.h"

// Every swap interval the display asks for: this stands in for SDL's call (the test's
// own definition wins over the library's) and passes it on.
std::vector<int> swap_intervals;
extern "C" int SDL_GL_SetSwapInterval(int interval) {
  swap_intervals.push_back(interval);
  static auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "SDL_GL_SetSwapInterval"));
  return real(interval);
}

namespace {

TEST(GLDisplay, AfterAFocusChangeThePresentsKeepThePacingsInterval) {
  use_private_display(1280, 1024);
  init_graphics_module();
  // The virtual X server cannot sync: soft sync, presents without waiting for the display.
  ASSERT_NE(OpenGraphics(640, 480, 32, 60, BackBuffer), nullptr) << GraphicsError();
  ASSERT_EQ(GraphicsSync().soft_sync, 1);
  Flip(-1);
  push_window(SDL_WINDOWEVENT_FOCUS_LOST);
  push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
  poll_system();
  swap_intervals.clear();
  Flip(-1);
  ASSERT_FALSE(swap_intervals.empty());
  EXPECT_EQ(swap_intervals.back(), 0);
  CloseGraphics();
}

TEST(NoFramebufferObjects, APlainWindowNeverTakesTheScreen) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  setenv("MESA_EXTENSION_OVERRIDE", "-GL_ARB_framebuffer_object", 1);
  setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
  EXPECT_EXIT(
      {
        use_private_display(1280, 1024);
        init_graphics_module();
        if (!OpenGraphics(640, 480, 32, 60, BackBuffer)) std::exit(2);
        push_window(SDL_WINDOWEVENT_FOCUS_LOST);
        push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
        push_key(SDL_SCANCODE_F11, true);
        poll_system();
        SDL_Rect r{};  // (no comma may stand outside parentheses here)
        SDL_GetWindowSize(SDL_GL_GetCurrentWindow(), &r.w, &r.h);
        const Uint32 taken = SDL_WINDOW_FULLSCREEN | SDL_WINDOW_MINIMIZED;
        std::exit((SDL_GetWindowFlags(SDL_GL_GetCurrentWindow()) & taken) || r.w != 640 ||
                  r.h != 480);
      },
      ::testing::ExitedWithCode(0), "");
  unsetenv("MESA_EXTENSION_OVERRIDE");
  unsetenv("MESA_GL_VERSION_OVERRIDE");
}

}  // namespace
