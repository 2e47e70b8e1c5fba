// Clouds and mountains.
#include "world/scenery.h"

#include <memory>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "platform/random.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/qndraw.h"

int cloud_tag::create_em() {
  for (int i = 0; i < 19; ++i) {
    auto c = std::make_shared<cloud_tag>();
    c->offs = static_cast<int>(random_real(-10.0, 0.0));
    c->x = static_cast<float>(random_real(-1000.0, 1640.0));
    c->y = static_cast<int>(random_real(95.0, 300.0));
    c->spd = static_cast<float>(random_real(-1.5, 1.5));
    c->scale = static_cast<float>(random_real(0.5, 1.0));
    cloud_list.add_last(std::move(c));
  }
  return 0;
}

int cloud_tag::update() {
  x += static_cast<float>(mountains->mspd) + spd;
  if (x < -1000.0f) x = 1640.0f;
  if (x > 1640.0f) x = -1000.0f;
  // Every cloud is drawn, on screen or not; each at its own depth.
  draw3d->sip(LightBlend, 0.8f, 0.0f, scale, scale);
  draw3d->i3d(cloud_img, x, static_cast<float>(y), 0, static_cast<float>(offs), 0.0f, 1);
  SetScale(1.0f, 1.0f);
  return 0;
}

int cloud_tag::update_all() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  cloud_list.visit([](cloud_tag& c) { c.update(); });
  return 0;
}

int cloud_tag::destroy_all() {
  cloud_list.clear();
  return 0;
}

int mountain_tag::update() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);

  mt1_x += mspd;
  mt2_x += mspd;
  // The overshoot is not carried over; the strips drift apart by a few pixels.
  if (mt1_x < -306) mt1_x = 522;
  if (mt2_x < -306) mt2_x = 522;
  if (mt1_x > 522) mt1_x = -306;
  if (mt2_x > 522) mt2_x = -306;

  DrawImage(mts1_img, static_cast<float>(mt1_x), 332.0f, 0);
  DrawImage(mts2_img, static_cast<float>(mt2_x), 332.0f, 0);

  // The shield does not protect from the ground. Once the stage is cleared the plane
  // is gone from the sky (it is no longer drawn), so the ground cannot take it either.
  if (game_state == state_play && play_phase == phase_stage_cleared) return 0;
  const int px = static_cast<int>(player->x);
  const int py = static_cast<int>(player->y);
  if (ImagesOverlap(sprites, px, py, player->dir, mts1_img, mt1_x, 332, 0) != 0 ||
      ImagesOverlap(sprites, px, py, player->dir, mts2_img, mt2_x, 332, 0) != 0)
    player_tag::init_death();
  return 0;
}
