// Smoke, wreckage, explosions, balloon pops and score popups: their lifetimes.
#include <memory>

#include "graphics/draw/draw2d.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world_fixture.h"

using EffectsTest = WorldTest;

namespace {

// Updates a one-object list until it empties; returns how many updates that took.
template <class T, class Fn>
int updates_until_gone(obj_list<T>& list, Fn update_all, int limit = 1000) {
  int n = 0;
  while (!list.empty() && n < limit) {
    update_all();
    ++n;
  }
  return n;
}

}  // namespace

TEST_F(EffectsTest, ExplosionShowsFourFramesTwelveTicksEach) {
  explode_tag::create_it(300.0f, 200.0f, 1.0f);
  auto e = explode_list.items()[0];
  for (int i = 0; i < 47; ++i) explode_tag::update_all();
  EXPECT_EQ(e->frame, 25);
  EXPECT_EQ(explode_list.count(), 1u);
  Cls();
  explode_tag::update_all();  // the 48th draw, still frame 25, and gone
  EXPECT_TRUE(explode_list.empty());
  EXPECT_TRUE(lit_at(300, 200));
  EXPECT_NEAR(e->scale, 1.96f, 1e-4);
  float sx = 0, sy = 0;
  GetScale(sx, sy);
  EXPECT_EQ(sx, 1.0f);
}

TEST_F(EffectsTest, PopupRisesToLine60AndIsAlwaysFlat) {
  mode3d = 2;
  points_tag::create_it(300, 61, -300);
  auto p = points_list.items()[0];
  EXPECT_EQ(p->amnt, "-300");
  points_tag::update_all();
  EXPECT_EQ(mode3d, 2);
  ASSERT_EQ(rec->texts.size(), 1u);
  EXPECT_EQ(rec->texts[0].y, 60.0f);
  EXPECT_EQ(rec->texts[0].centred, 1);
  // Flat: drawn in its own colour, not as a light-blended stereo pair.
  EXPECT_EQ(GetBlend(), AlphaBlend);

  EXPECT_EQ(updates_until_gone(points_list, points_tag::update_all), 249);  // 250 draws

  points_tag::create_it(0, 0, 30);
  EXPECT_EQ(points_list.items()[0]->amnt, "+30");
  points_tag::create_it(0, 0, -2147483647 - 1);
  EXPECT_EQ(points_list.items()[1]->amnt, "-2147483648");
}

TEST_F(EffectsTest, ParticlesPuffSmokeEveryFourthTickAndLeaveAtTheirBounds) {
  particle_tag::create_em(300.0f, 200.0f, 16, 2);
  ASSERT_EQ(particle_list.count(), 2u);
  EXPECT_EQ(particle_list.items()[0]->frame, 16);
  EXPECT_EQ(particle_list.items()[1]->frame, 17);
  for (auto& p : particle_list.items()) {
    EXPECT_GE(p->rot, 1);
    EXPECT_LE(p->rot, 360);
    p->xs = 0.0f;
    p->ys = 0.0f;
  }
  particle_list.remove(particle_list.items()[1].get());
  auto p = particle_list.items()[0];
  for (int i = 0; i < 3; ++i) particle_tag::update_all();
  EXPECT_TRUE(smoke_list.empty());
  particle_tag::update_all();
  ASSERT_EQ(smoke_list.count(), 1u);
  EXPECT_EQ(smoke_list.items()[0]->y, p->y);  // where the particle is after its move
  for (int i = 0; i < 4; ++i) particle_tag::update_all();
  EXPECT_EQ(smoke_list.count(), 2u);
  EXPECT_EQ(GetRotation(), 0.0f);

  // A piece thrown up from the top of the band goes on its first tick, after one draw.
  particle_tag::destroy_all();
  particle_tag::create_em(300.0f, 95.0f, 2, 1);
  particle_list.items()[0]->ys = -2.5f;
  Cls();
  particle_tag::update_all();
  EXPECT_TRUE(particle_list.empty());
  EXPECT_TRUE(lit_at(300, 93));
}
