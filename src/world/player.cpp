// The player's biplane.
#include "world/player.h"

#include "audio/audio.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "world/balloon.h"
#include "world/blimp.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/joyread.h"
#include "world/pshot.h"
#include "world/scenery.h"

int player_tag::reset(int new_game) {
  player_tag& p = *player;
  if (new_game != 0) {
    p.score = 0;
    p.level = 1;
    p.lives = 3;
    p.new_bs = 0;
    ebplane_num = 10;
    balloon_num = 3;
  }
  // At start-up only the totals are wanted; no world exists yet.
  if (first_run == 1) return 0;

  state_timer = 0;
  p.dir = 1;
  p.x = 80.0f;
  p.y = 200.0f;
  flash_ctr = 0;
  shield_tmr = 250;

  blimp(1);

  mountains->mspd = -4;
  mountains->mt1_x = 100;
  mountains->mt2_x = 514;

  cloud_tag::create_em();
  ebplane_tag::create_em();
  balloon_tag::create_em();

  play_phase = phase_fly_in;

  play_sfx(snd_startstage);
  engine_loop(1);
  return 0;
}

int player_tag::update() {
  get_inputs();

  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);

  // Clamped here rather than in get_inputs, so a step past the edge is undone before drawing.
  if (y < 80.0f) y = 80.0f;
  if (y > 432.0f) y = 432.0f;

  // Slide toward the side behind the plane.
  if (dir == 0 && x < 438.0f) x += 6.0f;
  if (dir == 1 && x > 200.0f) x -= 6.0f;

  if (shield_tmr != 0) {
    --shield_tmr;
    ++flash_ctr;
    if (flash_ctr > 5) flash_ctr = 0;
  } else {
    flash_ctr = 0;
  }

  // Shielded: 3 ticks shown, 3 hidden.
  if (flash_ctr < 3) DrawImage(sprites, x, y, dir);
  return 0;
}

int player_tag::update2() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  DrawImage(sprites, x, y, 1);
  x += 1.0f;
  if (x > 200.0f) {
    x = 200.0f;
    play_phase = phase_in_control;
  }
  return 0;
}

int player_tag::get_inputs() {
  if (play_phase != phase_in_control) return 0;

  // Turning takes a press; a held arrow turns once. Only an axis at its end stop counts.
  if (key_hits(KeyCodeArrowLeft) != 0 || joy0_x() == joy_left) {
    dir = 0;
    mountains->mspd = 4;
  }
  if (key_hits(KeyCodeArrowRight) != 0 || joy0_x() == joy_right) {
    dir = 1;
    mountains->mspd = -4;
  }
  if (key_down(KeyCodeArrowUp) != 0 || joy0_y() == joy_up) y -= 2.0f;
  if (key_down(KeyCodeArrowDown) != 0 || joy0_y() == joy_down) y += 2.0f;

  if (key_hits(KeyCodeLeftControl) != 0 || joy0_hits(joy_fire_button) != 0) {
    pshot_tag::fire();
    play_sfx(snd_fire);
  }
  return 0;
}

int player_tag::init_death() {
  player_tag& p = *player;
  state_timer = 0;
  p.lives -= 1;

  explode_tag::create_it(p.x, p.y, 1.5f);
  particle_tag::create_em(p.x, p.y, p.dir == 0 ? 2 : 6, 4);

  // Parked behind the left bar, where nothing can collide with it while dying.
  p.x = 0.0f;
  p.y = 0.0f;

  play_sfx(snd_pldeath);
  game_state = state_dying;
  if (engine_chan) stop_channel(engine_chan);
  return 0;
}
