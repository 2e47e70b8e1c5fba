// Start-up, the splash and the main loop's state switches, run as the whole program.
#include <SDL.h>
#include <gtest/gtest.h>

#include <optional>

#include "game/game.h"
#include "graphics/draw/font.h"
#include "graphics/pixmap/pixmap.h"
#include "harness.h"
#include "stream/stream.h"
#include "world/globals.h"
#include "world/player.h"

// The logo picture as the splash shows it at full size and strength: flat, its own pixels
// where it is not black; with glasses, two copies in the eye colours added to the sky, the
// left one 14 pixels left of the centre and the right one 14 right, each drawn twice. The
// splash lasts 326 frames flat and 551 in stereo.
TEST(Startup, SplashShowsTheLogoFlatAndInStereoForItsFullLength) {
  init_stream_module();
  init_pixmap_module();
  const std::shared_ptr<TPixmap> logo = LoadPixmap(AV_SOURCE_DIR "/assets/qnlogo.png");
  ASSERT_TRUE(logo);
  ASSERT_EQ(std::make_pair(logo->width, logo->height), std::make_pair(420, 236));
  const rgb black{};
  auto texel = [&](int u, int v) {
    const int p = logo->ReadPixel(u, v);
    return rgb{(p >> 16) & 255, (p >> 8) & 255, p & 255};
  };
  // The share of the logo's pixels in the playfield (the logo centred on (320, 215), the
  // side bars from x 110 and 524) that show what `want` says, from the sky of the first
  // frame; pixels it has no colour for do not count.
  using want_fn = std::function<std::optional<rgb>(const screen_shot& sky, int x, int y)>;
  auto shown = [&](int glasses, int frame, int length, int tolerance, const want_fn& want) {
    game_dir dir;
    if (glasses) dir.write_bytes("data/anaglyph3d.dat", le32(glasses));
    game_run run;
    std::unique_ptr<screen_shot> sky;
    int pixels = 0, matching = 0;
    run.then([&] { sky = std::make_unique<screen_shot>(); })
        .wait(frame - 2)
        .then([&] {
          const screen_shot shot;
          for (int y = 97; y < 333; ++y)
            for (int x = 110; x < 524; ++x)
              if (const std::optional<rgb> w = want(*sky, x, y)) {
                ++pixels;
                matching += near_colour(shot.at(x, y), w->r, w->g, w->b, tolerance);
              }
        })
        .until([] { return first_run == 0; });
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.splash_frames, length);
    EXPECT_GT(pixels, 40000);
    return pixels ? static_cast<double>(matching) / pixels : 0.0;
  };
  const double flat =
      shown(0, 10, 326, 0, [&](const screen_shot&, int x, int y) -> std::optional<rgb> {
        const rgb t = texel(x - 110, y - 97);
        return t == black ? std::nullopt : std::optional<rgb>(t);
      });
  EXPECT_EQ(flat, 1.0);
  // In stereo the logo grows from a tenth of its size; at frame 451 it is whole and 14
  // pixels deep. Eye colours of "R\G": left (4, 100, 20), right (140, 4, 10).
  const double stereo =
      shown(2, 451, 551, 4, [&](const screen_shot& sky, int x, int y) -> std::optional<rgb> {
        const rgb l = texel(x - 96, y - 97), r = texel(x - 124, y - 97), s = sky.at(x, y);
        if ((l == black && r == black) || (std::abs(x - 320) < 40 && std::abs(y - 215) < 20))
          return std::nullopt;  // no logo here, or the first frame's small one
        return rgb{std::min(255, s.r + 2 * (l.r * 4 + r.r * 140) / 255),
                   std::min(255, s.g + 2 * (l.g * 100 + r.g * 4) / 255),
                   std::min(255, s.b + 2 * (l.b * 20 + r.b * 10) / 255)};
      });
  EXPECT_GT(stereo, 0.97);
}

TEST(Startup, AKeyOrClickEndsTheSplashWithoutReachingTheMenu) {
  // Escape would quit from the title menu and a click on "Exit Game" likewise, so
  // either reaching the menu would end the run at once.
  struct press {
    const char* name;
    std::function<void()> send;
  };
  const press presses[] = {
      {"escape", [] { push_key_press(SDL_SCANCODE_ESCAPE); }},
      {"space", [] { push_key_press(SDL_SCANCODE_SPACE); }},
      {"click", [] { click_at(320, 396); }},
  };
  for (const press& p : presses) {
    SCOPED_TRACE(p.name);
    game_dir dir;
    game_run run;
    int state_after = 0, quit_after = -1;
    run.wait(10).then(p.send).until([] { return first_run == 0; }).wait(5).then([&] {
      state_after = game_state;
      quit_after = quit_flag;
    });
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.splash_frames, 11);
    EXPECT_EQ(state_after, state_title_menu);
    EXPECT_EQ(quit_after, 0);
  }
}

TEST(Startup, NewGameTotalsButNoWorldUntilStartGame) {
  game_dir dir;
  game_run run;
  int score = -1, level = -1, lives = -1, state = 0, text_height = 0;
  std::size_t enemies = 1, balloons = 1, clouds = 1;
  run.skip_splash().wait(3).then([&] {
    text_height = TextHeight("");
    score = player->score;
    level = player->level;
    lives = player->lives;
    state = game_state;
    enemies = ebplane_list.count();
    balloons = balloon_list.count();
    clouds = cloud_list.count();
  });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(score, 0);
  EXPECT_EQ(level, 1);
  EXPECT_EQ(lives, 3);
  EXPECT_EQ(state, state_title_menu);
  EXPECT_EQ(enemies, 0u);
  EXPECT_EQ(balloons, 0u);
  EXPECT_EQ(clouds, 0u);
  EXPECT_EQ(text_height, 21);  // the game's font at 18 pixels
}

TEST(MainLoop, EscapeWalksFromPlayToPauseToTitleToTheEnd) {
  game_dir dir;
  game_run run;
  int after_first = 0, after_second = 0, frames_at_third = 0;
  run.start_game()
      .then([] { push_key_press(SDL_SCANCODE_ESCAPE); })
      .then([&] { after_first = game_state; })
      .then([] { push_key_press(SDL_SCANCODE_ESCAPE); })
      .then([&] { after_second = game_state; })
      .then([&] {
        push_key_press(SDL_SCANCODE_ESCAPE);
        frames_at_third = run.frames;
      })
      .wait(100);  // never reached: the third Escape ends the program
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(after_first, state_pause_menu);
  EXPECT_EQ(after_second, state_title_menu);
  EXPECT_EQ(run.frames, frames_at_third);
}

TEST(MainLoop, EscapeAndSpaceInOneFrameOnlyPause) {
  game_dir dir;
  game_run run;
  int state = 0, later = 0;
  std::size_t enemies_paused = 0, enemies_resumed = 0;
  run.start_game()
      .then([] {
        push_key_press(SDL_SCANCODE_ESCAPE);
        push_key_press(SDL_SCANCODE_SPACE);
      })
      .then([&] { state = game_state; })
      .wait(5)
      .then([&] {
        later = game_state;
        enemies_paused = ebplane_list.count();
        push_key_press(SDL_SCANCODE_SPACE);  // resumes where it stopped
      })
      .then([&] { enemies_resumed = game_state == state_play ? ebplane_list.count() : 0; });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(state, state_pause_menu);
  EXPECT_EQ(later, state_pause_menu);
  EXPECT_GT(enemies_paused, 0u);
  EXPECT_EQ(enemies_resumed, enemies_paused);
}

TEST(MainLoop, EscapeAndSpaceDoNothingWhileDyingOrGameOver) {
  for (int held_state : {state_game_over, state_dying}) {
    SCOPED_TRACE(held_state);
    game_dir dir;
    game_run run;
    int state = 0, quit = -1;
    run.start_game()
        .then([&] {
          game_state = held_state;
          state_timer = 0;
          push_key_press(SDL_SCANCODE_ESCAPE);
          push_key_press(SDL_SCANCODE_SPACE);
        })
        .then([&] {
          state = game_state;
          quit = quit_flag;
        });
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(state, held_state);
    EXPECT_EQ(quit, 0);
  }
}

TEST(MainLoop, CloseRequestEndsAfterThePassAndStillSaves) {
  game_dir dir;
  game_run run;
  int frame_of_close = 0;
  run.start_game()
      .then([&] {
        player->best_sc = 150;
        push_quit();
        frame_of_close = run.frames;
      })
      .wait(100);
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.frames, frame_of_close);
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), (std::vector<std::uint8_t>{0x96, 0, 0, 0}));
  EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(0));
}

TEST(MainLoop, CloseRequestDuringTheSplashEndsAfterOnePass) {
  game_dir dir;
  game_run run;
  run.wait(5).then([] { push_quit(); }).wait(1000);
  EXPECT_EQ(run.run(), 0);
  // Five splash frames, the one that saw the request, then one pass of the loop.
  EXPECT_EQ(run.splash_frames, 6);
  EXPECT_EQ(run.frames, 7);
  EXPECT_TRUE(dir.exists("data/hiscore.dat"));
}
