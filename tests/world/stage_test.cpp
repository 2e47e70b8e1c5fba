// The stage flow and the blimp.
#include <functional>
#include <string>

#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"
#include "world_fixture.h"

using StageTest = WorldTest;

namespace {

// Plays out a stage-clear pause from its start; returns its length in frames.
int run_stage_clear() {
  play_phase = phase_stage_cleared;
  state_timer = 0;
  int frames = 0;
  const int level = player->level;
  while (player->level == level && frames < 1000) {
    run_play();
    ++frames;
  }
  return frames;
}

// What the player was shown of a score change: the popups, or else the bonus line.
std::string score_shown(const recording_draw& rec) {
  std::string popups;
  for (const auto& p : points_list.items()) popups += (popups.empty() ? "" : " ") + p->amnt;
  if (!popups.empty()) return popups;
  for (const auto& t : rec.texts)
    if (t.text.starts_with("Bonus: ")) return t.text;
  return "nothing";
}

// A blimp in flight at (x, 200).
void fly_blimp(int x, int frame) {
  blimp_state = blimp_flying;
  blimp_x = x;
  blimp_y = 200;
  blimp_frame = frame;
}

}  // namespace

TEST_F(StageTest, EachClearedStageAddsPlanesBalloonsAndABonus) {
  player_tag::reset(1);
  EXPECT_EQ(ebplane_list.count(), 10u);
  EXPECT_EQ(balloon_list.count(), 3u);

  ebplane_list.clear();
  play_phase = phase_in_control;
  player->x = 200.0f;
  run_play();  // finds the list empty
  EXPECT_EQ(play_phase, phase_stage_cleared);
  EXPECT_EQ(run_stage_clear(), 301);
  EXPECT_EQ(player->level, 2);
  EXPECT_EQ(player->score, 500);
  EXPECT_EQ(play_phase, phase_fly_in);
  EXPECT_EQ(ebplane_list.count(), 15u);
  EXPECT_EQ(balloon_list.count(), 6u);

  rec->texts.clear();
  EXPECT_EQ(run_stage_clear(), 301);
  EXPECT_EQ(rec->count("Bonus: 1000"), 301);
  EXPECT_EQ(rec->count("Stage Clear!"), 301);
  EXPECT_EQ(player->score, 1500);
  EXPECT_EQ(player->level, 3);
  EXPECT_EQ(ebplane_list.count(), 20u);
  EXPECT_EQ(balloon_list.count(), 9u);
  EXPECT_EQ(player->best_sc, 1500);
  EXPECT_EQ(player->new_bs, 1);

  // A new game starts over at 10 and 3.
  clear_world();
  player_tag::reset(1);
  EXPECT_EQ(ebplane_list.count(), 10u);
  EXPECT_EQ(balloon_list.count(), 3u);
  EXPECT_EQ(player->best_sc, 1500);
}

TEST_F(StageTest, StageClearIgnoresTheGroundUnderAnUndrawnPlane) {
  // The plane is gone from the sky once the stage is cleared; a low plane must not
  // turn the win into a lost life.
  play_phase = phase_stage_cleared;
  player->y = 432.0f;
  run_play();
  EXPECT_EQ(game_state, state_play);
  EXPECT_EQ(player->lives, 3);

  play_phase = phase_in_control;
  mountains->update();
  EXPECT_EQ(game_state, state_dying);
}

TEST_F(StageTest, LostPlanesRestartTheStageThenEndTheGame) {
  player->level = 4;
  ebplane_num = 25;
  player_tag::init_death();
  ASSERT_EQ(game_state, state_dying);
  for (int i = 0; i < 249; ++i) run_dying();
  EXPECT_EQ(game_state, state_dying);
  run_dying();
  EXPECT_EQ(game_state, state_play);
  EXPECT_EQ(play_phase, phase_fly_in);
  EXPECT_EQ(player->level, 4);
  EXPECT_EQ(ebplane_list.count(), 25u);

  player->lives = 1;
  player_tag::init_death();
  EXPECT_EQ(player->lives, 0);
  for (int i = 0; i < 250; ++i) run_dying();
  EXPECT_EQ(game_state, state_game_over);
  EXPECT_EQ(state_timer, 0);

  for (int i = 0; i < 249; ++i) run_game_over();
  EXPECT_EQ(game_state, state_game_over);
  emit_key_down(KeyCodeLeftControl);  // fire still held from play
  run_game_over();
  EXPECT_EQ(game_state, state_title_menu);
  EXPECT_EQ(key_hits(KeyCodeLeftControl), 0);
  emit_key_up(KeyCodeLeftControl);
}

TEST_F(StageTest, DyingAlwaysEndsAsALostPlane) {
  // The last plane shot down by a shot still in flight while the player dies.
  park_player();
  mountains->mspd = 0;
  add_plane(300.0f, 200, 0.0f, 12);
  add_shot(300, 200, 0);
  player_tag::init_death();
  run_dying();
  EXPECT_TRUE(ebplane_list.empty());
  EXPECT_EQ(player->score, 15);
  for (int i = 0; i < 248; ++i) run_dying();
  EXPECT_EQ(game_state, state_dying);
  EXPECT_EQ(state_timer, 249);
  run_dying();
  EXPECT_EQ(game_state, state_play);
  EXPECT_EQ(play_phase, phase_fly_in);
  EXPECT_EQ(player->level, 1);
  EXPECT_EQ(ebplane_list.count(), 10u);
}

TEST_F(StageTest, BlimpComesIntoViewAt578) {
  park_player();
  fly_blimp(6000, 10);
  for (int i = 0; i < 2710; ++i) blimp(0);
  EXPECT_EQ(blimp_x, 580);
  Cls();
  blimp(0);
  EXPECT_EQ(blimp_x, 578);
  EXPECT_TRUE(lit_at(578, 200));

  // Turning reverses it at half the scenery speed, and it loops.
  mountains->mspd = 4;
  blimp_x = 6639;
  blimp(0);
  EXPECT_EQ(blimp_x, -6000);
}

// Every amount is the stage number times the rule's own: at stage 3 one that forgot the
// multiplier, or took the next stage's, is off. A shot waits at (300, 200), the player's
// plane at (200, 200).
TEST_F(StageTest, EveryScoreRuleIsMultipliedByTheStage) {
  struct rule {
    const char* event;
    std::function<void()> place, update;
    int change;
    const char* shown;
  };
  const rule rules[] = {
      {"enemy shot", [] { add_plane(300.0f, 200, 0.0f, 12); }, ebplane_tag::update_all, 45, "+45"},
      {"balloon shot", [] { add_balloon(300, 200.0f); }, balloon_tag::update_all, -450, "-450"},
      {"balloon touched", [] { add_balloon(200, 200.0f); }, balloon_tag::update_all, -450, "-450"},
      {"blimp shot", [] { fly_blimp(300, 10); }, [] { blimp(0); }, 750, "+750"},
      {"stage clear", nullptr, run_stage_clear, 1500, "Bonus: 1500"},
  };
  for (const rule& r : rules) {
    SCOPED_TRACE(r.event);
    clear_world();
    rec->texts.clear();
    mountains->mspd = 0;
    player->level = 3;
    player->score = 1000;
    add_shot(300, 200, 0);
    if (r.place) r.place();
    r.update();
    EXPECT_EQ(player->score - 1000, r.change);
    EXPECT_EQ(score_shown(*rec), r.shown);
  }
}

TEST_F(StageTest, BlimpShotOnceDriftsAwayTheWayItFaced) {
  park_player();
  fly_blimp(302, 11);  // at 300 after this pass's move
  add_shot(300, 200, 0);
  blimp(0);
  EXPECT_TRUE(pshot_list.empty());
  EXPECT_EQ(blimp_frame, 2);
  EXPECT_EQ(blimp_state, blimp_drifting);
  EXPECT_EQ(blimp_x, 298);  // drifting left from the hit pass on

  for (int i = 0; i < 4; ++i) blimp(0);
  EXPECT_EQ(blimp_anim, 1);  // a new picture every 5 passes
  while (blimp_state == blimp_drifting) blimp(0);
  EXPECT_EQ(blimp_x, 58);
  EXPECT_EQ(blimp_state, blimp_gone);
  EXPECT_EQ(player->score, 250);  // paid for the hit alone
}

TEST_F(StageTest, BlimpIgnoresAShieldedPlaneAndKillsAnUnshieldedOne) {
  player->x = 300.0f;
  player->y = 200.0f;
  fly_blimp(302, 10);
  shield_tmr = 10;
  blimp(0);
  EXPECT_EQ(blimp_state, blimp_flying);
  EXPECT_EQ(game_state, state_play);

  shield_tmr = 0;
  blimp(0);
  EXPECT_EQ(blimp_state, blimp_drifting);
  EXPECT_EQ(blimp_frame, 0);
  EXPECT_EQ(game_state, state_dying);
  EXPECT_EQ(player->score, 0);
  EXPECT_TRUE(points_list.empty());

  clear_world();
  EXPECT_EQ(blimp_state, blimp_gone);
}
