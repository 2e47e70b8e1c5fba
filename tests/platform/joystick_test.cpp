// Joysticks: SDL virtual devices read through the sampling queries.
#include <gtest/gtest.h>

#include <bitset>

#include "platform/joystick.h"
#include "virtual_pad.h"

namespace {

class Joystick : public ::testing::Test {
 protected:
  void SetUp() override {
    // Real devices on the test machine would take port 0.
    joystick_count();
    if (SDL_NumJoysticks() != 0) GTEST_SKIP() << "a joystick is attached";
  }
};

// First in the file: the port table only grows within one process.
TEST_F(Joystick, NoJoystickReadsZeros) {
  EXPECT_EQ(joystick_count(), 0);
  for (int port : {0, 1, 15}) {
    EXPECT_EQ(joy_x(port), 0.0f);
    EXPECT_EQ(joy_y(port), 0.0f);
    EXPECT_EQ(joy_hat(port), 0.0f);
    EXPECT_EQ(joy_down(0, port), 0);
    EXPECT_EQ(joy_hits(2, port), 0);
    EXPECT_EQ(joy_name(port), "");
  }
}

TEST_F(Joystick, EndStopsReadExactlyMinusOneAndOne) {
  virtual_pad pad(6, 16, 1);
  ASSERT_TRUE(pad.ok()) << SDL_GetError();
  EXPECT_EQ(joystick_count(), 1);
  pad.axis(0, -32768);
  pad.axis(1, 32767);
  EXPECT_EQ(joy_x(0), -1.0f);
  EXPECT_EQ(joy_y(0), 1.0f);
  pad.axis(0, -32440);  // about -0.99: not a press of left
  pad.axis(1, 32767);
  EXPECT_NE(joy_x(0), -1.0f);
  EXPECT_NEAR(joy_x(0), -0.99f, 0.001f);
  EXPECT_EQ(joy_y(0), 1.0f);
  pad.axis(5, 32767);
  EXPECT_EQ(joy_v(0), 1.0f);
  EXPECT_EQ(std::bitset<16>(joy_axis_caps(0)), std::bitset<16>("0000001000111111"));  // hat, v..x

  pad.hat(SDL_HAT_CENTERED);
  EXPECT_EQ(joy_hat(0), -1.0f);
  pad.hat(SDL_HAT_UP);
  EXPECT_EQ(joy_hat(0), 0.0f);
  pad.hat(SDL_HAT_LEFTUP);
  EXPECT_EQ(joy_hat(0), 0.875f);
}

TEST_F(Joystick, HeldButtonGivesOneHit) {
  virtual_pad pad(2, 16, 0);
  ASSERT_TRUE(pad.ok()) << SDL_GetError();
  joystick_count();
  pad.button(2, true);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(joy_down(2, 0), 1);
  EXPECT_EQ(joy_hits(2, 0), 1);
  EXPECT_EQ(joy_hits(2, 0), 0);
  pad.button(2, false);
  EXPECT_EQ(joy_down(2, 0), 0);
  pad.button(2, true);
  EXPECT_EQ(joy_down(2, 0), 1);
  pad.button(2, false);
  EXPECT_EQ(joy_down(2, 0), 0);
  pad.button(15, true);
  EXPECT_EQ(joy_hits(2, 0), 1);
  EXPECT_EQ(joy_hits(15, 0), 1);
  EXPECT_EQ(std::bitset<32>(joy_buttons(0)), std::bitset<32>(1u << 15));
}

TEST_F(Joystick, PortsAndButtonsBeyondFifteenAreRefused) {
  virtual_pad pad(2, 20, 0);
  ASSERT_TRUE(pad.ok()) << SDL_GetError();
  pad.button(16, true);
  pad.button(0, true);
  EXPECT_EQ(joy_down(0, 0), 1);
  EXPECT_EQ(joy_down(16, 0), 0);
  EXPECT_EQ(joy_hits(16, 0), 0);
  EXPECT_EQ(joy_down(-1, 0), 0);
  EXPECT_EQ(joy_down(0, 16), 0);
  EXPECT_EQ(joy_hits(0, -1), 0);
  EXPECT_EQ(joy_down(0, 300), 0);
  EXPECT_EQ(joy_x(16), 0.0f);
  EXPECT_EQ(joy_x(-3), 0.0f);
}

TEST_F(Joystick, PadsJoinWhenPluggedAndRestWhenPulled) {
  virtual_pad first(2, 4, 1);
  ASSERT_TRUE(first.ok()) << SDL_GetError();
  first.axis(0, 32767);
  first.button(0, true);
  EXPECT_EQ(joy_x(0), 1.0f);
  EXPECT_EQ(joy_down(0, 0), 1);

  virtual_pad second(2, 4, 0);  // plugged in later: next port
  ASSERT_TRUE(second.ok());
  second.axis(1, -32768);
  EXPECT_EQ(joy_y(1), -1.0f);
  EXPECT_EQ(joystick_count(), 2);

  first.unplug();  // its port reads the initial values, not the last ones
  EXPECT_EQ(joy_x(0), 0.0f);
  EXPECT_EQ(joy_down(0, 0), 0);
  EXPECT_EQ(joy_hat(0), 0.0f);
  EXPECT_EQ(joy_y(1), -1.0f);  // the other pad keeps its port
  EXPECT_EQ(joystick_count(), 1);

  virtual_pad third(2, 4, 0);  // takes the freed port
  ASSERT_TRUE(third.ok());
  third.axis(0, -32768);
  EXPECT_EQ(joy_x(0), -1.0f);
  EXPECT_EQ(joystick_count(), 2);
}

}  // namespace

TEST_F(Joystick, APadSteersByDPadOrStickPastHalfAndNamesItsButtons) {
  virtual_pad pad(2, 15, 0, SDL_JOYSTICK_TYPE_GAMECONTROLLER);
  ASSERT_TRUE(pad.ok()) << SDL_GetError();
  const struct {
    int button;  // held, besides the stick
    Sint16 stick_y;
    float x, y;
    int mask;
  } cases[] = {
      {-1, 16383, 0, 0.5f, 0},                           // half its travel: its own value
      {-1, -16385, 0, -1, 0},                            // just past: the end stop
      {SDL_CONTROLLER_BUTTON_DPAD_UP, 32767, 0, -1, 0},  // the D-pad wins over the stick
      {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0, 0, 1, 0},
      {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0, -1, 0, 0},
      {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0, 1, 0, 0},
      {SDL_CONTROLLER_BUTTON_A, 0, 0, 0, 1},
      {SDL_CONTROLLER_BUTTON_B, 0, 0, 0, 2},
      {SDL_CONTROLLER_BUTTON_X, 0, 0, 0, 4},
      {SDL_CONTROLLER_BUTTON_Y, 0, 0, 0, 8},
      {SDL_CONTROLLER_BUTTON_START, 0, 0, 0, 4 | 128},  // pauses as X does
  };
  auto tolerance = [](float v) { return v == 1 || v == -1 ? 0.0f : 1e-4f; };  // stops exactly
  for (const auto& c : cases) {
    pad.axis(1, c.stick_y);
    if (c.button >= 0) pad.button(c.button, true);
    EXPECT_NEAR(joy_x(0), c.x, tolerance(c.x)) << c.button;
    EXPECT_NEAR(joy_y(0), c.y, tolerance(c.y)) << c.button;
    EXPECT_EQ(joy_buttons(0), c.mask) << c.button;
    if (c.button >= 0) pad.button(c.button, false);
  }
  EXPECT_EQ(joy_hits(2, 0), 2);
  pad.button(SDL_CONTROLLER_BUTTON_START, true);
  pad.unplug();  // pulled out with a button down: at rest
  EXPECT_EQ(joy_down(2, 0), 0);
}
