// Start-up, the splash and the main loop's state switches, run as the whole program.
#include <SDL.h>
#include <gtest/gtest.h>

#include "audio/audio.h"
#include "game/game.h"
#include "harness.h"
#include "world/globals.h"
#include "world/player.h"

TEST(Startup, SplashRunsItsFullLengthFlatAndWithGlasses) {
    {
        scratch_dir dir;
        game_run run;
        run.until([] { return first_run == 0; });
        EXPECT_EQ(run.run(), 0);
        EXPECT_EQ(run.splash_frames, 326);
    }
    {
        scratch_dir dir;
        dir.write_bytes("data/anaglyph3d.dat", le32(2));
        game_run run;
        run.until([] { return first_run == 0; });
        EXPECT_EQ(run.run(), 0);
        EXPECT_EQ(run.splash_frames, 551);
    }
}

TEST(Startup, AKeyOrClickEndsTheSplashWithoutReachingTheMenu) {
    // Escape would quit from the title menu and a click on "Exit Game" likewise, so
    // either reaching the menu would end the run at once.
    struct press {
        const char* name;
        std::function<void()> send;
    };
    const press presses[] = {
        {"escape", [] { press_key(SDL_SCANCODE_ESCAPE); }},
        {"space", [] { press_key(SDL_SCANCODE_SPACE); }},
        {"click", [] { click_at(320, 396); }},
    };
    for (const press& p : presses) {
        SCOPED_TRACE(p.name);
        scratch_dir dir;
        game_run run;
        int state_after = 0, quit_after = -1;
        run.wait(10)
            .then(p.send)
            .until([] { return first_run == 0; })
            .wait(5)
            .then([&] {
                state_after = game_state;
                quit_after = quit_flag;
            });
        EXPECT_EQ(run.run(), 0);
        EXPECT_EQ(run.splash_frames, 11);
        EXPECT_EQ(state_after, 4);
        EXPECT_EQ(quit_after, 0);
    }
}

TEST(Startup, NewGameTotalsButNoWorldUntilStartGame) {
    scratch_dir dir;
    game_run run;
    int score = -1, level = -1, lives = -1, state = 0;
    std::size_t enemies = 1, balloons = 1, clouds = 1;
    run.skip_splash().wait(3).then([&] {
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
    EXPECT_EQ(state, 4);
    EXPECT_EQ(enemies, 0u);
    EXPECT_EQ(balloons, 0u);
    EXPECT_EQ(clouds, 0u);
}

TEST(MainLoop, EscapeWalksFromPlayToPauseToTitleToTheEnd) {
    scratch_dir dir;
    game_run run;
    int after_first = 0, after_second = 0, frames_at_third = 0;
    run.skip_splash()
        .then([] { click_at(320, 240); })  // "Start Game"
        .until([] { return game_state == 2; })
        .wait(10)
        .then([] { press_key(SDL_SCANCODE_ESCAPE); })
        .then([&] { after_first = game_state; })
        .then([] { press_key(SDL_SCANCODE_ESCAPE); })
        .then([&] { after_second = game_state; })
        .then([&] {
            press_key(SDL_SCANCODE_ESCAPE);
            frames_at_third = run.frames;
        })
        .wait(100);  // never reached: the third Escape ends the program
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(after_first, 3);
    EXPECT_EQ(after_second, 4);
    EXPECT_EQ(run.frames, frames_at_third);
    EXPECT_FALSE(run.timed_out);
}

TEST(MainLoop, EscapeAndSpaceInOneFrameOnlyPause) {
    scratch_dir dir;
    game_run run;
    int state = 0, later = 0;
    std::size_t enemies_paused = 0, enemies_resumed = 0;
    run.skip_splash()
        .then([] { click_at(320, 240); })
        .until([] { return game_state == 2 && play_phase == 1; })
        .then([] {
            press_key(SDL_SCANCODE_ESCAPE);
            press_key(SDL_SCANCODE_SPACE);
        })
        .then([&] { state = game_state; })
        .wait(5)
        .then([&] {
            later = game_state;
            enemies_paused = ebplane_list.count();
            press_key(SDL_SCANCODE_SPACE);  // resumes where it stopped
        })
        .then([&] { enemies_resumed = game_state == 2 ? ebplane_list.count() : 0; });
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(state, 3);
    EXPECT_EQ(later, 3);
    EXPECT_GT(enemies_paused, 0u);
    EXPECT_EQ(enemies_resumed, enemies_paused);
}

TEST(MainLoop, EscapeAndSpaceDoNothingWhileDyingOrGameOver) {
    for (int held_state : {5, 6}) {
        SCOPED_TRACE(held_state);
        scratch_dir dir;
        game_run run;
        int state = 0, quit = -1;
        run.skip_splash()
            .then([] { click_at(320, 240); })
            .until([] { return game_state == 2 && play_phase == 1; })
            .then([&] {
                game_state = held_state;
                state_timer = 0;
                press_key(SDL_SCANCODE_ESCAPE);
                press_key(SDL_SCANCODE_SPACE);
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

TEST(MainLoop, ResumingDuringStageClearLeavesOneEngineAtTheNextStage) {
    // Resuming in the stage-clear pause starts the engine again; the next stage's start
    // must not leave that loop running unreferenced beside its own.
    scratch_dir dir;
    game_run run;
    std::shared_ptr<TChannel> resumed;
    int resumed_playing = 0, old_playing = -1, new_playing = 0;
    run.skip_splash()
        .then([] { click_at(320, 240); })
        .until([] { return game_state == 2 && play_phase == 1; })
        .then([] { ebplane_list.clear(); })
        .until([] { return play_phase == 2; })
        .then([] { press_key(SDL_SCANCODE_SPACE); })
        .then([] { press_key(SDL_SCANCODE_SPACE); })
        .wait(5)
        .then([&] {
            resumed = engine_chan;
            resumed_playing = channel_playing(resumed);
        })
        .until([] { return player->level == 2; })
        .wait(5)
        .then([&] {
            old_playing = channel_playing(resumed);
            new_playing = channel_playing(engine_chan);
            resumed = nullptr;
        });
    EXPECT_EQ(run.run(), 0);
    EXPECT_NE(resumed_playing, 0);
    EXPECT_EQ(old_playing, 0);
    EXPECT_NE(new_playing, 0);
}

TEST(MainLoop, CloseRequestEndsAfterThePassAndStillSaves) {
    scratch_dir dir;
    game_run run;
    int frame_of_close = 0;
    run.skip_splash()
        .then([] { click_at(320, 240); })
        .until([] { return game_state == 2; })
        .then([&] {
            player->best_sc = 150;
            request_close();
            frame_of_close = run.frames;
        })
        .wait(100);
    EXPECT_EQ(run.run(), 0);
    EXPECT_EQ(run.frames, frame_of_close);
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), (std::vector<std::uint8_t>{0x96, 0, 0, 0}));
    EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(0));
}

TEST(MainLoop, CloseRequestDuringTheSplashEndsAfterOnePass) {
    scratch_dir dir;
    game_run run;
    run.wait(5).then([] { request_close(); }).wait(1000);
    EXPECT_EQ(run.run(), 0);
    // Five splash frames, the one that saw the request, then one pass of the loop.
    EXPECT_EQ(run.splash_frames, 6);
    EXPECT_EQ(run.frames, 7);
    EXPECT_TRUE(dir.exists("data/hiscore.dat"));
}
