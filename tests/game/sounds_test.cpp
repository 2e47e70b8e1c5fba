// Which sound each event of a game plays, and at which volume: the whole program, its
// own sound calls, and a driver that records them and tells each sound by its samples.
#include <SDL.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "harness.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"

namespace {

// One enemy plane stays, parked where it neither moves nor can be hit; nothing else flies.
void quiet_sky() {
    balloon_list.clear();
    blimp_state = 2;
    bool first = true;
    ebplane_list.visit([&](ebplane_tag& e) {
        if (!first) ebplane_list.remove(&e);
        first = false;
        e.x = -1500.0f;
        e.spd = static_cast<float>(-mountains->mspd);
    });
}

// Puts a target 150 pixels ahead of the plane and fires at it.
void fire_at(const std::function<void(int x, int y)>& place) {
    place(static_cast<int>(player->x) + 150, static_cast<int>(player->y));
    press_key(SDL_SCANCODE_LCTRL);
}

}  // namespace

TEST(Sounds, EachEventPlaysItsOwnSampleAtItsVolume) {
    scratch_dir dir;
    const std::vector<sound_played>& played = record_sounds();
    game_run run;
    // The log is cut where each event is over; what was played since the last cut is its own.
    std::vector<std::pair<std::string, std::size_t>> cuts;
    auto event = [&](const std::string& name, std::function<void()> cause, std::function<bool()> over) {
        run.then(std::move(cause)).until([&, name, over] {
            if (!over()) return false;
            cuts.emplace_back(name, played.size());
            return true;
        });
    };
    auto nothing = [] {};
    auto at_once = [] { return true; };
    auto shots_gone = [] { return pshot_list.count() == 0; };

    run.skip_splash();
    event("splash", nothing, at_once);
    // "Sound Volume" from Max to Off, then to 10%: each click plays a sample.
    event("click to Off", [] { click_at(320, 333); }, at_once);
    event("click to 10%", [] { click_at(320, 333); }, at_once);
    event("stage start", [] { click_at(320, 240); }, [] { return game_state == 2; });
    run.until([] { return play_phase == 1; }).then([] {
        quiet_sky();
        shield_tmr = 100000;
    });
    event("fire", [] { press_key(SDL_SCANCODE_LCTRL); }, shots_gone);
    event("balloon hit", [] { fire_at([](int x, int y) {
              auto b = std::make_shared<balloon_tag>();
              b->x = x;
              b->y = static_cast<float>(y);
              balloon_list.add_last(b);
          }); },
          shots_gone);
    event("blimp hit", [] { fire_at([](int x, int y) {
              blimp_state = 1;
              blimp_x = x;
              blimp_y = y;
              blimp_frame = 10;
          }); },
          shots_gone);
    event("enemy hit", [] { fire_at([](int x, int y) {
              ebplane_list.visit([&](ebplane_tag& e) {
                  e.x = static_cast<float>(x);
                  e.y = y;
              });
          }); },
          shots_gone);
    event("stage end", nothing, [] { return play_phase == 2; });
    event("next stage", nothing, [] { return play_phase == 0; });
    run.until([] { return play_phase == 1; }).then([] {
        quiet_sky();
        shield_tmr = 0;
    });
    event("lost plane", [] { key_event(SDL_SCANCODE_DOWN, true); }, [] { return game_state == 6; });
    run.then([] { key_event(SDL_SCANCODE_DOWN, false); });
    EXPECT_EQ(run.run(), 0);
    ASSERT_FALSE(run.timed_out);

    std::map<std::string, std::string> heard;
    std::size_t from = 0;
    for (const auto& [name, to] : cuts) {
        for (; from < to; ++from) heard[name] += (heard[name].empty() ? "" : ", ") + describe(played[from]);
    }
    // Effects at the sound volume, 10% by then; the engine at 60%, stopped at the end of
    // a stage and with a lost plane.
    EXPECT_EQ(heard["splash"], "");
    EXPECT_EQ(heard["click to Off"], "fire.ogg@0");
    EXPECT_EQ(heard["click to 10%"], "fire.ogg@0.1");
    EXPECT_EQ(heard["stage start"], "startstage.ogg@0.1, bploop.ogg@0.6 loop stop");
    EXPECT_EQ(heard["fire"], "fire.ogg@0.1");
    EXPECT_EQ(heard["balloon hit"], "fire.ogg@0.1, balloonpop.ogg@0.1");
    EXPECT_EQ(heard["blimp hit"], "fire.ogg@0.1, blimphit.ogg@0.1");
    EXPECT_EQ(heard["enemy hit"], "fire.ogg@0.1, explode.ogg@0.1");
    EXPECT_EQ(heard["stage end"], "endstage.ogg@0.1");
    EXPECT_EQ(heard["next stage"], "startstage.ogg@0.1, bploop.ogg@0.6 loop stop");
    EXPECT_EQ(heard["lost plane"], "pldeath.ogg@0.1");
    EXPECT_EQ(cuts.size(), 11u);
}
