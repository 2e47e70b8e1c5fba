// The blimp: worth 250 x level when shot, deadly to touch without the shield.
#include "world/blimp.h"

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

// The hit picture pair drifts the way the blimp was facing.
void blimp_hit() {
  blimp_state = blimp_drifting;
  play_sfx(snd_blimphit);
}

void blimp_to_hit_frame() {
  if (blimp_frame == 10) blimp_frame = 0;
  else if (blimp_frame == 11) blimp_frame = 2;
}

}  // namespace

int blimp(int setup) {
  if (setup != 0) {
    blimp_state = blimp_flying;
    blimp_frame = static_cast<int>(random_real(10.0, 12.0));
    blimp_y = static_cast<int>(random_real(125.0, 300.0));
    blimp_x = static_cast<int>(random_real(-6000.0, 6640.0));
    blimp_anim = 0;
    blimp_anim_tick = 0;
    return 0;
  }

  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);

  if (blimp_state == blimp_flying) {
    // Half the scenery speed, turning with it.
    blimp_x += mountains->mspd / 2;
    if (blimp_x < -6000) blimp_x = 6640;
    if (blimp_x > 6640) blimp_x = -6000;
    if (blimp_x > 60 && blimp_x < 580) {
      DrawImage(sprites, static_cast<float>(blimp_x), static_cast<float>(blimp_y), blimp_frame);
      // Every shot that overlaps in this pass scores, tested against the frame as
      // it stands after an earlier hit.
      pshot_list.visit([](pshot_tag& shot) {
        if (ImagesOverlap(sprites, shot.x, shot.y, 21, sprites, blimp_x, blimp_y, blimp_frame) == 0)
          return;
        blimp_hit();
        pshot_list.remove(&shot);
        const int points = player->level * 250;
        player->score += points;
        points_tag::create_it(blimp_x, blimp_y, points);
        blimp_to_hit_frame();
      });
      if (shield_tmr == 0 &&
          ImagesOverlap(sprites, static_cast<int>(player->x), static_cast<int>(player->y),
                        player->dir, sprites, blimp_x, blimp_y, blimp_frame) != 0) {
        blimp_hit();
        blimp_to_hit_frame();
        player_tag::init_death();
      }
    }
  }

  if (blimp_state == blimp_drifting) {
    blimp_x += blimp_frame == 0 ? 2 : -2;
    if (blimp_x < 60 || blimp_x > 580) blimp_state = blimp_gone;  // still drawn this pass
    DrawImage(blimp_hit_img, static_cast<float>(blimp_x), static_cast<float>(blimp_y),
              blimp_frame + blimp_anim);
    if (++blimp_anim_tick > 4) {
      blimp_anim_tick = 0;
      blimp_anim ^= 1;
    }
  }
  return 0;
}
