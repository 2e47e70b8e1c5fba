// Internal to the system driver: the pointer as the game sees it. Window points are
// mapped to and from the game screen shown in part of the window; the bars beside it
// count as outside. Emits the pointer's events; knows nothing of SDL.
#pragma once

// Mouse buttons as the events carry them.
constexpr int kLeftButton = 1;
constexpr int kRightButton = 2;
constexpr int kMiddleButton = 3;

// Where the screen_w x screen_h game screen is shown in the window (sizes <= 0 are ignored).
void pointer_set_area(int x, int y, int w, int h, int screen_w, int screen_h);
// A window opened (true) or closed: a closed one has the pointer over nothing, no button held.
void pointer_window_attached(bool attached);
// The game's wish to see the pointer over its window.
void pointer_set_visible(int visible);

// What the window system reports, in window coordinates.
void pointer_moved(int wx, int wy);
void pointer_button(int button, bool down, int wx, int wy);
void pointer_wheel(int delta);
void pointer_left_window();
void pointer_focus_lost();

// The window point under screen point (x, y), kept on the screen; a later report of
// that window point reads (x, y) again, so scaled round trips never drift.
void pointer_warp_target(int x, int y, int& wx, int& wy);

// The window system's side (sdl_pointer_events.cpp).
void show_system_pointer(bool shown);
void capture_system_pointer(bool captured);
