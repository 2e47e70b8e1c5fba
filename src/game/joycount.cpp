// Kept apart from the game's globals: their joystick setting joy_down shares its name
// with the platform's button query.
#include "platform/joystick.h"

int count_joysticks() { return joystick_count(); }
