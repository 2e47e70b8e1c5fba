// A whole game through the real program: title, stages, deaths, game over, title again,
// with the plane steered and firing all the while.
#include <gtest/gtest.h>

#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "game/program.h"
#include "platform/system.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"
#include "world_fixture.h"

namespace fs = std::filesystem;

namespace {

// The program reads and writes its data folder in the working directory.
struct scratch_folder {
    fs::path old = fs::current_path();
    fs::path path;
    scratch_folder() {
        std::string pattern = (fs::temp_directory_path() / "aerovane-world-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("no scratch folder");
        path = buf.data();
        fs::create_directory(path / "data");
        fs::current_path(path);
    }
    ~scratch_folder() {
        std::error_code ec;
        fs::current_path(old, ec);
        fs::remove_all(path, ec);
    }
};

void emit(int id, int data, int x = 0, int y = 0) {
    TEvent::Create(id, nullptr, data, 0, x, y)->Emit();
}

}  // namespace

TEST(GameRun, FromTheTitleThroughAWholeGameAndBack) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    scratch_folder folder;

    int started = 0, flyin_frames = 0, deaths = 0, game_over_frames = 0, shots_seen = 0;
    int max_level = 0, last_state = -1, title_again = 0, frame_in_game = 0;
    bool scores_sane = true, plane_in_band = true;

    program_options opts;
    opts.fixed_seed = true;
    opts.seed = 77;
    opts.fake_clock = true;
    opts.on_frame = [&](int frame) {
        if (frame > 20000) quit_flag = 1;  // a game that never ends is a failure below
        if (frame == 2) {
            emit(KeyDown, 27);  // off the splash
            emit(KeyUp, 27);
        }
        if (game_state == 4 && started == 0 && frame > 5) {
            emit(MouseMove, 0, 316, 242);  // "Start Game"
            emit(MouseDown, 1, 316, 242);
            emit(MouseUp, 1, 316, 242);
            started = 1;
        }
        if (game_state == 6 && last_state == 2) ++deaths;
        if (game_state == 5) ++game_over_frames;
        if (game_state == 4 && last_state == 5) {
            title_again = 1;
            quit_flag = 1;
        }
        last_state = game_state;
        if (game_state == 2 && play_phase == 0 && deaths == 0 && max_level <= 1) ++flyin_frames;
        if (player) {
            if (player->score < 0) scores_sane = false;
            if (player->level > max_level) max_level = player->level;
            if (game_state == 2 && play_phase == 1 && (player->y < 80.0f || player->y > 432.0f))
                plane_in_band = false;
        }
        shots_seen = std::max(shots_seen, static_cast<int>(pshot_list.count()));

        // Fly: fire every 4th frame, turn now and then, and dive: the shield does not
        // protect from the ground, so each plane ends there soon.
        if (game_state == 2 && play_phase == 1) {
            ++frame_in_game;
            if (frame_in_game % 4 == 0) {
                emit(KeyDown, 162);
                emit(KeyUp, 162);
            }
            if (frame_in_game % 30 == 0) {
                const int key = (frame_in_game / 30) % 2 ? 37 : 39;
                emit(KeyDown, key);
                emit(KeyUp, key);
            }
            if (frame_in_game == 20) emit(KeyDown, 40);
        } else {
            emit(KeyUp, 40);
            frame_in_game = 0;
        }
    };

    EXPECT_EQ(run_program(opts), 0);
    EXPECT_EQ(started, 1);
    EXPECT_EQ(flyin_frames, 121);
    EXPECT_EQ(deaths, 3);
    EXPECT_EQ(game_over_frames, 250);
    EXPECT_EQ(title_again, 1);
    EXPECT_TRUE(scores_sane);
    EXPECT_TRUE(plane_in_band);
    EXPECT_GT(shots_seen, 0);
    EXPECT_GE(max_level, 1);
}
