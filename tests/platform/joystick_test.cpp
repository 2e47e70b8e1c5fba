// Joysticks: SDL virtual devices read through the sampling queries.
#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>

#include "platform/joystick.h"
#include "virtual_pad.h"

namespace {

// A player's own mapping for a stick SDL does not know (vendor 1234, product 5678), its
// D-pad on the hat as most pads report theirs. SDL reads it when its joysticks start.
const bool mapped_by_player = [] {
  return setenv("SDL_GAMECONTROLLERCONFIG",
                "ff000000341200007856000000007600,Mapped Stick,a:b1,x:b0,start:b3,"
                "dpup:h0.1,dpright:h0.2,dpdown:h0.4,dpleft:h0.8,leftx:a0,lefty:a1,",
                1) == 0;
}();

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

namespace {

TEST_F(Joystick, APadSteersByDPadOrStickPastHalfAndNamesItsButtons) {
  virtual_pad pad{virtual_pad::controller{}};
  ASSERT_TRUE(pad.ok()) << SDL_GetError();
  const struct {
    SDL_GameControllerButton dpad;
    float x, y, hat;
  } dpad_cases[] = {{SDL_CONTROLLER_BUTTON_DPAD_LEFT, -1.0f, 0.0f, 0.75f},
                    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 1.0f, 0.0f, 0.25f},
                    {SDL_CONTROLLER_BUTTON_DPAD_UP, 0.0f, -1.0f, 0.0f},
                    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0.0f, 1.0f, 0.5f}};
  for (const auto& c : dpad_cases) {
    pad.press(c.dpad, true);
    EXPECT_NEAR(joy_x(0), c.x, c.x ? 0.0f : 0.001f) << c.dpad;
    EXPECT_NEAR(joy_y(0), c.y, c.y ? 0.0f : 0.001f) << c.dpad;
    EXPECT_EQ(joy_hat(0), c.hat) << c.dpad;
    pad.press(c.dpad, false);
  }
  EXPECT_EQ(joy_hat(0), -1.0f);

  // Up to half its travel the stick reads its own value; past it, the end stop.
  const struct {
    Sint16 raw;
    float reads;
  } stick_cases[] = {{0, 0.0f},     {13107, 0.4f},   {16383, 0.5f},   {16384, 1.0f},
                     {32767, 1.0f}, {-13107, -0.4f}, {-16385, -1.0f}, {-32768, -1.0f}};
  for (const auto& c : stick_cases) {
    pad.stick(SDL_CONTROLLER_AXIS_LEFTX, c.raw);
    pad.stick(SDL_CONTROLLER_AXIS_LEFTY, c.raw);
    const float tolerance = (c.reads == 1.0f || c.reads == -1.0f) ? 0.0f : 0.001f;
    EXPECT_NEAR(joy_x(0), c.reads, tolerance) << c.raw;
    EXPECT_NEAR(joy_y(0), c.reads, tolerance) << c.raw;
  }
  pad.stick(SDL_CONTROLLER_AXIS_LEFTX, 32767);  // the D-pad wins over the stick
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
  EXPECT_EQ(joy_x(0), -1.0f);
  pad.press(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);

  const struct {
    SDL_GameControllerButton button;
    unsigned mask;
  } button_cases[] = {{SDL_CONTROLLER_BUTTON_A, 1u << 0},
                      {SDL_CONTROLLER_BUTTON_B, 1u << 1},
                      {SDL_CONTROLLER_BUTTON_X, 1u << 2},
                      {SDL_CONTROLLER_BUTTON_Y, 1u << 3},
                      {SDL_CONTROLLER_BUTTON_START, 1u << 2 | 1u << 7}};
  for (const auto& c : button_cases) {
    for (int b = 0; b < 16; ++b) joy_hits(b, 0);
    pad.press(c.button, true);
    EXPECT_EQ(std::bitset<16>(joy_buttons(0)), std::bitset<16>(c.mask)) << c.button;
    for (int b = 0; b < 4; ++b) EXPECT_EQ(joy_hits(b, 0), (c.mask >> b) & 1) << c.button;
    pad.press(c.button, false);
    EXPECT_EQ(joy_buttons(0), 0);
  }
  // X held: Start adds no second press of button 2.
  pad.press(SDL_CONTROLLER_BUTTON_X, true);
  EXPECT_EQ(joy_hits(2, 0), 1);
  pad.press(SDL_CONTROLLER_BUTTON_START, true);
  EXPECT_EQ(joy_hits(2, 0), 0);
  EXPECT_EQ(std::bitset<16>(joy_button_caps(0)), std::bitset<16>("0000000010001111"));

  // Pulled out with buttons down: at rest; back in: read at once.
  pad.unplug();
  EXPECT_EQ(joy_x(0), 0.0f);
  EXPECT_EQ(joy_down(2, 0), 0);
  virtual_pad again{virtual_pad::controller{}};
  ASSERT_TRUE(again.ok());
  again.press(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  EXPECT_EQ(joy_y(0), -1.0f);
}

TEST_F(Joystick, APlayersMappingMakesAStickAPad) {
  ASSERT_TRUE(mapped_by_player);
  virtual_pad stick(2, 4, 1, 0x1234, 0x5678);
  ASSERT_TRUE(stick.ok()) << SDL_GetError();
  EXPECT_EQ(joy_name(0), "Mapped Stick");
  stick.hat(SDL_HAT_LEFT);
  EXPECT_EQ(joy_x(0), -1.0f);
  stick.hat(SDL_HAT_CENTERED);
  stick.button(3, true);  // Start
  EXPECT_EQ(joy_hits(2, 0), 1);
  stick.button(1, true);  // A
  EXPECT_EQ(joy_down(0, 0), 1);
}

}  // namespace
