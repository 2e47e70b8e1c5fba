#pragma once
// Real SDL events pushed into SDL's queue, for the system driver's own pump to translate,
// and a hook that records what the system driver emits for them.

#include <SDL.h>

#include <vector>

#include "platform/system.h"

struct Seen {
  int id, data, mods, x, y;
};

// Starts SDL video on the dummy driver (no display needed).
void start_dummy_video();

void push_key(SDL_Scancode sc, bool down, bool repeat = false, Uint16 mod = 0);
void push_key_press(SDL_Scancode sc);  // down, then up
void push_text(const char* utf8);
void push_motion(int x, int y);
void push_button(Uint8 button, bool down, int x, int y);
void push_wheel(int dy);
void push_window(Uint8 event);
void push_quit();

// Records every emitted event from now until stop_recording.
void start_recording();
void stop_recording();
std::vector<Seen>& seen();
// Pumps, then returns what was emitted since the last call.
std::vector<Seen> pump_and_take();
