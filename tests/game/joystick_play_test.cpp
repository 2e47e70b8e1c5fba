// A whole game by joystick alone: splash, menu pointer, flight, fire and pause, with a
// virtual pad read through the same sampling path as a real one.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "game/game.h"
#include "harness.h"
#include "platform/input.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/scenery.h"

namespace {

// Two axes, three buttons and a hat: the smallest pad the game can be played with.
class virtual_pad {
public:
    void attach() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 1);
        if (index >= 0) pad_ = SDL_JoystickOpen(index);
        ASSERT_NE(pad_, nullptr) << SDL_GetError();
    }
    void axis(int a, Sint16 v) { SDL_JoystickSetVirtualAxis(pad_, a, v); }
    void button(int b, bool down) { SDL_JoystickSetVirtualButton(pad_, b, down ? 1 : 0); }
    void hat(Uint8 v) { SDL_JoystickSetVirtualHat(pad_, 0, v); }
    void centre() {
        axis(0, 0);
        axis(1, 0);
    }
    void detach() {
        if (!pad_) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(pad_);
        SDL_JoystickClose(pad_);
        pad_ = nullptr;
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }

private:
    SDL_Joystick* pad_ = nullptr;
};

// Just short of the end stops: 99% of the travel to either side.
constexpr Sint16 kNearMin = static_cast<Sint16>(-0.99 * 32768);
constexpr Sint16 kNearMax = static_cast<Sint16>(0.99 * 32767);

bool menu_text(rgb c) { return near_colour(c, 200, 120, 50, 12) || near_colour(c, 240, 180, 80, 12); }

struct snapshot {
    int dir = -1, mspd = 0, state = 0, phase = -1, lives = 0;
    float x = 0, y = 0;
    std::size_t shots = 0;
};

snapshot now() {
    snapshot s;
    s.dir = player->dir;
    s.mspd = mountains->mspd;
    s.state = game_state;
    s.phase = play_phase;
    s.lives = player->lives;
    s.x = player->x;
    s.y = player->y;
    s.shots = pshot_list.count();
    return s;
}

}  // namespace

TEST(JoystickPlay, AWholeJourneyWithThePadAlone) {
    scratch_dir dir;
    game_run run;
    virtual_pad pad;
    int splash_left_at = 0, menu_x0 = 0, menu_y0 = 0, menu_y_down = 0, menu_y_back = 0, menu_x_back = 0;
    snapshot in_control, turned_left, slid, centred, turned_right, near_left, near_up, hat_left, up, down,
        fired, held, released, fired_again, paused, resumed;
    int paused_menu_pixels = 0;
    std::string paused_item;

    run.then([&] { pad.attach(); })
        .then([&] { pad.button(0, true); })
        .then([&] { pad.button(0, false); })
        .until([&] { return first_run == 0; })
        .then([&] {
            splash_left_at = run.frames;
            menu_x0 = mouse_x();
            menu_y0 = mouse_y();
            pad.axis(1, SDL_JOYSTICK_AXIS_MAX);  // pointer down, off the first row
        })
        .wait(9)
        .then([&] {
            menu_y_down = mouse_y();
            pad.axis(1, SDL_JOYSTICK_AXIS_MIN);  // and back up as far
        })
        .wait(9)
        .then([&] {
            menu_y_back = mouse_y();
            menu_x_back = mouse_x();
            pad.axis(1, 0);
        })
        // The pointer now rests on "Start Game" again, where the pause put it too.
        .then([&] { pad.button(0, true); })
        .then([&] { pad.button(0, false); })
        .until([] { return game_state == 2 && play_phase == 1; })
        .then([&] {
            in_control = now();
            pad.axis(0, SDL_JOYSTICK_AXIS_MIN);
        })
        .then([&] { turned_left = now(); })
        .wait(4)
        .then([&] {
            slid = now();
            pad.axis(0, 0);
        })
        .wait(2)
        .then([&] {
            centred = now();
            pad.axis(0, SDL_JOYSTICK_AXIS_MAX);
        })
        .then([&] {
            turned_right = now();
            pad.axis(0, kNearMin);
        })
        .wait(3)
        .then([&] {
            near_left = now();
            pad.axis(0, 0);
            pad.axis(1, kNearMin);
        })
        .wait(3)
        .then([&] {
            near_up = now();
            pad.axis(1, 0);
            pad.hat(SDL_HAT_LEFT);  // the hat steers nothing
        })
        .wait(3)
        .then([&] {
            hat_left = now();
            pad.hat(SDL_HAT_CENTERED);
            pad.axis(1, SDL_JOYSTICK_AXIS_MIN);
        })
        .wait(4)
        .then([&] {
            up = now();
            pad.axis(1, SDL_JOYSTICK_AXIS_MAX);
        })
        .wait(4)
        .then([&] {
            down = now();
            pad.axis(1, 0);
        })
        .then([&] { pad.button(0, true); })
        .then([&] { fired = now(); })
        .wait(3)
        .then([&] {
            held = now();
            pad.button(0, false);
        })
        .wait(2)
        .then([&] {
            released = now();
            pad.button(0, true);
        })
        .then([&] {
            fired_again = now();
            pad.button(0, false);
        })
        .then([&] { pad.button(2, true); })
        .then([&] {
            paused = now();
            paused_item = menu_item_text(0);
            pad.button(2, false);
        })
        .wait(3)
        .then([&] {
            paused_menu_pixels = screen_shot().count(150, 225, 490, 410, menu_text);
            pad.button(2, true);
        })
        .then([&] {
            resumed = now();
            pad.button(2, false);
            pad.detach();
        });
    run.on_loop_end = [&] { pad.detach(); };

    EXPECT_EQ(run.run(), 0);
    EXPECT_FALSE(run.timed_out);

    // Button 0 ended the splash long before its fade would have.
    EXPECT_LT(splash_left_at, 60);

    // Ten menu passes at each end stop, six pixels each.
    EXPECT_EQ(menu_y_down, menu_y0 + 60);
    EXPECT_EQ(menu_y_back, menu_y0);
    EXPECT_EQ(menu_x_back, menu_x0);

    // Button 0 on "Start Game" began a new game.
    EXPECT_EQ(in_control.state, 2);
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
    EXPECT_EQ(paused.state, 3);
    EXPECT_EQ(paused_item, "Resume Game");
    EXPECT_GT(paused_menu_pixels, 200);
    EXPECT_EQ(resumed.state, 2);
    EXPECT_EQ(resumed.phase, 1);
    EXPECT_EQ(resumed.dir, paused.dir);
    EXPECT_EQ(resumed.y, paused.y);
}
