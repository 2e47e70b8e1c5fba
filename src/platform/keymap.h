// Internal: SDL scancodes to Windows virtual-key codes.
#pragma once

// The virtual-key code 1..255 for an SDL scancode, or 0 for a key the game never sees.
int scancode_to_vk(int scancode);
