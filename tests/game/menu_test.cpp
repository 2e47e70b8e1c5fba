// The title and pause menus, driven by pointer and clicks through the event path.
#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "game/game.h"
#include "harness.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/qndraw.h"

namespace {

bool highlight(rgb c) { return near_colour(c, 240, 180, 80, 12); }

// Centre rows of the six items.
constexpr int kItemY[] = {240, 271, 302, 333, 364, 395};

// Which of the six item rows shows the highlight colour (-1: none, -2: several).
int highlighted_row(const screen_shot& shot) {
  int found = -1;
  for (int i = 0; i < 6; ++i) {
    if (shot.count(150, kItemY[i] - 12, 490, kItemY[i] + 12, highlight) > 20)
      found = found == -1 ? i : -2;
  }
  return found;
}

}  // namespace

TEST(Menu, PointerRowsAndWhatAClickThereDoes) {
  struct row_case {
    int y;
    int row;
  };
  const row_case cases[] = {{220, -1}, {221, 0}, {250, 0}, {251, 1}, {406, -1}};
  for (const row_case& c : cases) {
    SCOPED_TRACE(c.y);
    game_dir dir;
    game_run run;
    int shown = -3, state = 0, glasses = -1, quit = -1;
    run.skip_splash()
        .then([&] { pointer_to(320, c.y); })
        .then([&] { shown = highlighted_row(screen_shot()); })
        .then([&] { click_at(320, c.y); })
        .then([&] {
          state = game_state;
          glasses = mode3d;
          quit = quit_flag;
        });
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(shown, c.row);
    EXPECT_EQ(state, c.row == 0 ? state_play : state_title_menu);
    EXPECT_EQ(glasses, c.row == 1 ? 1 : 0);
    EXPECT_EQ(quit, 0);
  }
}

TEST(Menu, HighlightedItemIsLargerAndStaysCentred) {
  game_dir dir;
  game_run run;
  int plain_left = 0, plain_right = 0, big_left = 0, big_right = 0;
  auto item_colour = [](rgb c) {
    return near_colour(c, 200, 120, 50, 12) || near_colour(c, 240, 180, 80, 12);
  };
  run.skip_splash()
      .then([] { pointer_to(600, 100); })
      .then([&] {
        screen_shot shot;
        plain_left = shot.left_edge(110, 228, 523, 252, item_colour);
        plain_right = shot.right_edge(110, 228, 523, 252, item_colour);
        pointer_to(320, 240);
      })
      .then([&] {
        screen_shot shot;
        big_left = shot.left_edge(110, 226, 523, 254, item_colour);
        big_right = shot.right_edge(110, 226, 523, 254, item_colour);
      });
  EXPECT_EQ(run.run(), 0);
  const int plain_width = plain_right - plain_left, big_width = big_right - big_left;
  EXPECT_NEAR(big_width, plain_width * 1.2, 4);
  EXPECT_NEAR((plain_left + plain_right) / 2, 320, 4);
  EXPECT_NEAR((big_left + big_right) / 2, 320, 4);
}

TEST(Menu, EveryTitleItemCyclesItsSetting) {
  game_dir dir;
  game_run run;
  std::vector<int> glasses;
  std::vector<std::vector<int>> eyes;
  std::vector<std::string> glasses_text, sfx_text, engine_text;
  std::vector<float> sfx, engine;
  std::vector<int> retro;
  auto click = [&](int item) { run.then([item] { click_at(320, kItemY[item]); }); };
  run.skip_splash();
  for (int i = 0; i < 5; ++i) {
    click(1);
    run.then([&] {
      glasses.push_back(mode3d);
      glasses_text.push_back(menu_item_text(1));
      eyes.push_back({draw3d->leye_r, draw3d->leye_g, draw3d->leye_b, draw3d->reye_r,
                      draw3d->reye_g, draw3d->reye_b});
    });
  }
  for (int i = 0; i < 2; ++i) {
    click(2);
    run.then([&] { retro.push_back(retro_fx); });
  }
  run.then([&] { sfx_text.push_back(menu_item_text(3)); });
  for (int i = 0; i < 12; ++i) {
    click(3);
    run.then([&] {
      sfx.push_back(sfx_volume);
      sfx_text.push_back(menu_item_text(3));
    });
  }
  run.then([&] { engine_text.push_back(menu_item_text(4)); });
  for (int i = 0; i < 6; ++i) {
    click(4);
    run.then([&] {
      engine.push_back(engine_volume);
      engine_text.push_back(menu_item_text(4));
    });
  }
  int quit_before = -1, frames_at_exit = 0;
  run.then([&] {
    quit_before = quit_flag;
    frames_at_exit =
        run.frames + 2;  // "Exit Game" is clicked next; the pass that takes it is the last
  });
  click(5);
  run.wait(100);
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(quit_before, 0);
  EXPECT_EQ(run.frames, frames_at_exit);

  EXPECT_EQ(glasses, (std::vector<int>{1, 2, 3, 4, 0}));
  EXPECT_EQ(glasses_text,
            (std::vector<std::string>{"3D Graphics: M\\G", "3D Graphics: R\\G", "3D Graphics: R\\C",
                                      "3D Graphics: R\\B", "3D Graphics: Off"}));
  ASSERT_EQ(eyes.size(), 5u);
  EXPECT_EQ(eyes[0], (std::vector<int>{140, 4, 40, 4, 100, 20}));
  EXPECT_EQ(eyes[1], (std::vector<int>{4, 100, 20, 140, 4, 10}));
  EXPECT_EQ(eyes[2], (std::vector<int>{4, 80, 60, 140, 4, 10}));
  EXPECT_EQ(eyes[3], (std::vector<int>{4, 20, 140, 140, 4, 20}));
  EXPECT_EQ(eyes[4], eyes[3]);  // "Off" keeps the last colours stored

  EXPECT_EQ(retro, (std::vector<int>{1, 0}));

  // From "Max" the effects volume wraps to "Off", then climbs in steps of 0.1f that are
  // added up, so "Max" ends a rounding error above 1.
  ASSERT_EQ(sfx_text.size(), 13u);
  EXPECT_EQ(sfx_text[0], "Sound Volume: Max");
  EXPECT_EQ(sfx_text[1], "Sound Volume: Off");
  EXPECT_EQ(sfx_text[2], "Sound Volume: 10%");
  EXPECT_EQ(sfx_text[11], "Sound Volume: Max");
  EXPECT_EQ(sfx_text[12], "Sound Volume: Off");
  EXPECT_EQ(sfx, (std::vector<float>{0.0f, 0.1f, 0.2f, 0.300000012f, 0.4f, 0.5f, 0.600000024f,
                                     0.700000048f, 0.800000072f, 0.900000095f, 1.00000012f, 0.0f}));

  ASSERT_EQ(engine_text.size(), 7u);
  EXPECT_EQ(engine_text[0], "BiPlane Volume: 60%");
  EXPECT_EQ(engine_text[4], "BiPlane Volume: Max");
  EXPECT_EQ(engine_text[5], "BiPlane Volume: Off");
  EXPECT_EQ(engine_text[6], "BiPlane Volume: 10%");
  EXPECT_EQ(engine[0], 0.700000048f);
  EXPECT_EQ(engine[4], 0.0f);
  EXPECT_EQ(engine[5], 0.1f);
}

TEST(Menu, PauseMenuResumesOrQuitsKeepingTheScoreShown) {
  game_dir dir;
  game_run run;
  std::string resume_text, quit_text, title_text;
  int resumed_state = 0, quit_state = 0, score = -1, level = -1, lives = -1;
  std::size_t enemies_left = 0, enemies_kept = 0;
  run.start_game()
      .then([] { push_key_press(SDL_SCANCODE_ESCAPE); })
      .then([&] {
        resume_text = menu_item_text(0);
        quit_text = menu_item_text(5);
        click_at(pointer_home_x, pointer_home_y);  // where the pointer was put: "Resume Game"
      })
      .then([&] { resumed_state = game_state; })
      .then([] { push_key_press(SDL_SCANCODE_SPACE); })
      .then([&] {
        player->score = 150;
        player->level = 2;
        player->lives = 2;
        enemies_left = ebplane_list.count();
        click_at(320, kItemY[5]);  // "Quit This Game"
      })
      .then([&] {
        quit_state = game_state;
        title_text = menu_item_text(5);
        score = player->score;
        level = player->level;
        lives = player->lives;
        enemies_kept = ebplane_list.count();
      });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(resume_text, "Resume Game");
  EXPECT_EQ(quit_text, "Quit This Game");
  EXPECT_EQ(resumed_state, state_play);
  EXPECT_EQ(quit_state, state_title_menu);
  EXPECT_EQ(title_text, "Exit Game");
  EXPECT_EQ(score, 150);
  EXPECT_EQ(level, 2);
  EXPECT_EQ(lives, 2);
  EXPECT_GT(enemies_left, 0u);
  EXPECT_EQ(enemies_kept, enemies_left);
}
