// Internal: SDL scancodes to Windows virtual-key codes.
#pragma once

// The virtual-key code 1..255 for an SDL scancode, or 0 for a key the game never sees.
// With NumLock off the keypad gives the navigation codes its keys are labelled with.
int scancode_to_vk(int scancode, bool numlock = true);
