// The key and mouse button codes the polled input reports (platform/input.h), for the
// keys the game reads. Keys are Windows virtual-key codes; control always comes as its
// left or right code, never as the shared one. Not to be mixed up with the event ids
// KeyDown and KeyUp of platform/system.h.
#pragma once

constexpr int KeyCodeEscape = 27;
constexpr int KeyCodeSpace = 32;
constexpr int KeyCodeArrowLeft = 37;
constexpr int KeyCodeArrowUp = 38;
constexpr int KeyCodeArrowRight = 39;
constexpr int KeyCodeArrowDown = 40;
constexpr int KeyCodeLeftControl = 162;

constexpr int MouseButtonLeft = 1;
constexpr int MouseButtonRight = 2;
constexpr int MouseButtonMiddle = 3;
