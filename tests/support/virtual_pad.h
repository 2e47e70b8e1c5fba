#pragma once
// An SDL virtual joystick, read through the same sampling path as a real one: plugged in
// when made (SDL's joystick subsystem must be up), pulled out when unplugged or destroyed.
#include <SDL.h>

class virtual_pad {
 public:
  virtual_pad(int axes, int buttons, int hats) {
    const int index =
        SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, axes, buttons, hats);
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
