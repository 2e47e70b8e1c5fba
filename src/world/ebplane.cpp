// Enemy biplanes.
#include "world/ebplane.h"

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

int ebplane_tag::create_em() {
  for (int i = 0; i < ebplane_num; ++i) {
    auto plane = std::make_shared<ebplane_tag>();
    // The draws come in this order so a seed gives the same sky every time.
    plane->y = static_cast<int>(random_real(95.0, 300.0));
    plane->x = static_cast<float>(random_real(-2000.0, 2640.0));
    plane->dir = static_cast<int>(random_real(12.0, 14.0));
    if (plane->dir == 12) plane->spd = static_cast<float>(random_real(-3.5, -0.5));
    else plane->spd = static_cast<float>(random_real(0.5, 3.5));
    ebplane_list.add_last(std::move(plane));
  }
  return 0;
}

int ebplane_tag::update() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);

  x += static_cast<float>(mountains->mspd) + spd;
  if (x < -2000.0f) x = 2640.0f;
  if (x > 2640.0f) x = -2000.0f;

  // Off screen: neither drawn nor tested.
  if (!(x > 80.0f && x < 560.0f)) return 0;

  DrawImage(sprites, x, static_cast<float>(y), dir);

  const int ix = static_cast<int>(x);
  const int wreck = dir == 12 ? 16 : 18;

  // Every shot that overlaps this tick counts, even after the first has downed the plane.
  pshot_list.visit([&](pshot_tag& shot) {
    if (ImagesOverlap(sprites, ix, y, dir, sprites, shot.x, shot.y, 21) == 0) return;
    play_sfx(snd_explode);
    pshot_list.remove(&shot);
    const int points = 15 * player->level;
    points_tag::create_it(ix, y, points);
    player->score += points;
    explode_tag::create_it(x, static_cast<float>(y), 1.0f);
    particle_tag::create_em(x, static_cast<float>(y), wreck, 2);
    ebplane_list.remove(this);
  });

  if (shield_tmr == 0 &&
      ImagesOverlap(sprites, static_cast<int>(player->x), static_cast<int>(player->y), player->dir,
                    sprites, ix, y, dir) != 0) {
    play_sfx(snd_explode);
    explode_tag::create_it(x, static_cast<float>(y), 1.0f);
    particle_tag::create_em(x, static_cast<float>(y), wreck, 2);
    // The first plane of a pass survives a crash, so a crash into the last plane
    // never clears the stage.
    if (ebplane_ctr > 1) ebplane_list.remove(this);
    player_tag::init_death();
  }
  return 0;
}

int ebplane_tag::update_all() {
  ebplane_ctr = 0;
  ebplane_list.visit([](ebplane_tag& plane) {
    ++ebplane_ctr;
    plane.update();
  });
  // Cleared on the tick after the last plane went. Only in play: the dying state also
  // moves the planes, and its 250 frames must run out as a lost plane.
  if (ebplane_ctr == 0 && game_state == state_play) {
    state_timer = 0;
    play_phase = phase_stage_cleared;
    if (engine_chan) stop_channel(engine_chan);
    play_sfx(snd_endstage);
  }
  return 0;
}

int ebplane_tag::destroy_all() {
  ebplane_list.clear();
  return 0;
}
