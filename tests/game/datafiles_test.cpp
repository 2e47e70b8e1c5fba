// The best score and the glasses type across runs, points scored while dying, and saves
// that must not hurt.
#include <SDL.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <bit>
#include <csignal>
#include <filesystem>
#include <map>
#include <tuple>

#include "game/game.h"
#include "graphics/gl/graphics.h"
#include "harness.h"
#include "stream/stream.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/qndraw.h"

namespace fs = std::filesystem;

namespace {

struct start_values {
  int best = -1;
  int glasses = -1;
  std::string glasses_text;
  std::vector<int> eyes;
};

// Runs the program until the title menu, notes what it loaded, and lets the test
// change things before it quits and saves.
start_values run_once(const std::function<void()>& before_quit = {}) {
  start_values seen;
  game_run run;
  run.skip_splash().then([&] {
    seen.best = player->best_sc;
    seen.glasses = mode3d;
    seen.glasses_text = menu_item_text(1);
    seen.eyes = {draw3d->leye_r, draw3d->leye_g, draw3d->leye_b,
                 draw3d->reye_r, draw3d->reye_g, draw3d->reye_b};
    if (before_quit) before_quit();
  });
  EXPECT_EQ(run.run(), 0);
  return seen;
}

// A death test's child: saves the best score as an ordinary user (uid 65534 under
// root); exits 0 when saved, 1 when not, 2 when it may not become that user.
void save_as_player(int value) {
  if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(65534) || setuid(65534))) _exit(2);
  _exit(write_data_int(hiscore_path, value) ? 0 : 1);
}

}  // namespace

TEST(DataFiles, BestScoreRoundTripsAsFourLittleEndianBytes) {
  game_dir dir;
  start_values first = run_once([] { player->best_sc = 150; });
  EXPECT_EQ(first.best, 0);
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"),
            (std::vector<std::uint8_t>{0x96, 0x00, 0x00, 0x00}));
  EXPECT_EQ(run_once().best, 150);
  EXPECT_FALSE(dir.exists("data/hiscore.dat.new"));
}

TEST(DataFiles, ShortDamagedOrMisplacedScoreFilesReadSafely) {
  struct file_case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    int best;
  };
  const file_case cases[] = {
      {"empty", {}, 0},
      {"two bytes", {0x07, 0x01}, 263},
      {"negative", le32(-40), 0},
  };
  for (const file_case& c : cases) {
    SCOPED_TRACE(c.name);
    game_dir dir;
    dir.write_bytes("data/hiscore.dat", c.bytes);
    EXPECT_EQ(run_once().best, c.best);
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat").size(), 4u);
  }
}

TEST(DataFiles, GlassesTypeStartsTheGameInStereo) {
  game_dir dir;
  dir.write_bytes("data/anaglyph3d.dat", le32(3));
  start_values seen = run_once([] {
    // Choosing "R\B" and then "Off" in the menu is what the next run starts with.
    click_at(320, 271);
  });
  EXPECT_EQ(seen.glasses, 3);
  EXPECT_EQ(seen.glasses_text, "3D Graphics: R\\C");
  EXPECT_EQ(seen.eyes, (std::vector<int>{4, 80, 60, 140, 4, 10}));
  EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(4));

  start_values second = run_once([] { click_at(320, 271); });
  EXPECT_EQ(second.glasses, 4);
  EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(0));
  EXPECT_EQ(run_once().glasses, 0);
}

TEST(DataFiles, GlassesOutsideTheMenuStartFlat) {
  for (int stored : {5, -1, 1000}) {
    SCOPED_TRACE(stored);
    game_dir dir;
    dir.write_bytes("data/anaglyph3d.dat", le32(stored));
    start_values seen = run_once();
    EXPECT_EQ(seen.glasses, 0);
    EXPECT_EQ(seen.glasses_text, "3D Graphics: Off");
    EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(0));
  }
}

TEST(DataFiles, AFolderInTheWayIsLeftAloneAndTheGameEndsNormally) {
  game_dir dir;
  fs::create_directory(dir.path() / "data" / "hiscore.dat");
  fs::create_directory(dir.path() / "data" / "anaglyph3d.dat");
  fs::create_directory(dir.path() / "data" / "options.dat");
  start_values seen = run_once([] {
    player->best_sc = 500;
    mode3d = 2;
  });
  EXPECT_EQ(seen.best, 0);
  EXPECT_EQ(seen.glasses, 0);
  EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "hiscore.dat"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "anaglyph3d.dat"));
  EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "options.dat"));
  EXPECT_FALSE(dir.exists("data/hiscore.dat.new"));
}

TEST(DataFiles, SavesGoThroughSymlinksAndKeepPermissions) {
  game_dir dir(false);
  fs::create_directories(dir.path() / "data" / "saves");
  dir.write_bytes("data/saves/best.dat", le32(1));
  fs::permissions(dir.path() / "data/saves/best.dat", fs::perms(0640));
  fs::create_symlink("saves/best.dat", dir.path() / "data/hiscore.dat");
  EXPECT_TRUE(write_data_int(hiscore_path, 150));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "data/hiscore.dat"));
  EXPECT_EQ(dir.read_bytes("data/saves/best.dat"), le32(150));
  EXPECT_EQ(fs::status(dir.path() / "data/saves/best.dat").permissions(), fs::perms(0640));
  EXPECT_EQ(
      std::distance(fs::directory_iterator(dir.path() / "data/saves"), fs::directory_iterator()),
      1);
}

TEST(DataFiles, APlayersSaveGoesInPlaceOrFailsSafelyAndSaysSo) {
  game_dir dir(false);
  const fs::path data = dir.path() / "data", file = data / "hiscore.dat";
  fs::permissions(dir.path(), fs::perms(0755));
  fs::create_directory(data);
  dir.write_bytes("data/hiscore.dat", le32(5));
  if (geteuid() == 0) {
    for (const fs::path& p : {data, file}) ASSERT_EQ(chown(p.c_str(), 65534, 65534), 0) << p;
  }

  // A folder the player cannot write to, holding a file they can: saved in place.
  fs::permissions(data, fs::perms(0555));
  EXPECT_EXIT(save_as_player(4321), testing::ExitedWithCode(0), "");
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(4321));

  // The disk refuses the new file's bytes (the message cannot be kept: it is a file too).
  fs::permissions(data, fs::perms(0755));
  const auto no_room = [] {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit none{0, 0};
    setrlimit(RLIMIT_FSIZE, &none);
    save_as_player(99);
  };
  EXPECT_EXIT(no_room(), testing::ExitedWithCode(1), "");
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(4321));
  EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 1);
  // Someone else's file in a shared folder: the new file is written, but may not replace it.
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give the old file to another user";
  for (const fs::path& p : {data, file}) ASSERT_EQ(chown(p.c_str(), 0, 0), 0) << p;
  fs::permissions(file, fs::perms(0666));
  fs::permissions(data, fs::perms(01777));
  EXPECT_EXIT(save_as_player(99), testing::ExitedWithCode(1),
              "^aerovane: cannot save data/hiscore.dat: Operation not permitted\n$");
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(4321));
  EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 1);
}

TEST(DataFiles, NoDataFolderMeansNothingSavedAndANormalEnd) {
  game_dir dir(false);
  start_values seen = run_once([] { player->best_sc = 70; });
  EXPECT_EQ(seen.best, 0);
  EXPECT_FALSE(dir.exists("data"));
}

TEST(DataFiles, AWindowFileThatIsNotExactlyZeroOrOneMeansFullScreen) {
  game_dir dir;
  for (const auto& bytes : std::vector<std::vector<std::uint8_t>>{{1}, {1, 0, 0, 0, 0}, le32(2)}) {
    dir.write_bytes("data/window.dat", bytes);  // short, long, out of range
    bool windowed = true;
    run_once([&] { windowed = GraphicsWindowed(); });
    EXPECT_FALSE(windowed);
    EXPECT_EQ(dir.read_bytes("data/window.dat"), le32(0));
  }
}

TEST(DataFiles, RestoredVolumesAreTheMenusOwnFloatsAndABadValueItsDefault) {
  game_dir dir;
  init_stream_module();
  const auto defaults = [] {
    std::tie(retro_fx, sfx_step, sfx_volume, engine_step, engine_volume) =
        std::tuple(0, 10, 1.0f, 6, 0.6f);
  };
  for (const int item : {3, 4}) {
    int& step = item == 3 ? sfx_step : engine_step;
    float& volume = item == 3 ? sfx_volume : engine_volume;
    defaults();
    std::map<int, float> reached{{step, volume}};  // the first float the menu shows at a step
    for (int click = 0; click < 11; ++click) {
      menu_choose(item);
      reached.emplace(step, volume);
    }
    for (const auto& [shown, menu_float] : reached) {
      std::vector<std::uint8_t> bytes = le32(7);  // 7, and 11 for the other volume: defaults
      for (int v : {item == 3 ? shown : 11, item == 4 ? shown : 11})
        for (std::uint8_t b : le32(v)) bytes.push_back(b);
      dir.write_bytes("data/options.dat", bytes);
      defaults();
      options_file(0);
      EXPECT_EQ(std::tuple(retro_fx, sfx_step, engine_step),
                item == 3 ? std::tuple(0, shown, 6) : std::tuple(0, 10, shown));
      EXPECT_EQ(std::bit_cast<std::uint32_t>(volume), std::bit_cast<std::uint32_t>(menu_float))
          << "step " << shown << ": " << volume << ", the menu " << menu_float;
    }
  }
}

// Settled choices are on disk before the exit: a new best once its game is over (not in
// play or paused), the window choice at F11.
TEST(DataFiles, ANewBestIsSavedWhenItsGameEndsAndTheWindowChoiceWhenMade) {
  game_dir dir;
  game_run run;
  std::vector<std::vector<std::uint8_t>> seen;
  const auto note = [&](const char* file) { seen.push_back(dir.read_bytes(file)); };
  run.start_game().then([] { player->score = 150; }).wait(2).then([&] {
    note("data/hiscore.dat");
  });
  for (int i = 0; i < 2; ++i)  // to the pause menu, then the title
    run.then([] { push_key_press(SDL_SCANCODE_ESCAPE); }).wait(2).then([&] {
      note("data/hiscore.dat");
    });
  run.then([] { push_key_press(SDL_SCANCODE_F11); }).wait(3).then([&] { note("data/window.dat"); });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(seen, (std::vector<std::vector<std::uint8_t>>{{}, {}, le32(150), le32(1)}));
}

// A shot still in flight when the plane is lost can down an enemy during the dying pause.
// Those points count, so the best score must follow them even when that was the last plane
// and the game ends without another frame of play.
TEST(DataFiles, PointsScoredWhileDyingReachTheBestAndTheFile) {
  game_dir dir;
  game_run run;
  int score_in_title = -1, best_in_title = -1;
  run.start_game()
      .then([] {
        // One enemy with a shot on it, and the last plane lost in the same frame.
        ebplane_tag::destroy_all();
        pshot_tag::destroy_all();
        auto enemy = std::make_shared<ebplane_tag>();
        enemy->x = 304.0f;
        enemy->y = 200;
        enemy->dir = 12;
        enemy->spd = 0.0f;
        ebplane_list.add_last(enemy);
        auto shot = std::make_shared<pshot_tag>();
        shot->x = 292;
        shot->y = 200;
        shot->spd = 8;
        pshot_list.add_last(shot);
        player->score = 0;
        player->best_sc = 0;
        player->lives = 1;
        player_tag::init_death();
      })
      .until([] { return game_state == state_title_menu; })
      .then([&] {
        score_in_title = player->score;
        best_in_title = player->best_sc;
      });
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(score_in_title, 15);
  EXPECT_EQ(best_in_title, 15);
  EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(15));
}
