// Joysticks, sampled on every query. Ports 0..15, buttons 0..15; anything beyond
// reads 0. Axes read -1.0 .. 1.0 with the end stops exactly -1.0 and 1.0.
//
// A device SDL knows as a game controller (its own mappings, SDL_GAMECONTROLLERCONFIG,
// SDL_GAMECONTROLLERCONFIG_FILE) is shown as a pad: x and y are the D-pad or the left
// stick, either reading its end stop once pressed or past half its travel; A is button 0,
// B 1, X and Start 2, Y 3; the shoulders 4 and 5, Back 6, Start 7 again, Guide 8, the
// stick clicks 9 and 10; z and v the triggers, r and u the right stick, the hat the
// D-pad. Any other joystick is read raw: its own axes, buttons and first hat.
#pragma once

#include <string>

// Finds attached devices and puts any new one into the port table; returns the number of
// devices present.
int joystick_count();

int joy_down(int button, int port = 0);  // 1 while held
int joy_hits(int button, int port = 0);  // press count since last asked; clears it
float joy_x(int port = 0);
float joy_y(int port = 0);
float joy_z(int port = 0);
float joy_r(int port = 0);
float joy_u(int port = 0);
float joy_v(int port = 0);
float joy_hat(int port = 0);         // -1 centred, else 0 up growing clockwise to just under 1
int joy_buttons(int port = 0);       // mask of the buttons held
std::string joy_name(int port = 0);  // "" without a device
int joy_button_caps(int port = 0);   // mask of the buttons the device has
int joy_axis_caps(int port = 0);     // mask of the axes it has (bit 0 x .. bit 5 v, bit 9 hat)
