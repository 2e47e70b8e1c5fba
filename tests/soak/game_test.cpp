// A long run of the whole program with a bot at the controls: it starts games from the
// title, hunts enemy planes, climbs, dives, fires, pauses and resumes, quits to the
// title, changes the settings and crashes on purpose now and then, so every state is
// visited again and again. Every frame the game's state must make sense; at the end
// enough stages and lost planes must have happened, and memory must not have grown.
//
// AV_SOAK_FRAMES sets the length of the run in frames of the main loop.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <string>

#include "harness.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_ASAN 1
#endif
#endif

namespace {

// Software GL makes a frame cost milliseconds: this keeps the soak to a few minutes of
// the whole test run. tests/soak/run does the long run.
constexpr long default_frames = 20000;

long soak_frames() {
  const char* v = std::getenv("AV_SOAK_FRAMES");
  if (!v || !*v) return default_frames;
  const long n = std::strtol(v, nullptr, 10);
  return n > 0 ? n : default_frames;
}

// Resident memory of this process in bytes.
long resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// Every object once, none missing: what a list visit relies on.
template <class T>
void check_list(const char* name, obj_list<T>& list, long frame) {
  std::set<const T*> seen;
  std::size_t visits = 0;
  bool twice = false;
  list.visit([&](T& obj) {
    ++visits;
    if (!seen.insert(&obj).second) twice = true;
  });
  if (twice || visits != list.count() || seen.count(nullptr))
    ADD_FAILURE() << name << " at frame " << frame << ": " << list.count() << " objects, " << visits
                  << " visits, " << seen.size() << " distinct";
}

bool allowed_change(int from, int to) {
  switch (from) {
    case state_title_menu: return to == state_play;
    case state_play: return to == state_pause_menu || to == state_dying;
    case state_pause_menu: return to == state_play || to == state_title_menu;
    case state_dying: return to == state_play || to == state_game_over;
    case state_game_over: return to == state_title_menu;
    default: return false;
  }
}

// Strip of sky the enemy planes wrap around in.
constexpr float sky_width = 4640.0f;

class soak_bot {
 public:
  explicit soak_bot(long frames) : target_(frames) {}

  // One frame of the main loop; true once the run is long enough.
  bool frame() {
    ++loop_frames_;
    check();
    if (failures_ > 20) return true;  // a broken game need not be watched for minutes
    act();
    return loop_frames_ >= target_;
  }

  long loop_frames_ = 0;
  int stages_cleared = 0, planes_lost = 0, game_overs = 0, games_started = 0;
  int pauses_space = 0, pauses_escape = 0, quits_to_title = 0;
  int glasses_changes = 0, retro_changes = 0, volume_changes = 0;
  int best_level = 0;
  long rss_warm = 0, rss_last = 0;  // resident bytes at the end of a fly-in

 private:
  // ---- invariants ----

  void check() {
    const long f = loop_frames_;
    const player_tag& p = *player;
    auto expect = [&](bool ok, const std::string& what) {
      if (ok) return;
      ++failures_;
      ADD_FAILURE() << what << " at frame " << f << " (state " << game_state << ", phase "
                    << play_phase << ", score " << p.score << ", best " << p.best_sc << ", lives "
                    << p.lives << ")";
    };
    expect(p.score >= 0, "negative score");
    expect(p.best_sc >= p.score, "best score below the score");
    expect(p.lives >= 0 && p.lives <= 3, "lives out of range");
    expect(game_state >= state_play && game_state <= state_dying, "unknown game state");
    expect(play_phase >= phase_fly_in && play_phase <= phase_stage_cleared, "unknown play phase");

    if (prev_state_ != 0 && game_state != prev_state_)
      expect(allowed_change(prev_state_, game_state),
             "state " + std::to_string(prev_state_) + " -> " + std::to_string(game_state));
    const bool played_on = prev_state_ == state_play && game_state == state_play;
    if (played_on && play_phase != prev_phase_) {
      const bool next = play_phase == (prev_phase_ + 1) % 3;
      expect(next, "phase " + std::to_string(prev_phase_) + " -> " + std::to_string(play_phase));
    }

    check_list("pshot_list", pshot_list, f);
    check_list("cloud_list", cloud_list, f);
    check_list("ebplane_list", ebplane_list, f);
    check_list("balloon_list", balloon_list, f);
    check_list("smoke_list", smoke_list, f);
    check_list("particle_list", particle_list, f);
    check_list("explode_list", explode_list, f);
    check_list("bpop_list", bpop_list, f);
    check_list("points_list", points_list, f);
    // Nothing piles up: a stage holds what it was given, shots leave the screen.
    expect(static_cast<int>(ebplane_list.count()) <= ebplane_num,
           "more enemy planes than the stage made");
    expect(static_cast<int>(balloon_list.count()) <= balloon_num,
           "more balloons than the stage made");
    expect(pshot_list.count() <= 80, "shots pile up");
    for (const auto& s : pshot_list.items())
      expect(s->x >= 90 && s->x <= 544, "a shot off the screen");

    // What happened since the last frame.
    if (played_on && prev_phase_ == phase_in_control && play_phase == phase_stage_cleared)
      ++stages_cleared;
    if (prev_state_ == state_play && game_state == state_dying) ++planes_lost;
    if (prev_state_ == state_dying && game_state == state_game_over) ++game_overs;
    if (p.level > best_level) best_level = p.level;
    // Memory is compared at the same moment of a stage, the end of a fly-in, once
    // every state has been seen and has made whatever it keeps (glyphs, GL state).
    seen_ |= 1 << game_state;
    if (p.level >= 2) seen_ |= 1;
    if (played_on && prev_phase_ == phase_fly_in && play_phase == phase_in_control) {
      if (seen_ == seen_everything) {
        if (rss_warm == 0) rss_warm = resident_bytes();
        rss_last = resident_bytes();
      }
    }

    // AV_SOAK_TRACE=1: a line per change of state or phase, for tuning the bot.
    if (trace_ && (f % 1000 == 0 || game_state != prev_state_ || play_phase != prev_phase_))
      std::printf(
          "frame %ld: state %d phase %d level %d lives %d enemies %zu score %d skill %d rss %.1f "
          "MiB\n",
          f, game_state, play_phase, p.level, p.lives, ebplane_list.count(), p.score, game_skill_,
          resident_bytes() / 1048576.0);
    if (game_state != prev_state_) entered_ = f;
    prev_state_ = game_state;
    prev_phase_ = play_phase;
  }

  // ---- playing ----

  int roll(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  long in_state() const { return loop_frames_ - entered_; }

  void hold(SDL_Scancode scancode, bool down) {
    // A held key is sent down again every frame: a pause flushes the key state.
    if (down) {
      push_key(scancode, true);
      held_.insert(scancode);
    } else if (held_.erase(scancode)) {
      push_key(scancode, false);
    }
  }
  void release_all() {
    for (SDL_Scancode k : std::set<SDL_Scancode>(held_)) hold(k, false);
  }

  void act() {
    if (loop_frames_ >= target_) {
      release_all();
      return;
    }
    switch (game_state) {
      case state_title_menu: title(); break;
      case state_pause_menu: pause_menu(); break;
      case state_play: play(); break;
      default: release_all(); break;  // dying, game over: hands off
    }
  }

  void click_item(int row) { click_at(320, 240 + 31 * row); }

  // A setting or two, now and then, then a new game.
  void title() {
    release_all();
    if (in_state() == 1) menu_plan_ = roll(4) == 0 ? 1 + roll(3) : 0;
    if (in_state() < 8 || in_state() % 4 != 0) return;
    if (menu_plan_ > 0) {
      --menu_plan_;
      change_setting();
      return;
    }
    if (in_state() > 400) ADD_FAILURE() << "the title menu does not start a game";
    click_item(0);
    ++games_started;
    new_game_ = true;
  }

  void change_setting() {
    switch (roll(4)) {
      case 0:
        click_item(1);
        ++glasses_changes;
        break;
      case 1:
        click_item(2);
        ++retro_changes;
        break;
      case 2:
        click_item(3);
        ++volume_changes;
        break;
      default:
        click_item(4);
        ++volume_changes;
        break;
    }
  }

  // Resume by Space or by the menu, or give the game up, as planned when pausing.
  void pause_menu() {
    release_all();
    if (in_state() == 1 && roll(3) == 0) pause_settings_ = 1;
    if (in_state() < 10 || in_state() % 5 != 0) return;
    if (pause_settings_ > 0) {
      --pause_settings_;
      change_setting();
      return;
    }
    if (in_state() > 400) ADD_FAILURE() << "the pause menu does not leave";
    if (quit_planned_) {
      if (roll(2)) push_key_press(SDL_SCANCODE_ESCAPE);
      else click_item(5);
      ++quits_to_title;
      quit_planned_ = false;
    } else if (roll(2)) {
      push_key_press(SDL_SCANCODE_SPACE);
    } else {
      click_item(0);
    }
  }

  void play() {
    if (play_phase != phase_in_control) {
      release_all();
      life_frames_ = 0;
      if (new_game_ && play_phase == phase_fly_in) {
        new_game_ = false;
        game_skill_ = roll(3);
      }
      return;
    }
    if (life_frames_ == 0) plan_life();
    ++life_frames_;

    // Now and then a pause, by Space or by Escape, which may end the game.
    if (roll(1200) == 0) {
      release_all();
      push_key_press(SDL_SCANCODE_SPACE);
      ++pauses_space;
      return;
    }
    if (roll(4000) == 0) {
      release_all();
      push_key_press(SDL_SCANCODE_ESCAPE);
      ++pauses_escape;
      quit_planned_ = roll(2) == 0;
      return;
    }

    if (life_frames_ > life_budget_) {
      // Into the mountains.
      hold(SDL_SCANCODE_UP, false);
      hold(SDL_SCANCODE_DOWN, true);
      if (roll(8) == 0) push_key_press(SDL_SCANCODE_LCTRL);
      return;
    }
    hunt();
  }

  // How long this plane hunts before it dives into the ground: the bot plays some
  // games well and others badly, so games both clear stages and end.
  void plan_life() {
    switch (game_skill_) {
      case 0: life_budget_ = 200 + roll(600); break;
      case 1: life_budget_ = 800 + roll(1200); break;
      default: life_budget_ = 3000 + roll(3000); break;
    }
  }

  // Picks the enemy plane that reaches the guns first, turning when that one comes
  // from behind: facing right the sky drifts left at 4 pixels a frame, so every plane
  // comes in from the right at 4 minus its own speed, and the other way round.
  void hunt() {
    const player_tag& p = *player;
    const ebplane_tag* target = nullptr;
    int target_dir = p.dir;
    float best = 0.0f;
    for (const auto& e : ebplane_list.items()) {
      float dx = e->x - p.x;
      while (dx < 0) dx += sky_width;
      while (dx >= sky_width) dx -= sky_width;
      for (int d : {0, 1}) {
        const float distance = d == 1 ? dx : sky_width - dx;
        const float closing = d == 1 ? 4.0f - e->spd : 4.0f + e->spd;
        float frames = std::max(0.0f, distance - 250.0f) / closing + std::abs(e->y - p.y) / 8.0f;
        if (d != p.dir) frames += 60.0f;  // turning costs time
        if (!target || frames < best) {
          target = e.get();
          target_dir = d;
          best = frames;
        }
      }
    }
    --turn_wait_;
    if (target && target_dir != p.dir && turn_wait_ <= 0) {
      push_key_press(target_dir == 1 ? SDL_SCANCODE_RIGHT : SDL_SCANCODE_LEFT);
      turn_wait_ = 40;
    }
    // Level with the target, or wander when there is none.
    const float want = target ? static_cast<float>(target->y) : 120.0f + roll(180);
    const float dy = want - p.y;
    hold(SDL_SCANCODE_UP, dy < -3);
    hold(SDL_SCANCODE_DOWN, dy > 3);
    // Fire when lined up with a plane on the screen ahead, and often anyway.
    bool lined_up = false;
    if (target) {
      const float ahead = p.dir == 1 ? target->x - p.x : p.x - target->x;
      lined_up = std::abs(dy) < 14 && ahead > 0 && ahead < 420;
    }
    if (--fire_wait_ <= 0 && (lined_up || roll(12) == 0)) {
      push_key_press(SDL_SCANCODE_LCTRL);
      fire_wait_ = 5;
    }
  }

  long target_;
  std::mt19937 rng_{20240611};
  int failures_ = 0;
  int seen_ = 0;  // bit n: game_state n seen; bit 0: a stage cleared
  static constexpr int seen_everything = 1 | 1 << state_play | 1 << state_pause_menu |
                                         1 << state_title_menu | 1 << state_game_over |
                                         1 << state_dying;
  const bool trace_ = std::getenv("AV_SOAK_TRACE") != nullptr;
  int prev_state_ = 0, prev_phase_ = -1;
  long entered_ = 0;
  std::set<SDL_Scancode> held_;
  int menu_plan_ = 0, pause_settings_ = 0;
  bool quit_planned_ = false, new_game_ = false;
  int game_skill_ = 2;
  long life_frames_ = 0, life_budget_ = 100000;
  int turn_wait_ = 0, fire_wait_ = 0;
};

TEST(Soak, TheBotPlaysEveryStateAndTheGameStaysSound) {
  const long frames = soak_frames();
  game_dir dir;
  soak_bot bot(frames);
  game_run run;
  run.max_frames = static_cast<int>(frames + 2000);
  run.skip_splash().until([&] { return bot.frame(); });

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run.run(), 0);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  std::printf(
      "soak: %ld frames in %.1f s (%.1f frames/s); %d games, %d stages cleared (up to stage %d), "
      "%d planes "
      "lost, %d game overs; pauses %d by Space, %d by Escape, %d quits to the title; settings: "
      "glasses %d, "
      "retro %d, volume %d; resident %.1f MiB once warm, %.1f MiB at the last stage start\n",
      bot.loop_frames_, seconds, bot.loop_frames_ / seconds, bot.games_started, bot.stages_cleared,
      bot.best_level, bot.planes_lost, bot.game_overs, bot.pauses_space, bot.pauses_escape,
      bot.quits_to_title, bot.glasses_changes, bot.retro_changes, bot.volume_changes,
      bot.rss_warm / 1048576.0, bot.rss_last / 1048576.0);
  std::fflush(stdout);

  EXPECT_EQ(bot.loop_frames_, frames);
  // A short run (for trying the bot out) proves little beyond the per-frame checks.
  if (frames < 20000) return;

  // What this bot reaches with this seed, with room to spare: about a stage and a lost
  // plane every 4000 frames and a game over every 10 000.
  EXPECT_GE(bot.stages_cleared, frames / 10000);
  EXPECT_GE(bot.best_level, 3);
  EXPECT_GE(bot.planes_lost, frames / 8000);
  EXPECT_GE(bot.game_overs, std::max(1L, frames / 40000));
  EXPECT_GE(bot.games_started, 2);
  EXPECT_GE(bot.pauses_space, 1);
  EXPECT_GE(bot.pauses_escape, 1);
  EXPECT_GE(bot.quits_to_title, 1);
  EXPECT_GE(bot.glasses_changes + bot.retro_changes, 1);

#ifndef SOAK_ASAN
  // Under AddressSanitizer freed memory waits in quarantine, so there the leak check
  // at exit is the judge instead.
  ASSERT_GT(bot.rss_warm, 0) << "some state was never reached";
  EXPECT_LT(bot.rss_last - bot.rss_warm, 4L << 20)
      << "resident memory grew from " << bot.rss_warm << " to " << bot.rss_last << " bytes";
#endif
}

}  // namespace
