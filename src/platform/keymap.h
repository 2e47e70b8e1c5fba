// Internal: SDL scancodes to Windows virtual-key codes, and the codes the platform
// layer reads itself.
#pragma once

// Key codes are 1..255; 0 is no key.
constexpr int kKeyCodes = 256;

constexpr int kVkBackspace = 8;
constexpr int kVkTab = 9;
constexpr int kVkReturn = 13;
constexpr int kVkEscape = 27;
constexpr int kVkF4 = 115;
// The generic modifier codes, never reported: only the sided ones below are.
constexpr int kVkShift = 16;
constexpr int kVkControl = 17;
constexpr int kVkAlt = 18;
constexpr int kVkLeftShift = 160;
constexpr int kVkRightShift = 161;
constexpr int kVkLeftControl = 162;
constexpr int kVkRightControl = 163;
constexpr int kVkLeftAlt = 164;
constexpr int kVkRightAlt = 165;
constexpr int kVkLeftWindows = 91;
constexpr int kVkRightWindows = 92;

// The virtual-key code 1..255 for an SDL scancode, or 0 for a key the game never sees.
// With NumLock off the keypad gives the navigation codes its keys are labelled with.
int scancode_to_vk(int scancode, bool numlock = true);
