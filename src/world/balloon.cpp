// Balloons.
#include "world/balloon.h"

#include <memory>

#include "audio/audio.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "platform/random.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"

namespace {

// The pop, its popup and the penalty; the score never goes below 0.
void pop(balloon_tag& b, int iy, pshot_tag* shot) {
  play_sfx(snd_balloonpop);
  if (shot) pshot_list.remove(shot);
  bpop_tag::create_it(b.x, b.y);
  const int penalty = 150 * player->level;
  points_tag::create_it(b.x, iy, -penalty);
  player->score -= penalty;
  if (player->score < 0) player->score = 0;
  balloon_list.remove(&b);
}

}  // namespace

int balloon_tag::create_em() {
  for (int i = 0; i < balloon_num; ++i) {
    auto b = std::make_shared<balloon_tag>();
    b->y = static_cast<float>(random_real(95.0, 300.0));
    b->x = static_cast<int>(random_real(-2000.0, 2640.0));
    b->dir = -0.2f;
    balloon_list.add_last(std::move(b));
  }
  return 0;
}

int balloon_tag::update() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);

  y += dir;
  if (y < 95.0f) {
    y = 95.0f;
    dir = 0.2f;
  }
  if (y > 300.0f) {
    y = 300.0f;
    dir = -0.2f;
  }

  x += mountains->mspd;
  if (x < -2000) x = 2640;
  if (x > 2640) x = -2000;

  if (!(x > 80 && x < 560)) return 0;

  DrawImage(sprites, static_cast<float>(x), y, 14);

  const int iy = static_cast<int>(y);
  // Each overlapping shot pops it again and costs again.
  pshot_list.visit([&](pshot_tag& shot) {
    if (ImagesOverlap(sprites, x, iy, 14, sprites, shot.x, shot.y, 21) == 0) return;
    pop(*this, iy, &shot);
  });

  // Flying into one pops it but does not harm the plane.
  if (shield_tmr == 0 && ImagesOverlap(sprites, x, iy, 14, sprites, static_cast<int>(player->x),
                                       static_cast<int>(player->y), player->dir) != 0)
    pop(*this, iy, nullptr);
  return 0;
}

int balloon_tag::update_all() {
  balloon_list.visit([](balloon_tag& b) { b.update(); });
  return 0;
}

int balloon_tag::destroy_all() {
  balloon_list.clear();
  return 0;
}
