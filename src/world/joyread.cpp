// Kept apart from world/globals.h on purpose: see joyread.h.
#include "world/joyread.h"

#include "platform/joystick.h"

float joy0_x() { return joy_x(0); }
float joy0_y() { return joy_y(0); }
int joy0_down(int button) { return joy_down(button, 0); }
int joy0_hits(int button) { return joy_hits(button, 0); }
