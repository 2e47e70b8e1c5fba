// The player's plane and its shots.
#include "world/player.h"
#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/pshot.h"
#include "world/scenery.h"
#include "world_fixture.h"

using PlayerTest = WorldTest;

TEST_F(PlayerTest, StageStartFliesInFor121Frames) {
  player_tag::reset(1);
  EXPECT_EQ(play_phase, phase_fly_in);
  EXPECT_EQ(shield_tmr, 250);
  EXPECT_EQ(cloud_list.count(), 19u);
  EXPECT_EQ(blimp_state, blimp_flying);

  int frames = 0;
  while (play_phase == phase_fly_in && frames < 1000) {
    run_play();
    ++frames;
  }
  EXPECT_EQ(frames, 121);
  EXPECT_EQ(player->x, 200.0f);
  EXPECT_EQ(player->dir, 1);
  // The shield only counts down once the player is in control.
  EXPECT_EQ(shield_tmr, 250);
  EXPECT_EQ(rec->count("Stage: 1"), 121);
  EXPECT_EQ(rec->count("Get Ready!!"), 121);
}

TEST_F(PlayerTest, TurnsOnPressesNotWhileHeld) {
  emit_key_down(KeyCodeArrowLeft);
  player->update();
  EXPECT_EQ(player->dir, 0);
  EXPECT_EQ(mountains->mspd, 4);

  emit_key_down(KeyCodeArrowRight);  // left still held: right wins on its own press
  emit_key_up(KeyCodeArrowRight);
  player->update();
  EXPECT_EQ(player->dir, 1);
  EXPECT_EQ(mountains->mspd, -4);

  player->update();  // left held all along: no second turn
  EXPECT_EQ(player->dir, 1);

  emit_key_up(KeyCodeArrowLeft);
  emit_key_down(KeyCodeArrowLeft);
  player->update();
  EXPECT_EQ(player->dir, 0);
  emit_key_up(KeyCodeArrowLeft);

  // No control during the fly-in.
  play_phase = phase_fly_in;
  emit_key_down(KeyCodeArrowRight);
  player->get_inputs();
  EXPECT_EQ(player->dir, 0);
  emit_key_up(KeyCodeArrowRight);
}

TEST_F(PlayerTest, HeightIsClampedBeforeTheFrameIsDrawn) {
  player->y = 79.0f;
  emit_key_down(KeyCodeArrowUp);
  Cls();
  player->update();
  emit_key_up(KeyCodeArrowUp);
  EXPECT_EQ(player->y, 80.0f);
  EXPECT_TRUE(lit_at(200, 95));   // bottom rows of a frame centred on 80
  EXPECT_FALSE(lit_at(200, 61));  // would be lit by a frame drawn at 77

  player->y = 433.0f;
  emit_key_down(KeyCodeArrowDown);
  Cls();
  player->update();
  emit_key_up(KeyCodeArrowDown);
  EXPECT_EQ(player->y, 432.0f);
  EXPECT_TRUE(lit_at(200, 417));
  EXPECT_FALSE(lit_at(200, 450));
}

TEST_F(PlayerTest, FacingLeftRestsAt440) {
  player->dir = 0;
  for (int i = 0; i < 39; ++i) player->update();
  EXPECT_EQ(player->x, 434.0f);
  player->update();
  EXPECT_EQ(player->x, 440.0f);
  player->update();
  EXPECT_EQ(player->x, 440.0f);

  player->dir = 1;
  for (int i = 0; i < 50; ++i) player->update();
  EXPECT_EQ(player->x, 200.0f);
}

TEST_F(PlayerTest, ShieldBlinksThreeOnThreeOff) {
  shield_tmr = 250;
  std::string seen;
  for (int i = 0; i < 14; ++i) {
    Cls();
    player->update();
    seen += lit_at(200, 200) ? '#' : '.';
  }
  EXPECT_EQ(seen, "##...###...###");
  shield_tmr = 1;
  player->update();
  EXPECT_EQ(shield_tmr, 0);
  player->update();
  EXPECT_EQ(flash_ctr, 0);
}

TEST_F(PlayerTest, ShotsStartTruncatedAndLeaveAtTheBandEdges) {
  player->x = 200.9f;
  player->y = 200.9f;
  pshot_tag::fire();
  ASSERT_EQ(pshot_list.count(), 1u);
  auto shot = pshot_list.items()[0];
  EXPECT_EQ(shot->x, 224);
  EXPECT_EQ(shot->y, 200);
  EXPECT_EQ(shot->spd, 8);

  for (int i = 0; i < 38; ++i) pshot_tag::update_all();
  EXPECT_EQ(shot->x, 528);
  EXPECT_EQ(pshot_list.count(), 1u);
  Cls();
  pshot_tag::update_all();
  EXPECT_EQ(shot->x, 536);
  EXPECT_TRUE(pshot_list.empty());
  EXPECT_TRUE(lit_at(536, 200));  // drawn once at 536 before it went

  player->x = 440.0f;
  player->dir = 0;
  pshot_tag::fire();
  shot = pshot_list.items()[0];
  EXPECT_EQ(shot->x, 416);
  EXPECT_EQ(shot->spd, -8);
  for (int i = 0; i < 39; ++i) pshot_tag::update_all();
  EXPECT_EQ(shot->x, 104);
  EXPECT_EQ(pshot_list.count(), 1u);
  pshot_tag::update_all();
  EXPECT_EQ(shot->x, 96);
  EXPECT_TRUE(pshot_list.empty());
}
