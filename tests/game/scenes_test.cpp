// The end-of-stage and end-of-game screens, reached by playing: a stage won by shooting
// every enemy plane, and a game lost by flying into the mountains three times. With
// AV_DOCS_DIR set, both screens are also saved there as pictures.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "harness.h"
#include "png_encode.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"

namespace {

// The stage texts are drawn in this colour; nothing else in the sky comes close.
bool message_colour(rgb c) { return near_colour(c, 255, 255, 200, 10); }

void save_png(const screen_shot& shot, const std::string& path) {
  std::vector<uint8_t> rgb_rows;
  rgb_rows.reserve(640 * 480 * 3);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const rgb c = shot.at(x, y);
      rgb_rows.insert(rgb_rows.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g),
                                       static_cast<uint8_t>(c.b)});
    }
  EXPECT_TRUE(write_rgb_png(path, 640, 480, rgb_rows)) << "cannot write " << path;
}

void keep_for_docs(const screen_shot& shot, const char* name) {
  const char* dir = std::getenv("AV_DOCS_DIR");
  if (dir && *dir) save_png(shot, std::string(dir) + "/" + name);
}

// ---- a pilot that plays the stage through the keys ----
//
// It fires every pass, turns with the arrow keys toward whichever side the next enemy
// plane will come from soonest, and lines up with that plane. Only the lining up is
// cheated: the plane is put straight onto the row, and only onto a row where nothing
// is close enough to collide with.

constexpr float kStrip = 4640.0f;  // the enemy strip wraps from -2000 to 2640

float rest_x(int dir) { return dir == 0 ? 440.0f : 200.0f; }

// Passes until the plane reaches the player's resting place when the player faces dir.
float arrival(const ebplane_tag& e, int dir) {
  const float v = (dir == 0 ? 4.0f : -4.0f) + e.spd;
  float d = dir == 0 ? rest_x(0) - e.x : e.x - rest_x(1);
  if (d < 0) d += kStrip;
  return d / std::fabs(v);
}

bool on_screen(const ebplane_tag& e) { return e.x > 80.0f && e.x < 560.0f; }

// Nothing that kills the plane is near enough in x (the whole slide still to go
// included) to meet it on this row before the shots do.
bool row_safe(float y) {
  const float lo = std::min(player->x, rest_x(player->dir)) - 80.0f;
  const float hi = std::max(player->x, rest_x(player->dir)) + 80.0f;
  for (const auto& e : ebplane_list.items())
    if (on_screen(*e) && e->x > lo && e->x < hi && std::fabs(static_cast<float>(e->y) - y) < 40.0f)
      return false;
  if (blimp_state == blimp_flying && blimp_x > 60 && blimp_x < 580 && blimp_x > lo - 20 &&
      blimp_x < hi + 20 && std::fabs(static_cast<float>(blimp_y) - y) < 40.0f)
    return false;
  return true;
}

void pilot() {
  if (game_state != state_play || play_phase != phase_in_control) return;
  push_key_press(SDL_SCANCODE_LCTRL);

  const int facing = player->dir;
  const ebplane_tag* target = nullptr;
  float soonest = 1e9f, soonest_other = 1e9f;
  bool ahead_on_screen = false;
  for (const auto& e : ebplane_list.items()) {
    const float t = arrival(*e, facing);
    if (t < soonest) {
      soonest = t;
      target = e.get();
    }
    soonest_other = std::min(soonest_other, arrival(*e, 1 - facing));
    if (on_screen(*e) && (facing == 1 ? e->x > player->x : e->x < player->x))
      ahead_on_screen = true;
  }
  if (!target) return;

  // A turn costs the slide across; worth it only when nothing is about to arrive.
  if (!ahead_on_screen && soonest_other + 60.0f < soonest && player->x == rest_x(facing) &&
      row_safe(player->y)) {
    push_key_press(facing == 1 ? SDL_SCANCODE_LEFT : SDL_SCANCODE_RIGHT);
    return;
  }

  const float want = static_cast<float>(target->y);
  if (player->y != want && row_safe(want)) {
    player->y = want;
  } else if (!row_safe(player->y)) {
    for (float dy = 40.0f; dy < 300.0f; dy += 20.0f)
      for (float y : {player->y - dy, player->y + dy})
        if (y >= 90.0f && y <= 300.0f && row_safe(y)) {
          player->y = y;
          return;
        }
  }
}

}  // namespace

TEST(Scenes, StageClearShowsTheBonusForItsTimeThenTheNextStage) {
  game_dir dir;
  game_run run;
  run.max_frames = 12000;
  int cleared_at = 0, next_at = 0, next_level = 0, score_at_clear = -1, lives_at_clear = -1;
  int empty_first = -1, empty_second = -1, first_line = 0, second_line = 0;
  std::size_t planes_at_clear = 99;

  run.start_game()
      .then([&] {
        const screen_shot shot;
        empty_first = shot.count(200, 185, 420, 213, message_colour);
        empty_second = shot.count(200, 231, 420, 259, message_colour);
      })
      .until([&] {
        pilot();
        if (play_phase != phase_stage_cleared) return false;
        cleared_at = run.frames;
        score_at_clear = player->score;
        lives_at_clear = player->lives;
        planes_at_clear = ebplane_list.count();
        return true;
      })
      .wait(30)
      .then([&] {
        const screen_shot shot;
        first_line = shot.count(200, 185, 420, 213, message_colour);
        second_line = shot.count(200, 231, 420, 259, message_colour);
        keep_for_docs(shot, "stage_clear.png");
      })
      .until([&] {
        if (play_phase != phase_fly_in) return false;
        next_at = run.frames;
        next_level = player->level;
        return true;
      });
  EXPECT_EQ(run.run(), 0);
  ASSERT_FALSE(run.timed_out);

  EXPECT_EQ(planes_at_clear, 0u);
  EXPECT_GT(score_at_clear, 0);
  EXPECT_GE(lives_at_clear, 1);
  // Nothing of the messages before the clear; both lines during it.
  EXPECT_EQ(empty_first, 0);
  EXPECT_EQ(empty_second, 0);
  EXPECT_GT(first_line, 150);
  EXPECT_GT(second_line, 100);
  // The clear screen stays for 301 frames, then stage 2 begins (with its bonus, planes
  // and balloons as the stage tests count them).
  EXPECT_EQ(next_at - cleared_at, 301);
  EXPECT_EQ(next_level, 2);
}

TEST(Scenes, ThreePlanesLostInTheMountainsEndInGameOverThenTheTitle) {
  game_dir dir;
  game_run run;
  run.max_frames = 4000;
  std::vector<int> lives_after_crash, dying_frames;
  int died_at = 0, over_at = 0, title_at = 0;
  int before_text = -1, over_text = -1, over_state = 0, over_score = -1, over_lives = -1;

  run.skip_splash().then([] { click_at(320, 240); });
  for (int plane = 0; plane < 3; ++plane) {
    run.until([] { return game_state == state_play && play_phase == phase_in_control; })
        .then([] { push_key(SDL_SCANCODE_DOWN, true); })  // dive, and keep diving
        .until([&] {
          if (game_state != state_dying) return false;
          died_at = run.frames;
          lives_after_crash.push_back(player->lives);
          push_key(SDL_SCANCODE_DOWN, false);
          return true;
        })
        .wait(20)
        .then([&] { before_text = screen_shot().count(200, 195, 460, 245, message_colour); })
        .until([&] {
          if (game_state == state_dying) return false;
          dying_frames.push_back(run.frames - died_at);
          over_at = run.frames;
          return true;
        });
  }
  run.wait(40)
      .then([&] {
        const screen_shot shot;
        over_text = shot.count(200, 195, 460, 245, message_colour);
        over_state = game_state;
        over_score = player->score;
        over_lives = player->lives;
        keep_for_docs(shot, "game_over.png");
      })
      .until([&] {
        if (game_state != state_title_menu) return false;
        title_at = run.frames;
        return true;
      });
  EXPECT_EQ(run.run(), 0);
  ASSERT_FALSE(run.timed_out);

  EXPECT_EQ(lives_after_crash, (std::vector<int>{2, 1, 0}));
  // Each lost plane holds the game for 250 passes.
  EXPECT_EQ(dying_frames, (std::vector<int>{250, 250, 250}));
  EXPECT_EQ(over_state, state_game_over);
  EXPECT_EQ(over_score, 0);
  EXPECT_EQ(over_lives, 0);
  // "Game Over!" is on the screen only once the game is over.
  EXPECT_LT(before_text, 20);
  EXPECT_GT(over_text, 300);
  // It holds for 250 passes, then the title menu returns.
  EXPECT_EQ(title_at - over_at, 250);
}
