// The stage flow and the blimp.
#include "game/stage.h"
#include "platform/input.h"
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

// Plays out a stage-clear pause; returns its length in frames.
int run_stage_clear() {
  int frames = 0;
  const int level = player->level;
  while (player->level == level && frames < 1000) {
    run_play();
    ++frames;
  }
  return frames;
}

int count_text(const recording_draw& rec, const std::string& text) {
  int n = 0;
  for (const auto& t : rec.texts) n += t.text == text;
  return n;
}

}  // namespace

TEST_F(StageTest, EachClearedStageAddsPlanesBalloonsAndABonus) {
  player_tag::reset(1);
  EXPECT_EQ(ebplane_list.count(), 10u);
  EXPECT_EQ(balloon_list.count(), 3u);

  ebplane_list.clear();
  play_phase = 1;
  player->x = 200.0f;
  run_play();  // finds the list empty
  EXPECT_EQ(play_phase, 2);
  EXPECT_EQ(run_stage_clear(), 301);
  EXPECT_EQ(player->level, 2);
  EXPECT_EQ(player->score, 500);
  EXPECT_EQ(play_phase, 0);
  EXPECT_EQ(ebplane_list.count(), 15u);
  EXPECT_EQ(balloon_list.count(), 6u);

  rec->texts.clear();
  play_phase = 2;
  state_timer = 0;
  EXPECT_EQ(run_stage_clear(), 301);
  EXPECT_EQ(count_text(*rec, "Bonus: 1000"), 301);
  EXPECT_EQ(count_text(*rec, "Stage Clear!"), 301);
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
  play_phase = 2;
  player->y = 432.0f;
  run_play();
  EXPECT_EQ(game_state, 2);
  EXPECT_EQ(player->lives, 3);

  play_phase = 1;
  mountains->update();
  EXPECT_EQ(game_state, 6);
}

TEST_F(StageTest, LostPlanesRestartTheStageThenEndTheGame) {
  player->level = 4;
  ebplane_num = 25;
  player_tag::init_death();
  ASSERT_EQ(game_state, 6);
  for (int i = 0; i < 249; ++i) run_dying();
  EXPECT_EQ(game_state, 6);
  run_dying();
  EXPECT_EQ(game_state, 2);
  EXPECT_EQ(play_phase, 0);
  EXPECT_EQ(player->level, 4);
  EXPECT_EQ(ebplane_list.count(), 25u);

  player->lives = 1;
  player_tag::init_death();
  EXPECT_EQ(player->lives, 0);
  for (int i = 0; i < 250; ++i) run_dying();
  EXPECT_EQ(game_state, 5);
  EXPECT_EQ(state_timer, 0);

  for (int i = 0; i < 249; ++i) run_game_over();
  EXPECT_EQ(game_state, 5);
  press_key(162);  // fire still held from play
  run_game_over();
  EXPECT_EQ(game_state, 4);
  EXPECT_EQ(key_hits(162), 0);
  release_key(162);
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
  EXPECT_EQ(game_state, 6);
  EXPECT_EQ(state_timer, 249);
  run_dying();
  EXPECT_EQ(game_state, 2);
  EXPECT_EQ(play_phase, 0);
  EXPECT_EQ(player->level, 1);
  EXPECT_EQ(ebplane_list.count(), 10u);
}

TEST_F(StageTest, BlimpComesIntoViewAt578) {
  park_player();
  blimp_state = 1;
  blimp_frame = 10;
  blimp_x = 6000;
  blimp_y = 200;
  for (int i = 0; i < 2710; ++i) blimp(0);
  EXPECT_EQ(blimp_x, 580);
  clear_screen();
  blimp(0);
  EXPECT_EQ(blimp_x, 578);
  EXPECT_TRUE(lit(578, 200));

  // Turning reverses it at half the scenery speed, and it loops.
  mountains->mspd = 4;
  blimp_x = 6639;
  blimp(0);
  EXPECT_EQ(blimp_x, -6000);
}

TEST_F(StageTest, BlimpShotPaysByStageAndDriftsAway) {
  player->level = 3;
  park_player();
  blimp_state = 1;
  blimp_x = 302;  // 300 after this pass's move
  blimp_y = 200;
  blimp_frame = 11;
  add_shot(300, 200, 0);
  blimp(0);
  EXPECT_EQ(player->score, 750);
  ASSERT_EQ(points_list.count(), 1u);
  EXPECT_EQ(points_list.items()[0]->amnt, "+750");
  EXPECT_TRUE(pshot_list.empty());
  EXPECT_EQ(blimp_frame, 2);
  EXPECT_EQ(blimp_state, 0);
  EXPECT_EQ(blimp_x, 298);  // drifting left from the hit pass on

  for (int i = 0; i < 4; ++i) blimp(0);
  EXPECT_EQ(blimp_anim, 1);  // a new picture every 5 passes
  while (blimp_state == 0) blimp(0);
  EXPECT_EQ(blimp_x, 58);
  EXPECT_EQ(blimp_state, 2);
  EXPECT_EQ(player->score, 750);
}

TEST_F(StageTest, BlimpIgnoresAShieldedPlaneAndKillsAnUnshieldedOne) {
  player->x = 300.0f;
  player->y = 200.0f;
  blimp_state = 1;
  blimp_x = 302;
  blimp_y = 200;
  blimp_frame = 10;
  shield_tmr = 10;
  blimp(0);
  EXPECT_EQ(blimp_state, 1);
  EXPECT_EQ(game_state, 2);

  shield_tmr = 0;
  blimp(0);
  EXPECT_EQ(blimp_state, 0);
  EXPECT_EQ(blimp_frame, 0);
  EXPECT_EQ(game_state, 6);
  EXPECT_EQ(player->score, 0);
  EXPECT_TRUE(points_list.empty());

  clear_world();
  EXPECT_EQ(blimp_state, 2);
}
