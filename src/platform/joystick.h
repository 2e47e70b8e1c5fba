// Joysticks, sampled on every query. Ports 0..15, buttons 0..15; anything beyond
// reads 0. Axes read -1.0 .. 1.0 with the end stops exactly -1.0 and 1.0.
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
