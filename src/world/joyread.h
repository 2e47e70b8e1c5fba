#pragma once
// Joystick 0 for code that also includes world/globals.h. The float setting joy_down
// there and the button query joy_down of platform/joystick.h cannot share a scope, so
// such code reads the stick through these instead of including platform/joystick.h.

// Button 0 fires, chooses a menu item and ends the splash; button 2 pauses and resumes.
constexpr int joy_fire_button = 0;
constexpr int joy_pause_button = 2;

float joy0_x();             // x axis of joystick 0, -1..1
float joy0_y();             // y axis of joystick 0, -1..1
int joy0_down(int button);  // 1 while the button is held
int joy0_hits(int button);  // presses since last asked; clears them
