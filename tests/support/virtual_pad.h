#pragma once
// SDL virtual joysticks, read through the same sampling path as real ones: plugged in
// when made (SDL's joystick subsystem must be up), pulled out when unplugged or destroyed.
#include <SDL.h>

#include <bit>

class virtual_pad {
 public:
  // A plain joystick, which SDL knows no mapping for: read raw.
  virtual_pad(int axes, int buttons, int hats, Uint16 vendor = 0, Uint16 product = 0) {
    SDL_VirtualJoystickDesc desc = base_desc();
    desc.naxes = static_cast<Uint16>(axes);
    desc.nbuttons = static_cast<Uint16>(buttons);
    desc.nhats = static_cast<Uint16>(hats);
    desc.vendor_id = vendor;
    desc.product_id = product;
    attach(desc);
  }
  ~virtual_pad() { unplug(); }
  virtual_pad(const virtual_pad&) = delete;
  virtual_pad& operator=(const virtual_pad&) = delete;

  // A pad described as a game controller (A, B, X, Y, Start, the D-pad and the left
  // stick), which SDL gives a controller mapping of its own.
  struct controller {};
  explicit virtual_pad(controller) {
    SDL_VirtualJoystickDesc desc = base_desc();
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    buttons_ = 0;
    for (int b : {SDL_CONTROLLER_BUTTON_A, SDL_CONTROLLER_BUTTON_B, SDL_CONTROLLER_BUTTON_X,
                  SDL_CONTROLLER_BUTTON_Y, SDL_CONTROLLER_BUTTON_START,
                  SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
                  SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT})
      buttons_ |= 1u << b;
    axes_ = 1u << SDL_CONTROLLER_AXIS_LEFTX | 1u << SDL_CONTROLLER_AXIS_LEFTY;
    desc.button_mask = buttons_;
    desc.axis_mask = axes_;
    desc.nbuttons = static_cast<Uint16>(std::popcount(buttons_));
    desc.naxes = static_cast<Uint16>(std::popcount(axes_));
    attach(desc);
  }

  bool ok() const { return joy_ != nullptr; }
  // By the device's own numbers.
  void axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(joy_, a, v); }
  void button(int b, bool down) { SDL_JoystickSetVirtualButton(joy_, b, down ? 1 : 0); }
  void hat(Uint8 v) { SDL_JoystickSetVirtualHat(joy_, 0, v); }
  // A controller's by their names.
  void press(SDL_GameControllerButton b, bool down) { button(index(buttons_, b), down); }
  void stick(SDL_GameControllerAxis a, Sint16 v) { axis(index(axes_, a), v); }
  void unplug() {
    if (!joy_) return;
    const SDL_JoystickID id = SDL_JoystickInstanceID(joy_);
    SDL_JoystickClose(joy_);
    joy_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }

 private:
  static SDL_VirtualJoystickDesc base_desc() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    return desc;
  }
  void attach(const SDL_VirtualJoystickDesc& desc) {
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index >= 0) joy_ = SDL_JoystickOpen(index);
  }
  // The device numbers the present controls in order of their names.
  static int index(Uint32 present, int named) {
    return std::popcount(present & ((1u << named) - 1u));
  }

  SDL_Joystick* joy_ = nullptr;
  Uint32 buttons_ = 0, axes_ = 0;
};
