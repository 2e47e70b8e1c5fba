// Internal to the SDL system driver: each kind of SDL event turned into the game's
// events, and what the display has told the platform layer (sdl_bridge.h).
#pragma once

#include <SDL.h>

// SDL_QUIT and the window's own events: close requests, focus, the pointer leaving.
void translate_window_event(const SDL_Event& e);
// Key downs, repeats and ups, typed text, and the held modifiers.
void translate_key_event(const SDL_Event& e);
// Pointer motion, buttons and the wheel.
void translate_pointer_event(const SDL_Event& e);
// Focus changes forget the held modifiers: their ups may go to another window.
void forget_modifiers();

// The display's side (sdl_display.cpp).
// Before SDL starts: our own close signals (SDL leaves signals alone) and the hints.
void prepare_sdl();
SDL_Window* attached_window();
// The display's switch between full screen and a window, if it gave one.
void run_window_toggle();
// The display's own handling of an event, after the event was translated.
void run_window_handler(const SDL_Event& e);

// The display connection (display_lost.cpp).
// Once SDL's video runs: a connection that breaks ends the program with its saves.
void watch_display_connection();
// A quit from SDL may be the Wayland compositor gone: then the program ends here.
void display_gone_if_broken();
// Watches the Wayland connection of the game window (nullptr: none) from a thread.
void watch_wayland_window(SDL_Window* window);
