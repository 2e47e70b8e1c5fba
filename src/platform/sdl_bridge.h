// SDL glue between the platform layer and the display (graphics/gl) only.
// Game and world code never include this.
#pragma once

#include <SDL.h>

// Call once before creating the window: sets the SDL hints the platform layer
// relies on, installs the SIGINT/SIGTERM/SIGHUP close request and initialises SDL's
// video and events. Safe to call twice. Returns false when SDL video cannot start
// (SDL_GetError says why).
bool platform_init_video();
// Balances platform_init_video (SDL video is shut down after the last call).
void platform_quit_video();

// The game window, or nullptr once it is closed.
void platform_attach_window(SDL_Window* window);
// Where the screen_w x screen_h game screen is shown inside the window, in window
// coordinates; pointer events are mapped through it into screen coordinates.
void platform_set_screen_area(int x, int y, int w, int h, int screen_w, int screen_h);
// The display's own handling of each SDL event; poll_system calls it after the
// event has been translated and emitted. nullptr removes it.
void platform_set_window_handler(void (*handler)(const SDL_Event&));
// The display's switch between full screen and a window, run on a press of F11 or
// Alt+Enter; those keys never reach the game as keys. nullptr removes it.
void platform_set_window_toggle(void (*toggle)());
