#include "platform/keymap.h"

#include <SDL.h>

#include <array>
#include <utility>

namespace {

// Positional mapping (a US layout), as the game's controls are about where keys sit.
// Shift, control and alt only ever come out as their left and right codes.
// The table keeps related keys in rows, as a keyboard does.
// clang-format off
constexpr std::pair<int, int> kPairs[] = {
    // letters and digits
    {SDL_SCANCODE_A, 'A'}, {SDL_SCANCODE_B, 'B'}, {SDL_SCANCODE_C, 'C'}, {SDL_SCANCODE_D, 'D'},
    {SDL_SCANCODE_E, 'E'}, {SDL_SCANCODE_F, 'F'}, {SDL_SCANCODE_G, 'G'}, {SDL_SCANCODE_H, 'H'},
    {SDL_SCANCODE_I, 'I'}, {SDL_SCANCODE_J, 'J'}, {SDL_SCANCODE_K, 'K'}, {SDL_SCANCODE_L, 'L'},
    {SDL_SCANCODE_M, 'M'}, {SDL_SCANCODE_N, 'N'}, {SDL_SCANCODE_O, 'O'}, {SDL_SCANCODE_P, 'P'},
    {SDL_SCANCODE_Q, 'Q'}, {SDL_SCANCODE_R, 'R'}, {SDL_SCANCODE_S, 'S'}, {SDL_SCANCODE_T, 'T'},
    {SDL_SCANCODE_U, 'U'}, {SDL_SCANCODE_V, 'V'}, {SDL_SCANCODE_W, 'W'}, {SDL_SCANCODE_X, 'X'},
    {SDL_SCANCODE_Y, 'Y'}, {SDL_SCANCODE_Z, 'Z'},
    {SDL_SCANCODE_1, '1'}, {SDL_SCANCODE_2, '2'}, {SDL_SCANCODE_3, '3'}, {SDL_SCANCODE_4, '4'},
    {SDL_SCANCODE_5, '5'}, {SDL_SCANCODE_6, '6'}, {SDL_SCANCODE_7, '7'}, {SDL_SCANCODE_8, '8'},
    {SDL_SCANCODE_9, '9'}, {SDL_SCANCODE_0, '0'},
    // editing and whitespace
    {SDL_SCANCODE_RETURN, 13}, {SDL_SCANCODE_ESCAPE, 27}, {SDL_SCANCODE_BACKSPACE, 8},
    {SDL_SCANCODE_TAB, 9}, {SDL_SCANCODE_SPACE, 32},
    // punctuation (the OEM codes)
    {SDL_SCANCODE_MINUS, 189}, {SDL_SCANCODE_EQUALS, 187}, {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_RIGHTBRACKET, 221}, {SDL_SCANCODE_BACKSLASH, 220}, {SDL_SCANCODE_NONUSHASH, 220},
    {SDL_SCANCODE_SEMICOLON, 186}, {SDL_SCANCODE_APOSTROPHE, 222}, {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_COMMA, 188}, {SDL_SCANCODE_PERIOD, 190}, {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
    // locks
    {SDL_SCANCODE_CAPSLOCK, 20}, {SDL_SCANCODE_SCROLLLOCK, 145}, {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    // function keys
    {SDL_SCANCODE_F1, 112}, {SDL_SCANCODE_F2, 113}, {SDL_SCANCODE_F3, 114}, {SDL_SCANCODE_F4, 115},
    {SDL_SCANCODE_F5, 116}, {SDL_SCANCODE_F6, 117}, {SDL_SCANCODE_F7, 118}, {SDL_SCANCODE_F8, 119},
    {SDL_SCANCODE_F9, 120}, {SDL_SCANCODE_F10, 121}, {SDL_SCANCODE_F11, 122}, {SDL_SCANCODE_F12, 123},
    {SDL_SCANCODE_F13, 124}, {SDL_SCANCODE_F14, 125}, {SDL_SCANCODE_F15, 126}, {SDL_SCANCODE_F16, 127},
    {SDL_SCANCODE_F17, 128}, {SDL_SCANCODE_F18, 129}, {SDL_SCANCODE_F19, 130}, {SDL_SCANCODE_F20, 131},
    {SDL_SCANCODE_F21, 132}, {SDL_SCANCODE_F22, 133}, {SDL_SCANCODE_F23, 134}, {SDL_SCANCODE_F24, 135},
    // navigation block
    {SDL_SCANCODE_PRINTSCREEN, 44}, {SDL_SCANCODE_PAUSE, 19}, {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_HOME, 36}, {SDL_SCANCODE_PAGEUP, 33}, {SDL_SCANCODE_DELETE, 46}, {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_PAGEDOWN, 34}, {SDL_SCANCODE_RIGHT, 39}, {SDL_SCANCODE_LEFT, 37},
    {SDL_SCANCODE_DOWN, 40}, {SDL_SCANCODE_UP, 38},
    // keypad
    {SDL_SCANCODE_KP_DIVIDE, 111}, {SDL_SCANCODE_KP_MULTIPLY, 106}, {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PLUS, 107}, {SDL_SCANCODE_KP_ENTER, 13}, {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_COMMA, 108}, {SDL_SCANCODE_KP_0, 96}, {SDL_SCANCODE_KP_1, 97},
    {SDL_SCANCODE_KP_2, 98}, {SDL_SCANCODE_KP_3, 99}, {SDL_SCANCODE_KP_4, 100}, {SDL_SCANCODE_KP_5, 101},
    {SDL_SCANCODE_KP_6, 102}, {SDL_SCANCODE_KP_7, 103}, {SDL_SCANCODE_KP_8, 104}, {SDL_SCANCODE_KP_9, 105},
    // modifiers: always the sided codes
    {SDL_SCANCODE_LSHIFT, kVkLeftShift}, {SDL_SCANCODE_RSHIFT, kVkRightShift},
    {SDL_SCANCODE_LCTRL, kVkLeftControl}, {SDL_SCANCODE_RCTRL, kVkRightControl},
    {SDL_SCANCODE_LALT, kVkLeftAlt}, {SDL_SCANCODE_RALT, kVkRightAlt},
    {SDL_SCANCODE_LGUI, kVkLeftWindows}, {SDL_SCANCODE_RGUI, kVkRightWindows},
    {SDL_SCANCODE_APPLICATION, 93}, {SDL_SCANCODE_MENU, 93},
    // system and media keys
    {SDL_SCANCODE_SELECT, 41}, {SDL_SCANCODE_EXECUTE, 43}, {SDL_SCANCODE_HELP, 47}, {SDL_SCANCODE_SLEEP, 95},
    {SDL_SCANCODE_MUTE, 173}, {SDL_SCANCODE_AUDIOMUTE, 173}, {SDL_SCANCODE_VOLUMEDOWN, 174},
    {SDL_SCANCODE_VOLUMEUP, 175}, {SDL_SCANCODE_AUDIONEXT, 176}, {SDL_SCANCODE_AUDIOPREV, 177},
    {SDL_SCANCODE_AUDIOSTOP, 178}, {SDL_SCANCODE_STOP, 178}, {SDL_SCANCODE_AUDIOPLAY, 179},
    {SDL_SCANCODE_MAIL, 180}, {SDL_SCANCODE_MEDIASELECT, 181}, {SDL_SCANCODE_COMPUTER, 182},
    {SDL_SCANCODE_CALCULATOR, 183}, {SDL_SCANCODE_AC_BACK, 166}, {SDL_SCANCODE_AC_FORWARD, 167},
    {SDL_SCANCODE_AC_REFRESH, 168}, {SDL_SCANCODE_AC_STOP, 169}, {SDL_SCANCODE_AC_SEARCH, 170},
    {SDL_SCANCODE_AC_BOOKMARKS, 171}, {SDL_SCANCODE_AC_HOME, 172},
};
// clang-format on

constexpr std::array<unsigned char, SDL_NUM_SCANCODES> build_table() {
  std::array<unsigned char, SDL_NUM_SCANCODES> t{};
  for (auto [sc, vk] : kPairs) t[sc] = static_cast<unsigned char>(vk);
  return t;
}

constexpr auto kTable = build_table();

// The keypad with NumLock off: Insert, End, Down, Page Down, Left, Clear, Right, Home, Up,
// Page Up and Delete.
constexpr std::pair<int, int> kKeypadNavigation[] = {
    {SDL_SCANCODE_KP_0, 45}, {SDL_SCANCODE_KP_1, 35},      {SDL_SCANCODE_KP_2, 40},
    {SDL_SCANCODE_KP_3, 34}, {SDL_SCANCODE_KP_4, 37},      {SDL_SCANCODE_KP_5, 12},
    {SDL_SCANCODE_KP_6, 39}, {SDL_SCANCODE_KP_7, 36},      {SDL_SCANCODE_KP_8, 38},
    {SDL_SCANCODE_KP_9, 33}, {SDL_SCANCODE_KP_PERIOD, 46},
};

// No scancode may ever produce the generic shift, control or alt codes.
constexpr bool no_generic_modifiers() {
  for (auto v : kTable)
    if (v == kVkShift || v == kVkControl || v == kVkAlt) return false;
  return true;
}
static_assert(no_generic_modifiers());

}  // namespace

int scancode_to_vk(int scancode, bool numlock) {
  if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) return 0;
  if (!numlock)
    for (auto [sc, vk] : kKeypadNavigation)
      if (sc == scancode) return vk;
  return kTable[scancode];
}
