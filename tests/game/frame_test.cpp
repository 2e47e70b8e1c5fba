// The frame around every pass: score display, spare planes, retro lines, side bars.
#include <SDL.h>
#include <gtest/gtest.h>

#include "game/game.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "harness.h"
#include "world/globals.h"
#include "world/player.h"

namespace {

bool hud_yellow(rgb c) { return near_colour(c, 250, 250, 100, 40); }

// Draws only the score display on a black screen and reads it back.
screen_shot hud_alone() {
  Cls();
  draw_hud();
  return screen_shot();
}

}  // namespace

TEST(Frame, ScoreNumbersGetALeadingZeroUnderTen) {
  game_dir dir;
  game_run run;
  // How far the lit pixels of a number reach, on the lower half of the digits (below
  // the labels above them): from the score display, and from the text drawn alone.
  auto reach = [](const screen_shot& shot, int x, int y) {
    return shot.right_edge(x, y + 11, x + 120, y + 18, hud_yellow);
  };
  auto text_reach = [&](const std::string& text, int x, int y) {
    Cls();
    SetBlend(AlphaBlend);
    SetAlpha(1.0f);
    SetScale(1.0f, 1.0f);
    SetColor(250, 250, 100);
    DrawText(text, static_cast<float>(x), static_cast<float>(y));
    return reach(screen_shot(), x, y);
  };
  int score7 = 0, score0 = 0, best150 = 0, stage1 = 0;
  int ref07 = 0, ref7 = 0, ref00 = 0, ref150 = 0, ref01 = 0;
  run.skip_splash().then([&] {
    player->score = 7;
    player->best_sc = 150;
    player->level = 1;
    screen_shot shot = hud_alone();
    score7 = reach(shot, 128, 16);
    best150 = reach(shot, 308, 18);
    stage1 = reach(shot, 475, 16);
    player->score = 0;
    score0 = reach(hud_alone(), 128, 16);
    ref07 = text_reach("07", 128, 16);
    ref7 = text_reach("7", 128, 16);
    ref00 = text_reach("00", 128, 16);
    ref150 = text_reach("150", 308, 18);
    ref01 = text_reach("01", 475, 16);
  });
  EXPECT_EQ(run.run(), 0);
  ASSERT_GT(ref7, 128);
  ASSERT_GT(ref07, ref7);
  EXPECT_EQ(score7, ref07);
  EXPECT_EQ(score0, ref00);
  EXPECT_EQ(best150, ref150);
  EXPECT_EQ(stage1, ref01);
}

TEST(Frame, SparePlanesShowOnlyInPlayAndNotTheOneInTheAir) {
  game_dir dir;
  game_run run;
  auto plane_at = [](const screen_shot& shot, int x) {
    return shot.count(x - 14, 455, x + 14, 475, lit);
  };
  int three[3] = {}, one[3] = {}, two_menu = 0, two_title = 0;
  run.skip_splash().then([&] {
    const int saved_state = game_state;
    game_state = state_play;
    player->lives = 3;
    screen_shot with_three = hud_alone();
    for (int i = 0; i < 3; ++i) three[i] = plane_at(with_three, 130 + 30 * i);
    player->lives = 1;
    screen_shot with_one = hud_alone();
    for (int i = 0; i < 3; ++i) one[i] = plane_at(with_one, 130 + 30 * i);
    player->lives = 3;
    game_state = state_pause_menu;
    two_menu = plane_at(hud_alone(), 130);
    game_state = state_title_menu;
    two_title = plane_at(hud_alone(), 130);
    game_state = saved_state;
  });
  EXPECT_EQ(run.run(), 0);
  EXPECT_GT(three[0], 20);
  EXPECT_GT(three[1], 20);
  EXPECT_EQ(three[2], 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(one[i], 0) << "spare plane " << i;
  EXPECT_EQ(two_menu, 0);
  EXPECT_EQ(two_title, 0);
}

TEST(Frame, RetroLinesDarkenEveryOddRowOnly) {
  game_dir dir;
  game_run run;
  int odd_dark = 0, even_white = 0, untouched_when_off = 0;
  run.skip_splash().then([&] {
    SetBlend(SolidBlend);
    SetColor(255, 255, 255);
    retro_fx = 0;
    DrawRect(0, 0, 640, 480);
    retro_lines(2);
    untouched_when_off = screen_shot().count(0, 0, 639, 479, [](rgb c) {
      return c == rgb{255, 255, 255};
    });
    retro_fx = 1;
    DrawRect(0, 0, 640, 480);
    retro_lines(2);
    screen_shot shot;
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) {
        const rgb c = shot.at(x, y);
        if (y % 2 == 1 && c == rgb{2, 2, 2}) ++odd_dark;
        if (y % 2 == 0 && c == rgb{255, 255, 255}) ++even_white;
      }
    retro_fx = 0;
  });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(untouched_when_off, 640 * 480);
  EXPECT_EQ(odd_dark, 640 * 240);
  EXPECT_EQ(even_white, 640 * 240);
}

TEST(Frame, SideBarsCoverBothEdgesOfEveryFrame) {
  game_dir dir;
  game_run run;
  int left_black = 0, right_black = 0, lit_left = 0, lit_right = 0, play_left = 0, play_right = 0;
  auto black = [](rgb c) { return c == rgb{0, 0, 0}; };
  run.skip_splash().then([&] {
    screen_shot title;  // a whole frame of the title menu
    left_black = title.count(0, 0, 109, 479, black);
    right_black = title.count(524, 0, 639, 479, black);
    // Just inside the bars the sky shows.
    lit_left = title.count(110, 0, 110, 479, lit);
    lit_right = title.count(523, 0, 523, 479, lit);
  });
  run.then([] { click_at(320, 240); }).until([] { return game_state == state_play; });
  run.wait(30).then([&] {
    screen_shot play;
    play_left = play.count(0, 0, 109, 479, black);
    play_right = play.count(524, 0, 639, 479, black);
  });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(left_black, 110 * 480);
  EXPECT_EQ(right_black, 116 * 480);
  EXPECT_GT(lit_left, 200);
  EXPECT_GT(lit_right, 200);
  EXPECT_EQ(play_left, 110 * 480);
  EXPECT_EQ(play_right, 116 * 480);
}
