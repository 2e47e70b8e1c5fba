// The best score and the glasses type across runs, and saves that must not hurt.
#include <SDL.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iterator>
#include <csignal>
#include <filesystem>

#include "game/game.h"
#include "harness.h"
#include "world/globals.h"
#include "world/player.h"
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

constexpr uid_t player_id = 65534;

// Saves the best score in a child process as an ordinary user (player_id when the
// tests run as root), after before() ran there. 0 saved, 1 not saved, 2 the child
// could not become that user. The child's standard error lands in err.
int save_as_player(int value, std::string& err, const std::function<void()>& before = {}) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return 1;
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipe_ends[1], 2);  // a pipe, which no file size limit stops
        if (geteuid() == 0 && (setgroups(0, nullptr) || setgid(player_id) || setuid(player_id))) _exit(2);
        if (before) before();
        _exit(write_data_int(hiscore_path, value) ? 0 : 1);
    }
    close(pipe_ends[1]);
    int status = 0;
    waitpid(pid, &status, 0);
    err.clear();
    char buf[256];
    for (ssize_t n; (n = read(pipe_ends[0], buf, sizeof buf)) > 0;) err.append(buf, static_cast<size_t>(n));
    close(pipe_ends[0]);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

#define SKIP_WITHOUT_PLAYER(r) \
    if ((r) == 2) GTEST_SKIP() << "this machine lets no process become an ordinary user"

// A data folder of the given mode and a hiscore.dat holding old, both the player's.
void player_folder(const scratch_dir& dir, int old, fs::perms mode) {
    fs::permissions(dir.path(), fs::perms(0755));
    fs::create_directory(dir.path() / "data");
    dir.write_bytes("data/hiscore.dat", le32(old));
    if (geteuid() == 0) {
        ASSERT_EQ(chown((dir.path() / "data").c_str(), player_id, player_id), 0);
        ASSERT_EQ(chown((dir.path() / "data/hiscore.dat").c_str(), player_id, player_id), 0);
    }
    fs::permissions(dir.path() / "data", mode);
}

std::ptrdiff_t files_in(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

}  // namespace

TEST(DataFiles, BestScoreRoundTripsAsFourLittleEndianBytes) {
    scratch_dir dir;
    start_values first = run_once([] { player->best_sc = 150; });
    EXPECT_EQ(first.best, 0);
    EXPECT_EQ(hud_number(first.best), "00");
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), (std::vector<std::uint8_t>{0x96, 0x00, 0x00, 0x00}));
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
        scratch_dir dir;
        dir.write_bytes("data/hiscore.dat", c.bytes);
        EXPECT_EQ(run_once().best, c.best);
        EXPECT_EQ(dir.read_bytes("data/hiscore.dat").size(), 4u);
    }
}

TEST(DataFiles, GlassesTypeStartsTheGameInStereo) {
    scratch_dir dir;
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
        scratch_dir dir;
        dir.write_bytes("data/anaglyph3d.dat", le32(stored));
        start_values seen = run_once();
        EXPECT_EQ(seen.glasses, 0);
        EXPECT_EQ(seen.glasses_text, "3D Graphics: Off");
        EXPECT_EQ(dir.read_bytes("data/anaglyph3d.dat"), le32(0));
    }
}

TEST(DataFiles, AFolderInTheWayIsLeftAloneAndTheGameEndsNormally) {
    scratch_dir dir;
    fs::create_directory(dir.path() / "data" / "hiscore.dat");
    fs::create_directory(dir.path() / "data" / "anaglyph3d.dat");
    start_values seen = run_once([] {
        player->best_sc = 500;
        mode3d = 2;
    });
    EXPECT_EQ(seen.best, 0);
    EXPECT_EQ(seen.glasses, 0);
    EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "hiscore.dat"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "data" / "anaglyph3d.dat"));
    EXPECT_FALSE(dir.exists("data/hiscore.dat.new"));
}

TEST(DataFiles, SavesGoThroughSymlinksAndKeepPermissions) {
    scratch_dir dir(false);
    fs::create_directories(dir.path() / "data" / "saves");
    dir.write_bytes("data/saves/best.dat", le32(1));
    fs::permissions(dir.path() / "data/saves/best.dat", fs::perms(0640));
    fs::create_symlink("saves/best.dat", dir.path() / "data/hiscore.dat");
    EXPECT_TRUE(write_data_int(hiscore_path, 150));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "data/hiscore.dat"));
    EXPECT_EQ(dir.read_bytes("data/saves/best.dat"), le32(150));
    EXPECT_EQ(fs::status(dir.path() / "data/saves/best.dat").permissions(), fs::perms(0640));
    EXPECT_EQ(files_in(dir.path() / "data/saves"), 1);
}

TEST(DataFiles, AFolderThePlayerCannotWriteToStillTakesTheSaveInPlace) {
    scratch_dir dir(false);
    player_folder(dir, 5, fs::perms(0555));
    std::string err;
    const int saved = save_as_player(4321, err);
    SKIP_WITHOUT_PLAYER(saved);
    EXPECT_EQ(saved, 0) << err;
    fs::permissions(dir.path() / "data", fs::perms(0755));
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(4321));
}

TEST(DataFiles, AFailedSaveKeepsTheOldFileWholeAndSaysSoOnce) {
    // The disk refuses the new file's bytes.
    scratch_dir dir(false);
    player_folder(dir, 1234, fs::perms(0755));
    std::string err;
    const int saved = save_as_player(99999, err, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
    });
    SKIP_WITHOUT_PLAYER(saved);
    EXPECT_EQ(saved, 1);
    EXPECT_EQ(err, "aerovane: cannot save data/hiscore.dat: File too large\n");
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(1234));
    EXPECT_EQ(files_in(dir.path() / "data"), 1);

    // The new file is written, but may not replace someone else's in a shared folder.
    if (geteuid() != 0) GTEST_SKIP() << "needs root to give the old file to another user";
    ASSERT_EQ(chown((dir.path() / "data").c_str(), 0, 0), 0);
    ASSERT_EQ(chown((dir.path() / "data/hiscore.dat").c_str(), 0, 0), 0);
    fs::permissions(dir.path() / "data/hiscore.dat", fs::perms(0666));
    fs::permissions(dir.path() / "data", fs::perms(01777));
    EXPECT_EQ(save_as_player(99999, err), 1);
    EXPECT_EQ(err, "aerovane: cannot save data/hiscore.dat: Operation not permitted\n");
    EXPECT_EQ(dir.read_bytes("data/hiscore.dat"), le32(1234));
    EXPECT_EQ(files_in(dir.path() / "data"), 1);
}

TEST(DataFiles, NoDataFolderMeansNothingSavedAndANormalEnd) {
    scratch_dir dir(false);
    start_values seen = run_once([] { player->best_sc = 70; });
    EXPECT_EQ(seen.best, 0);
    EXPECT_FALSE(dir.exists("data"));
}
