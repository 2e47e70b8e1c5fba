#pragma once
// An SDL virtual joystick or pad, read through the same sampling path as a real one: plugged in
// when made (SDL's joystick subsystem must be up), pulled out when unplugged or destroyed.
#include <SDL.h>

class virtual_pad {
 public:
  // A plain joystick is read raw. One typed as a game controller gets SDL's mapping of
  // its buttons in the order of SDL's names (A, B, X, Y, Back, Guide, Start, the stick
  // clicks, the shoulders, D-pad up, down, left, right) and its axes (left x, y, ...).
  virtual_pad(int axes, int buttons, int hats, SDL_JoystickType type = SDL_JOYSTICK_TYPE_UNKNOWN) {
    const int index = SDL_JoystickAttachVirtual(type, axes, buttons, hats);
    if (index >= 0) joy_ = SDL_JoystickOpen(index);
  }
  ~virtual_pad() { unplug(); }
  virtual_pad(const virtual_pad&) = delete;
  virtual_pad& operator=(const virtual_pad&) = delete;

  bool ok() const { return joy_ != nullptr; }
  void axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(joy_, a, v); }
  void button(int b, bool down) { SDL_JoystickSetVirtualButton(joy_, b, down ? 1 : 0); }
  void hat(Uint8 v) { SDL_JoystickSetVirtualHat(joy_, 0, v); }
  void unplug() {
    if (!joy_) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joy_);
    SDL_JoystickClose(joy_);
    joy_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }

 private:
  SDL_Joystick* joy_ = nullptr;
};
