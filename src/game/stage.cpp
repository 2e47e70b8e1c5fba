// The stage flow: fly-in, play, stage clear, the dying pause and game over.
#include "game/stage.h"

#include <string>

#include "audio/audio.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/joyread.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/qndraw.h"
#include "world/scenery.h"

namespace {

// Stage messages are always flat, whatever the glasses setting.
void stage_text(const std::string& first, float x1, const std::string& second, float x2) {
  const int saved = mode3d;
  SetAlpha(1.0f);
  SetBlend(AlphaBlend);
  SetColor(255, 255, 200);
  mode3d = 0;
  draw3d->t3d(first, x1, 199.0f, 0.0f, 1);
  draw3d->t3d(second, x2, 245.0f, 0.0f, 1);
  mode3d = saved;
}

void keep_best() {
  if (player->score > player->best_sc) {
    if (player->new_bs == 0) player->new_bs = 1;
    player->best_sc = player->score;
  }
}

}  // namespace

int run_play() {
  switch (play_phase) {
    case phase_fly_in:
      player->update2();
      mountains->update();
      cloud_tag::update_all();
      stage_text("Stage: " + std::to_string(player->level), 315.0f, "Get Ready!!", 310.0f);
      break;
    case phase_in_control:
      // Back to front.
      bpop_tag::update_all();
      cloud_tag::update_all();
      ebplane_tag::update_all();
      balloon_tag::update_all();
      player->update();
      blimp(0);
      pshot_tag::update_all();
      mountains->update();
      particle_tag::update_all();
      smoke_tag::update_all();
      explode_tag::update_all();
      points_tag::update_all();
      break;
    case phase_stage_cleared: {
      const int bonus = player->level * 500;
      ++state_timer;
      mountains->update();
      cloud_tag::update_all();
      stage_text("Stage Clear!", 310.0f, "Bonus: " + std::to_string(bonus), 310.0f);
      if (state_timer > 300) {
        player->score += bonus;
        player->level += 1;
        ebplane_num += 5;
        balloon_num += 3;
        clear_world();
        player_tag::reset(0);
      }
      break;
    }
    default: break;
  }

  keep_best();
  return 0;
}

int run_dying() {
  ++state_timer;
  bpop_tag::update_all();
  cloud_tag::update_all();
  ebplane_tag::update_all();
  balloon_tag::update_all();
  pshot_tag::update_all();
  blimp(0);
  mountains->update();
  particle_tag::update_all();
  smoke_tag::update_all();
  explode_tag::update_all();
  points_tag::update_all();
  // A shot still in flight may score while the plane is lost; the best score follows
  // it here too, or a game that ends now would never record those points.
  keep_best();

  if (state_timer >= 250) {
    if (player->lives > 0) {
      // The same stage again, with a full set of enemies.
      clear_world();
      player_tag::reset(0);
      game_state = state_play;
      play_phase = phase_fly_in;
    } else {
      state_timer = 0;
      game_state = state_game_over;
    }
  }
  return 0;
}

int run_game_over() {
  ++state_timer;
  cloud_tag::update_all();
  mountains->update();

  // Drawn directly, so it is never doubled in stereo.
  SetAlpha(1.0f);
  SetBlend(AlphaBlend);
  SetColor(255, 255, 200);
  SetScale(2.0f, 2.0f);
  DrawText("Game Over!", 210.0f, 200.0f);
  SetScale(1.0f, 1.0f);

  if (state_timer >= 250) {
    game_state = state_title_menu;
    // A fire button still held from play must not click in the menu. A close request
    // still ends the wait, so a stuck button cannot hold the program.
    while (joy0_down(joy_fire_button) != 0 || joy0_hits(joy_fire_button) != 0) {
      if (app_terminate() != 0) {
        quit_flag = 1;
        break;
      }
      delay(1);
    }
    while (key_hits(KeyCodeLeftControl) != 0) {
    }
  }
  return 0;
}

int clear_world() {
  blimp_state = blimp_gone;
  bpop_tag::destroy_all();
  pshot_tag::destroy_all();
  cloud_tag::destroy_all();
  smoke_tag::destroy_all();
  points_tag::destroy_all();
  ebplane_tag::destroy_all();
  explode_tag::destroy_all();
  particle_tag::destroy_all();
  balloon_tag::destroy_all();
  return 0;
}
