// A whole game by joystick alone: splash, menu pointer, flight, fire and pause, with a
// virtual pad read through the same sampling path as a real one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "game/game.h"
#include "harness.h"
#include "platform/input.h"
#include "virtual_pad.h"
#include "world/globals.h"
#include "world/joyread.h"
#include "world/player.h"
#include "world/scenery.h"

namespace {

// Just short of the end stops: 99% of the travel to either side.
constexpr Sint16 kNearMin = static_cast<Sint16>(-0.99 * 32768);
constexpr Sint16 kNearMax = static_cast<Sint16>(0.99 * 32767);

bool menu_text(rgb c) {
  return near_colour(c, 200, 120, 50, 12) || near_colour(c, 240, 180, 80, 12);
}

struct snapshot {
  int dir = -1, mspd = 0, state = 0, phase = -1, lives = 0;
  float x = 0, y = 0;
  std::size_t shots = 0;
};

snapshot now() {
  return {player->dir,   mountains->mspd, game_state, play_phase,
          player->lives, player->x,       player->y,  pshot_list.count()};
}

}  // namespace

TEST(JoystickPlay, AWholeJourneyWithThePadAlone) {
  game_dir dir;
  game_run run;
  std::optional<virtual_pad> pad;  // plugged in once the program has started SDL
  int splash_left_at = 0;
  std::vector<std::pair<int, int>> pointer;  // after the splash, out, short of the stops, back
  snapshot in_control, turned_left, slid, centred, turned_right, near_left, near_up, hat_left, up,
      down, fired, held, released, fired_again, paused, resumed;
  int paused_menu_pixels = 0;
  std::string paused_item;
  auto pointer_then = [&](Sint16 stick) {
    return [&, stick] {
      pointer.emplace_back(mouse_x(), mouse_y());
      pad->axis(0, stick);
      pad->axis(1, stick);
    };
  };

  run.then([&] { ASSERT_TRUE(pad.emplace(2, 3, 1).ok()) << SDL_GetError(); })
      .then([&] { pad->button(joy_fire_button, true); })
      .then([&] { pad->button(joy_fire_button, false); })
      .until([&] { return first_run == 0; })
      .then([&] { splash_left_at = run.frames; })
      // Right and down, off the first row; short of the other stops; back left and up.
      .then(pointer_then(SDL_JOYSTICK_AXIS_MAX))
      .wait(9)
      .then(pointer_then(kNearMin))
      .wait(2)
      .then(pointer_then(SDL_JOYSTICK_AXIS_MIN))
      .wait(9)
      .then(pointer_then(0))
      // The pointer now rests on "Start Game" again, where the pause put it too.
      .then([&] { pad->button(joy_fire_button, true); })
      .then([&] { pad->button(joy_fire_button, false); })
      .until([] { return game_state == state_play && play_phase == phase_in_control; })
      .then([&] {
        in_control = now();
        pad->axis(0, SDL_JOYSTICK_AXIS_MIN);
      })
      .then([&] { turned_left = now(); })
      .wait(4)
      .then([&] {
        slid = now();
        pad->axis(0, 0);
      })
      .wait(2)
      .then([&] {
        centred = now();
        pad->axis(0, SDL_JOYSTICK_AXIS_MAX);
      })
      .then([&] {
        turned_right = now();
        pad->axis(0, kNearMin);
      })
      .wait(3)
      .then([&] {
        near_left = now();
        pad->axis(0, 0);
        pad->axis(1, kNearMin);
      })
      .wait(3)
      .then([&] {
        near_up = now();
        pad->axis(1, 0);
        pad->hat(SDL_HAT_LEFT);  // the hat steers nothing
      })
      .wait(3)
      .then([&] {
        hat_left = now();
        pad->hat(SDL_HAT_CENTERED);
        pad->axis(1, SDL_JOYSTICK_AXIS_MIN);
      })
      .wait(4)
      .then([&] {
        up = now();
        pad->axis(1, SDL_JOYSTICK_AXIS_MAX);
      })
      .wait(4)
      .then([&] {
        down = now();
        pad->axis(1, 0);
      })
      .then([&] { pad->button(joy_fire_button, true); })
      .then([&] { fired = now(); })
      .wait(3)
      .then([&] {
        held = now();
        pad->button(joy_fire_button, false);
      })
      .wait(2)
      .then([&] {
        released = now();
        pad->button(joy_fire_button, true);
      })
      .then([&] {
        fired_again = now();
        pad->button(joy_fire_button, false);
      })
      .then([&] { pad->button(joy_pause_button, true); })
      .then([&] {
        paused = now();
        paused_item = menu_item_text(0);
        pad->button(joy_pause_button, false);
      })
      .wait(3)
      .then([&] {
        paused_menu_pixels = screen_shot().count(150, 225, 490, 410, menu_text);
        pad->button(joy_pause_button, true);
      })
      .then([&] {
        resumed = now();
        pad->button(joy_pause_button, false);
        pad.reset();
      });
  run.on_loop_end = [&] { pad.reset(); };

  EXPECT_EQ(run.run(), 0);

  // Button 0 ended the splash long before its fade would have.
  EXPECT_LT(splash_left_at, 60);

  // Ten menu passes at each end stop, six pixels each, on both axes at once; none short
  // of the stops.
  ASSERT_EQ(pointer.size(), 4u);
  const auto [x0, y0] = pointer[0];
  EXPECT_EQ(pointer, (std::vector<std::pair<int, int>>{
                         {x0, y0}, {x0 + 60, y0 + 60}, {x0 + 60, y0 + 60}, {x0, y0}}));

  // Button 0 on "Start Game" began a new game.
  EXPECT_EQ(in_control.state, state_play);
  EXPECT_EQ(in_control.dir, 1);
  EXPECT_EQ(in_control.x, 200.0f);
  EXPECT_EQ(in_control.y, 200.0f);
  EXPECT_EQ(in_control.lives, 3);

  // Full left turns the plane and the scroll; it then slides 6 pixels a pass.
  EXPECT_EQ(turned_left.dir, 0);
  EXPECT_EQ(turned_left.mspd, 4);
  EXPECT_EQ(turned_left.x, 206.0f);
  EXPECT_EQ(slid.dir, 0);
  EXPECT_EQ(slid.x, 236.0f);
  // Letting go keeps the heading.
  EXPECT_EQ(centred.dir, 0);
  EXPECT_EQ(centred.x, 254.0f);
  // Full right turns it back, and it slides home at once.
  EXPECT_EQ(turned_right.dir, 1);
  EXPECT_EQ(turned_right.mspd, -4);
  EXPECT_EQ(turned_right.x, 248.0f);

  // 99% of the travel is not an end stop: no turn, no climb.
  EXPECT_EQ(near_left.dir, 1);
  EXPECT_EQ(near_left.mspd, -4);
  EXPECT_EQ(near_left.y, 200.0f);
  EXPECT_EQ(near_up.dir, 1);
  EXPECT_EQ(near_up.y, 200.0f);
  EXPECT_EQ(hat_left.dir, 1);
  EXPECT_EQ(hat_left.y, 200.0f);

  // Full up and down: two pixels a pass, five passes each.
  EXPECT_EQ(up.y, 190.0f);
  EXPECT_EQ(down.y, 200.0f);

  // Button 0 fires once per press, however long it is held.
  EXPECT_EQ(fired.shots, down.shots + 1);
  EXPECT_EQ(held.shots, fired.shots);
  EXPECT_EQ(released.shots, fired.shots);
  EXPECT_EQ(fired_again.shots, fired.shots + 1);

  // Button 2 pauses into the menu and resumes where play stopped.
  EXPECT_EQ(paused.state, state_pause_menu);
  EXPECT_EQ(paused_item, "Resume Game");
  EXPECT_GT(paused_menu_pixels, 200);
  EXPECT_EQ(resumed.state, state_play);
  EXPECT_EQ(resumed.phase, phase_in_control);
  EXPECT_EQ(resumed.dir, paused.dir);
  EXPECT_EQ(resumed.y, paused.y);
}
