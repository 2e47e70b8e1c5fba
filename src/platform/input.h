// Polled keyboard and mouse state, fed by the system driver's events.
// Key codes are Windows virtual-key codes 1..255 (left/right shift 160/161,
// control 162/163, alt 164/165); mouse buttons 1 left, 2 right, 3 middle.
// Every query pumps the system's messages first (while auto-poll is on).
#pragma once

#include "platform/system.h"

int key_down(int key);
int key_hits(int key);  // press count since last asked; clears it
int next_char();        // next typed character, 0 when none
int mouse_x();
int mouse_y();
int mouse_z();  // accumulated wheel
int mouse_down(int button);
int mouse_hits(int button);  // press count since last asked; clears it
int app_suspended();
int app_terminate();  // 1 once per close request

void flush_keys();
void flush_mouse();

// Blocking waits (return 0 if a close request arrives meanwhile).
int wait_key();
int wait_char();
int wait_mouse();

// Auto-poll: when set (the default), each query first calls poll_system.
void set_auto_poll(int enabled);

// Called by the graphics layer when it opens / closes graphics. A non-null source
// makes the state ignore events from any other source.
void enable_polled_input(TObjectPtr source = nullptr);
void disable_polled_input();
