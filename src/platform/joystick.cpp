// Joysticks over SDL's joystick API, and pads SDL knows as game controllers over its
// game controller API. Each query samples the device on the spot; there is no event path.
#include "platform/joystick.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace {

constexpr int kStatePorts = 16;  // ports with state tables
constexpr int kMaxPorts = 256;   // entries of the port table
constexpr int kHitButtons = 16;
constexpr int kMaskButtons = 32;  // bits of the held mask
// Axis slots: x, y, z, r, u, v first, the hat at 9.
enum Axis { kAxisX, kAxisY, kAxisZ, kAxisR, kAxisU, kAxisV, kStickAxes, kHatAxis = 9 };
constexpr int kAxisSlots = 16;

struct PortState {
  std::uint32_t buttons = 0;
  std::array<float, kAxisSlots> axes{};
  std::array<int, kHitButtons> hits{};
};

struct Port {
  SDL_JoystickID id = -1;
  SDL_Joystick* joy = nullptr;        // nullptr once the device has gone
  SDL_GameController* pad = nullptr;  // set for a device read as a game controller
};

std::array<PortState, kStatePorts> g_state;
std::vector<Port> g_ports;
int g_init = 0;  // 0 not tried, 1 running, -1 unavailable

bool ensure_init() {
  if (g_init == 0) {
    // The pad is read whatever window has the focus, as the game always did.
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    // Starts the joysticks too, with SDL's controller mappings and the player's own.
    g_init = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0 ? 1 : -1;
    // We sample; SDL need not queue joystick events nobody takes.
    if (g_init == 1) {
      SDL_JoystickEventState(SDL_IGNORE);
      SDL_GameControllerEventState(SDL_IGNORE);
    }
  }
  return g_init == 1;
}

void drop_port(std::size_t p) {
  if (g_ports[p].pad) SDL_GameControllerClose(g_ports[p].pad);
  else SDL_JoystickClose(g_ports[p].joy);
  g_ports[p].joy = nullptr;
  g_ports[p].pad = nullptr;
  // A pulled-out pad leaves its port at rest, not frozen at its last reading.
  if (p < kStatePorts) g_state[p] = PortState{};
}

bool has_device(SDL_JoystickID id) {
  for (const Port& port : g_ports)
    if (port.joy && port.id == id) return true;
  return false;
}

// Drops ports whose device has gone and gives new devices a port: the first freed
// one, else a new one at the end.
void refresh_devices() {
  for (std::size_t p = 0; p < g_ports.size(); ++p)
    if (g_ports[p].joy && !SDL_JoystickGetAttached(g_ports[p].joy)) drop_port(p);
  const int n = SDL_NumJoysticks();
  for (int i = 0; i < n; ++i) {
    SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(i);
    if (id < 0 || has_device(id)) continue;
    std::size_t p = 0;
    while (p < g_ports.size() && g_ports[p].joy) ++p;
    if (p == g_ports.size()) {
      if (g_ports.size() >= kMaxPorts) continue;
      g_ports.push_back(Port{});
    }
    SDL_GameController* pad = SDL_IsGameController(i) ? SDL_GameControllerOpen(i) : nullptr;
    SDL_Joystick* joy = pad ? SDL_GameControllerGetJoystick(pad) : SDL_JoystickOpen(i);
    if (!joy) continue;
    g_ports[p].id = id;
    g_ports[p].joy = joy;
    g_ports[p].pad = pad;
    if (p < kStatePorts) g_state[p] = PortState{};
  }
}

float axis_value(Sint16 raw) {
  // -32768..32767 onto -1..1 with both end stops exact.
  return static_cast<float>((raw + 32768) * 2.0 / 65535.0 - 1.0);
}

float hat_value(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP: return 0.0f;
    case SDL_HAT_RIGHTUP: return 0.125f;
    case SDL_HAT_RIGHT: return 0.25f;
    case SDL_HAT_RIGHTDOWN: return 0.375f;
    case SDL_HAT_DOWN: return 0.5f;
    case SDL_HAT_LEFTDOWN: return 0.625f;
    case SDL_HAT_LEFT: return 0.75f;
    case SDL_HAT_LEFTUP: return 0.875f;
    default: return -1.0f;  // centred
  }
}

// A pad's buttons on the numbers a raw reading of a common pad gives (A 0, B 1, X 2,
// Y 3, shoulders 4 and 5, Back 6, Start 7, Guide 8, stick clicks 9 and 10); Start
// also holds button 2, which pauses.
struct PadButton {
  SDL_GameControllerButton button;
  std::uint32_t bits;
};
constexpr PadButton kPadButtons[] = {
    {SDL_CONTROLLER_BUTTON_A, 1u << 0},
    {SDL_CONTROLLER_BUTTON_B, 1u << 1},
    {SDL_CONTROLLER_BUTTON_X, 1u << 2},
    {SDL_CONTROLLER_BUTTON_Y, 1u << 3},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 1u << 4},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 1u << 5},
    {SDL_CONTROLLER_BUTTON_BACK, 1u << 6},
    {SDL_CONTROLLER_BUTTON_START, (1u << 7) | (1u << 2)},
    {SDL_CONTROLLER_BUTTON_GUIDE, 1u << 8},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, 1u << 9},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, 1u << 10},
};
// Also in the raw order: left stick, left trigger, right stick, right trigger.
constexpr SDL_GameControllerAxis kPadAxes[kStickAxes] = {
    SDL_CONTROLLER_AXIS_LEFTX,  SDL_CONTROLLER_AXIS_LEFTY,  SDL_CONTROLLER_AXIS_TRIGGERLEFT,
    SDL_CONTROLLER_AXIS_RIGHTX, SDL_CONTROLLER_AXIS_RIGHTY, SDL_CONTROLLER_AXIS_TRIGGERRIGHT};

bool is_trigger(SDL_GameControllerAxis a) {
  return a == SDL_CONTROLLER_AXIS_TRIGGERLEFT || a == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
}

// The game turns and climbs only at the end stops: a D-pad direction, or the stick
// past half its travel, is the end stop; otherwise the stick's own value.
float steer(float stick, bool minus, bool plus) {
  if (minus != plus) return minus ? -1.0f : 1.0f;
  if (stick > 0.5f) return 1.0f;
  if (stick < -0.5f) return -1.0f;
  return stick;
}

std::uint32_t sample_pad(SDL_GameController* pad, PortState& st) {
  std::uint32_t mask = 0;
  for (const PadButton& b : kPadButtons)
    if (SDL_GameControllerGetButton(pad, b.button)) mask |= b.bits;

  auto held = [pad](SDL_GameControllerButton b) {
    return SDL_GameControllerGetButton(pad, b) != 0;
  };
  const bool up = held(SDL_CONTROLLER_BUTTON_DPAD_UP), down = held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
  const bool left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
  const bool right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
  for (int a = 0; a < kStickAxes; ++a) {
    const Sint16 raw = SDL_GameControllerGetAxis(pad, kPadAxes[a]);
    // Triggers rest at 0 in SDL's reading; raw they rest at -1.
    st.axes[a] = is_trigger(kPadAxes[a]) ? raw / 32767.0f * 2.0f - 1.0f : axis_value(raw);
  }
  st.axes[kAxisX] = steer(st.axes[kAxisX], left, right);
  st.axes[kAxisY] = steer(st.axes[kAxisY], up, down);
  Uint8 hat = SDL_HAT_CENTERED;
  if (up != down) hat |= up ? SDL_HAT_UP : SDL_HAT_DOWN;
  if (left != right) hat |= left ? SDL_HAT_LEFT : SDL_HAT_RIGHT;
  st.axes[kHatAxis] = hat_value(hat);
  return mask;
}

std::uint32_t sample_raw(SDL_Joystick* joy, PortState& st) {
  std::uint32_t mask = 0;
  const int nb = SDL_JoystickNumButtons(joy);
  for (int b = 0; b < nb && b < kMaskButtons; ++b)
    if (SDL_JoystickGetButton(joy, b)) mask |= 1u << b;

  const int na = SDL_JoystickNumAxes(joy);
  for (int a = 0; a < na && a < kStickAxes; ++a)
    st.axes[a] = axis_value(SDL_JoystickGetAxis(joy, a));
  if (SDL_JoystickNumHats(joy) > 0) st.axes[kHatAxis] = hat_value(SDL_JoystickGetHat(joy, 0));
  return mask;
}

// Reads the device of a port into its state; false for a port beyond the tables.
bool sample(int port) {
  if (port < 0 || port >= kStatePorts) return false;
  if (!ensure_init()) return true;
  SDL_JoystickUpdate();
  refresh_devices();
  if (static_cast<std::size_t>(port) >= g_ports.size() || !g_ports[port].joy) return true;
  const Port& dev = g_ports[port];
  PortState& st = g_state[port];
  const std::uint32_t before = st.buttons;
  const std::uint32_t mask = dev.pad ? sample_pad(dev.pad, st) : sample_raw(dev.joy, st);
  st.buttons = mask;

  for (int b = 0; b < kHitButtons; ++b) {
    const std::uint32_t bit = 1u << b;
    if (!(before & bit) && (mask & bit)) ++st.hits[b];
  }
  return true;
}

float axis(int port, int index) { return sample(port) ? g_state[port].axes[index] : 0.0f; }

// The port's device; nullptr when none is there.
const Port* device(int port) {
  if (port < 0 || port >= kStatePorts || !ensure_init()) return nullptr;
  SDL_JoystickUpdate();
  refresh_devices();
  if (static_cast<std::size_t>(port) >= g_ports.size() || !g_ports[port].joy) return nullptr;
  return &g_ports[port];
}

}  // namespace

int joystick_count() {
  if (!ensure_init()) return 0;
  SDL_JoystickUpdate();
  refresh_devices();
  // A pulled-out pad keeps its port for its return, but is no longer counted.
  return static_cast<int>(
      std::count_if(g_ports.begin(), g_ports.end(), [](const Port& p) { return p.joy; }));
}

int joy_down(int button, int port) {
  if (button < 0 || button >= kHitButtons || !sample(port)) return 0;
  return (g_state[port].buttons >> button) & 1;
}

int joy_hits(int button, int port) {
  if (button < 0 || button >= kHitButtons || !sample(port)) return 0;
  int n = g_state[port].hits[button];
  g_state[port].hits[button] = 0;
  return n;
}

float joy_x(int port) { return axis(port, kAxisX); }
float joy_y(int port) { return axis(port, kAxisY); }
float joy_z(int port) { return axis(port, kAxisZ); }
float joy_r(int port) { return axis(port, kAxisR); }
float joy_u(int port) { return axis(port, kAxisU); }
float joy_v(int port) { return axis(port, kAxisV); }
float joy_hat(int port) { return axis(port, kHatAxis); }

int joy_buttons(int port) { return sample(port) ? static_cast<int>(g_state[port].buttons) : 0; }

std::string joy_name(int port) {
  const Port* dev = device(port);
  if (!dev) return "";
  const char* name = dev->pad ? SDL_GameControllerName(dev->pad) : SDL_JoystickName(dev->joy);
  return name ? name : "";
}

int joy_button_caps(int port) {
  const Port* dev = device(port);
  if (!dev) return 0;
  if (dev->pad) {
    std::uint32_t mask = 0;
    for (const PadButton& b : kPadButtons)
      if (SDL_GameControllerHasButton(dev->pad, b.button)) mask |= b.bits;
    return static_cast<int>(mask);
  }
  const int n = SDL_JoystickNumButtons(dev->joy);
  if (n <= 0) return 0;
  return n >= kMaskButtons ? -1 : static_cast<int>((1u << n) - 1);
}

int joy_axis_caps(int port) {
  const Port* dev = device(port);
  if (!dev) return 0;
  int mask = 0;
  if (dev->pad) {
    for (int a = 0; a < kStickAxes; ++a)
      if (SDL_GameControllerHasAxis(dev->pad, kPadAxes[a])) mask |= 1 << a;
    // The D-pad alone steers x and y, and shows as the hat.
    if (SDL_GameControllerHasButton(dev->pad, SDL_CONTROLLER_BUTTON_DPAD_LEFT) ||
        SDL_GameControllerHasButton(dev->pad, SDL_CONTROLLER_BUTTON_DPAD_UP))
      mask |= 1 << kAxisX | 1 << kAxisY | 1 << kHatAxis;
    return mask;
  }
  const int n = SDL_JoystickNumAxes(dev->joy);
  for (int a = 0; a < n && a < kStickAxes; ++a) mask |= 1 << a;
  if (SDL_JoystickNumHats(dev->joy) > 0) mask |= 1 << kHatAxis;
  return mask;
}
