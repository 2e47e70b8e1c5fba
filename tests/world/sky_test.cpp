// Enemy planes, balloons, clouds and mountains: movement, wraps, hits and crashes.
#include <memory>

#include "game/stage.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"
#include "world_fixture.h"

class SkyTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    park_player();
    mountains->mspd = 0;
  }
};

TEST_F(SkyTest, PlanesAndBalloonsAreOnlyHitStrictlyInsideTheBand) {
  auto edge = add_plane(80.0f, 200, 0.0f, 12);
  add_shot(80, 200);
  ebplane_tag::update_all();
  EXPECT_TRUE(ebplane_list.contains(edge.get()));
  EXPECT_EQ(pshot_list.count(), 1u);

  edge->x = 560.0f;
  pshot_list.items()[0]->x = 560;
  ebplane_tag::update_all();
  EXPECT_TRUE(ebplane_list.contains(edge.get()));

  edge->x = 559.5f;
  pshot_list.items()[0]->x = 559;
  ebplane_tag::update_all();
  EXPECT_FALSE(ebplane_list.contains(edge.get()));
  EXPECT_TRUE(pshot_list.empty());

  auto b = add_balloon(80, 200.0f);
  add_shot(80, 200);
  balloon_tag::update_all();
  EXPECT_TRUE(balloon_list.contains(b.get()));
  b->x = 560;
  pshot_list.items()[0]->x = 560;
  balloon_tag::update_all();
  EXPECT_TRUE(balloon_list.contains(b.get()));
  b->x = 81;
  pshot_list.items()[0]->x = 81;
  balloon_tag::update_all();
  EXPECT_FALSE(balloon_list.contains(b.get()));
}

TEST_F(SkyTest, StripsWrapToTheirFarEndsWithoutOvershoot) {
  mountains->mspd = -4;
  auto p = add_plane(-1996.5f, 200, 0.0f, 12);
  p->update();
  EXPECT_EQ(p->x, 2640.0f);
  mountains->mspd = 0;
  p->x = 2637.0f;
  p->spd = 3.5f;
  p->update();
  EXPECT_EQ(p->x, -2000.0f);

  mountains->mspd = -4;
  auto b = add_balloon(-1998, 150.0f);
  b->update();
  EXPECT_EQ(b->x, 2640);
  mountains->mspd = 4;
  b->x = 2638;
  b->update();
  EXPECT_EQ(b->x, -2000);

  auto c = std::make_shared<cloud_tag>();
  c->scale = 1.0f;
  c->x = 1640.0f;
  c->spd = 0.5f;
  mountains->mspd = 0;
  c->update();
  EXPECT_EQ(c->x, -1000.0f);
  c->x = -1000.0f;
  c->spd = -0.5f;
  c->update();
  EXPECT_EQ(c->x, 1640.0f);

  mountains->mspd = -4;
  mountains->mt1_x = -304;
  mountains->mt2_x = 110;
  mountains->update();
  EXPECT_EQ(mountains->mt1_x, 522);
  EXPECT_EQ(mountains->mt2_x, 106);
  mountains->mspd = 4;
  mountains->mt1_x = 100;
  mountains->mt2_x = 520;
  mountains->update();
  EXPECT_EQ(mountains->mt2_x, -306);
  EXPECT_EQ(game_state, state_play);  // the parked plane never touches them
}

TEST_F(SkyTest, EveryOverlappingShotScoresAgain) {
  player->level = 2;
  auto p = add_plane(300.0f, 200, 0.0f, 13);
  add_shot(300, 200);
  add_shot(302, 201);
  auto far = add_shot(400, 300);
  ebplane_tag::update_all();
  EXPECT_FALSE(ebplane_list.contains(p.get()));
  ASSERT_EQ(pshot_list.count(), 1u);
  EXPECT_EQ(pshot_list.items()[0], far);
  EXPECT_EQ(player->score, 60);
  ASSERT_EQ(points_list.count(), 2u);
  EXPECT_EQ(points_list.items()[0]->amnt, "+30");
  EXPECT_EQ(explode_list.count(), 2u);
  ASSERT_EQ(particle_list.count(), 4u);
  EXPECT_EQ(particle_list.items()[0]->frame, 18);
  EXPECT_EQ(particle_list.items()[1]->frame, 19);

  // The list was not empty when this pass began: the clear comes one tick later.
  EXPECT_EQ(play_phase, phase_in_control);
  ebplane_tag::update_all();
  EXPECT_EQ(play_phase, phase_stage_cleared);
  EXPECT_EQ(state_timer, 0);

  // Two shots on a balloon cost twice; the score never drops below 0.
  player->score = 100;
  player->level = 1;
  add_balloon(300, 200.0f);
  add_shot(300, 200);
  add_shot(301, 200);
  pshot_list.remove(far.get());
  balloon_tag::update_all();
  EXPECT_TRUE(balloon_list.empty());
  EXPECT_TRUE(pshot_list.empty());
  EXPECT_EQ(player->score, 0);
  ASSERT_EQ(points_list.count(), 4u);
  EXPECT_EQ(points_list.items()[2]->amnt, "-150");
  EXPECT_EQ(bpop_list.count(), 2u);
}

TEST_F(SkyTest, CrashIntoTheOnlyPlaneLeftKeepsItAndClearsNothing) {
  player->x = 300.0f;
  player->y = 200.0f;
  auto p = add_plane(300.0f, 200, 0.0f, 12);
  ebplane_tag::update_all();
  EXPECT_EQ(game_state, state_dying);
  EXPECT_TRUE(ebplane_list.contains(p.get()));
  EXPECT_EQ(player->lives, 2);
  // The plane's explosion and wreckage, then the player's.
  ASSERT_EQ(explode_list.count(), 2u);
  EXPECT_EQ(explode_list.items()[0]->scale, 1.0f);
  ASSERT_EQ(particle_list.count(), 6u);
  EXPECT_EQ(particle_list.items()[0]->frame, 16);
  EXPECT_EQ(particle_list.items()[1]->frame, 17);

  // A plane visited second is taken down with the player.
  game_state = state_play;
  player->x = 300.0f;
  player->y = 200.0f;
  p->x = 1000.0f;
  auto second = add_plane(300.0f, 200, 0.0f, 13);
  ebplane_tag::update_all();
  EXPECT_EQ(game_state, state_dying);
  EXPECT_FALSE(ebplane_list.contains(second.get()));
  EXPECT_TRUE(ebplane_list.contains(p.get()));
}

TEST_F(SkyTest, ShieldProtectsFromPlanesAndBalloonsButNotMountains) {
  shield_tmr = 100;
  player->x = 300.0f;
  player->y = 200.0f;
  auto p = add_plane(300.0f, 200, 0.0f, 12);
  auto b = add_balloon(300, 200.0f);
  ebplane_tag::update_all();
  balloon_tag::update_all();
  EXPECT_EQ(game_state, state_play);
  EXPECT_TRUE(ebplane_list.contains(p.get()));
  EXPECT_TRUE(balloon_list.contains(b.get()));
  EXPECT_EQ(player->lives, 3);

  // Without it a balloon pops on contact but the plane flies on.
  shield_tmr = 0;
  player->score = 500;
  ebplane_list.remove(p.get());
  balloon_tag::update_all();
  EXPECT_FALSE(balloon_list.contains(b.get()));
  EXPECT_EQ(player->score, 350);
  EXPECT_EQ(game_state, state_play);

  shield_tmr = 100;
  player->y = 432.0f;  // the frame reaches into the solid rows of the strips
  mountains->update();
  EXPECT_EQ(game_state, state_dying);
  EXPECT_EQ(player->lives, 2);
}
