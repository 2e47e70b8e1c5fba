// Which sound each event of a game plays, at which volume, and what becomes of the engine
// through pauses, a stage clear and a spell away from the window: the whole program, its
// own sound calls, and a driver that records them and tells each sound by its samples.
#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include "harness.h"
#include "platform/clock.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"

namespace {

// One enemy plane stays, parked off screen where it keeps still (the plane faces right, so
// the sky moves 4 pixels a frame to the left); nothing else flies.
void quiet_sky() {
  balloon_list.clear();
  blimp_state = blimp_gone;
  const std::shared_ptr<ebplane_tag> kept = ebplane_list.items().front();
  ebplane_list.clear();
  ebplane_list.add_last(kept);
  kept->x = -1500.0f;
  kept->spd = 4.0f;
}

// Fires at a target put 150 pixels ahead of the plane.
std::function<void()> fire_at(void (*place)(int x, int y)) {
  return [place] {
    place(static_cast<int>(player->x) + 150, static_cast<int>(player->y));
    push_key_press(SDL_SCANCODE_LCTRL);
  };
}

void balloon_at(int x, int y) {
  balloon_list.add_last(std::make_shared<balloon_tag>());
  balloon_list.items().back()->x = x;
  balloon_list.items().back()->y = static_cast<float>(y);
}

void blimp_at(int x, int y) {
  blimp_state = blimp_flying;
  blimp_x = x;
  blimp_y = y;
}

void enemy_at(int x, int y) {
  ebplane_list.items().front()->x = static_cast<float>(x);
  ebplane_list.items().front()->y = y;
}

}  // namespace

TEST(Sounds, EachEventPlaysItsOwnSampleAtItsVolume) {
  game_dir dir;
  const std::vector<std::string>& played = record_sounds();
  game_run run;
  // The log is cut where each event is over; what was played since the last cut is its own.
  std::vector<std::pair<std::string, std::size_t>> cuts;
  auto event = [&](const std::string& name, std::function<void()> cause,
                   std::function<bool()> over) {
    run.then(std::move(cause)).until([&, name, over] {
      if (!over()) return false;
      cuts.emplace_back(name, played.size());
      return true;
    });
  };
  auto nothing = [] {};
  auto at_once = [] { return true; };
  auto playing = [] { return game_state == state_play; };
  auto shots_gone = [] { return pshot_list.count() == 0; };
  auto key = [](SDL_Scancode scancode) { return [scancode] { push_key_press(scancode); }; };
  auto click = [](int y) { return [y] { click_at(320, y); }; };

  // Away from the window until two seconds of the game's clock have passed.
  std::thread away;
  std::atomic<bool> returned{false};
  int frame = 0, shield = 0, since = 0;
  auto leave = [&] {
    frame = run.frames;
    shield = shield_tmr;
    since = millisecs();
    SDL_Event lost = window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    SDL_PushEvent(&lost);
    away = std::thread(
        [&returned, back = window_event(SDL_WINDOWEVENT_FOCUS_GAINED), since]() mutable {
          while (clock_diff(millisecs(), since) < 2000)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
          SDL_PushEvent(&back);
          returned = true;
        });
  };
  auto back = [&] {
    if (!returned) return false;  // a game that did not hold still runs its clock
    away.join();
    EXPECT_GE(clock_diff(millisecs(), since), 2000);
    EXPECT_EQ(run.frames, frame + 1);   // nothing was presented while away
    EXPECT_EQ(shield_tmr, shield - 1);  // and the world moved by that one pass only
    return true;
  };

  run.skip_splash();
  event("splash", nothing, at_once);
  event("to Off", click(333), at_once);  // "Sound Volume" from Max
  event("to 10%", click(333), at_once);
  event("stage start", click(240), playing);
  event("pause", key(SDL_SCANCODE_ESCAPE), at_once);
  for (int i = 0; i < 7; ++i) event("pause", click(364), at_once);  // "BiPlane Volume" to 20%
  event("resume", key(SDL_SCANCODE_SPACE), playing);
  run.until([] { return play_phase == phase_in_control; }).then([] {
    quiet_sky();
    shield_tmr = 100000;
  });
  event("fire", key(SDL_SCANCODE_LCTRL), shots_gone);
  event("balloon hit", fire_at(balloon_at), shots_gone);
  event("blimp hit", fire_at(blimp_at), shots_gone);
  event("away", leave, back);
  event("enemy hit", fire_at(enemy_at), shots_gone);
  event("stage end", nothing, [] { return play_phase == phase_stage_cleared; });
  event("pause in the clear", key(SDL_SCANCODE_SPACE), at_once);
  event("resume in the clear", key(SDL_SCANCODE_SPACE), playing);
  event("next stage", nothing, [] { return play_phase == phase_fly_in; });
  run.until([] { return play_phase == phase_in_control; }).then([] {
    quiet_sky();
    shield_tmr = 0;
  });
  event(
      "lost plane", [] { push_key(SDL_SCANCODE_DOWN, true); },
      [] { return game_state == state_dying; });
  run.then([] { push_key(SDL_SCANCODE_DOWN, false); });
  EXPECT_EQ(run.run(), 0);
  if (away.joinable()) away.join();
  ASSERT_FALSE(run.timed_out);

  std::map<std::string, std::string> heard;
  std::size_t from = 0;
  for (const auto& [name, to] : cuts)
    for (; from < to; ++from) heard[name] += (heard[name].empty() ? "" : ", ") + played[from];
  // Effects at the sound volume, 10% by then; the engine at its volume when it starts,
  // paused while away, and stopped by a pause, the end of a stage, a lost plane and the
  // next engine started.
  EXPECT_EQ(heard["splash"], "");
  EXPECT_EQ(heard["to Off"], "fire.ogg@0");
  EXPECT_EQ(heard["to 10%"], "fire.ogg@0.1");
  EXPECT_EQ(heard["stage start"], "startstage.ogg@0.1, bploop.ogg@0.6 loop stop");
  EXPECT_EQ(heard["pause"], "");
  EXPECT_EQ(heard["resume"], "bploop.ogg@0.2 loop pause resume stop");
  EXPECT_EQ(heard["fire"], "fire.ogg@0.1");
  EXPECT_EQ(heard["balloon hit"], "fire.ogg@0.1, balloonpop.ogg@0.1");
  EXPECT_EQ(heard["blimp hit"], "fire.ogg@0.1, blimphit.ogg@0.1");
  EXPECT_EQ(heard["away"], "");
  EXPECT_EQ(heard["enemy hit"], "fire.ogg@0.1, explode.ogg@0.1");
  EXPECT_EQ(heard["stage end"], "endstage.ogg@0.1");
  EXPECT_EQ(heard["pause in the clear"], "");
  EXPECT_EQ(heard["resume in the clear"], "bploop.ogg@0.2 loop stop");
  EXPECT_EQ(heard["next stage"], "startstage.ogg@0.1, bploop.ogg@0.2 loop stop");
  EXPECT_EQ(heard["lost plane"], "pldeath.ogg@0.1");
}
