// The game's shared state with its start values, and the two sound helpers.
#include "world/globals.h"

#include "audio/audio.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/qndraw.h"
#include "world/scenery.h"

int game_state = 0;  // start-up sets state_title_menu once the title menu is due
int play_phase = 0;
int state_timer = 0;
int quit_flag = 0;
int first_run = 1;

int mode3d = 0;
int retro_fx = 0;
float sfx_volume = 1.0f;
int sfx_step = 10;
float engine_volume = 0.6f;
int engine_step = 6;

int ebplane_num = 0;
int balloon_num = 0;
int shield_tmr = 0;
int flash_ctr = 0;
int ebplane_ctr = 0;

int blimp_state = 0;
int blimp_x = 0, blimp_y = 0;
int blimp_frame = 0;
int blimp_anim = 0;
int blimp_anim_tick = 0;

float joy_left = -1.0f, joy_right = 1.0f, joy_up = -1.0f, joy_down = 1.0f;

// Made by start-up, after the display is open.
std::shared_ptr<qndraw_tag> draw3d;
std::shared_ptr<player_tag> player;
std::shared_ptr<mountain_tag> mountains;

obj_list<pshot_tag> pshot_list;
obj_list<cloud_tag> cloud_list;
obj_list<ebplane_tag> ebplane_list;
obj_list<balloon_tag> balloon_list;
obj_list<smoke_tag> smoke_list;
obj_list<particle_tag> particle_list;
obj_list<explode_tag> explode_list;
obj_list<bpop_tag> bpop_list;
obj_list<points_tag> points_list;

std::shared_ptr<TImage> left_bar_img, right_bar_img, cloud_img, sprites, blimp_hit_img;
std::shared_ptr<TImage> backdrop_img, title_img, pointer_img, mts1_img, mts2_img;
std::shared_ptr<TImageFont> font;

std::shared_ptr<TSound> snd_fire, snd_balloonpop, snd_blimphit, snd_startstage, snd_endstage,
    snd_explode, snd_pldeath;
std::shared_ptr<TChannel> engine_chan;

int play_sfx(const std::shared_ptr<TSound>& sound) {
  // A sound that failed to load stays silent.
  if (!sound) return 0;
  std::shared_ptr<TChannel> chan = cue_sound(sound, nullptr);
  if (!chan) return 0;
  set_channel_volume(chan, sfx_volume);
  resume_channel(chan);
  return 0;
}

int engine_loop(int /*start*/) {
  std::shared_ptr<TSound> loop = load_sound(std::string("data\\bploop.ogg"), 1);
  // Without the loop file the engine stays silent; the old channel was already stopped
  // by whatever left play, so keeping it is harmless and keeps engine_chan usable.
  if (!loop) return 0;
  std::shared_ptr<TChannel> chan = cue_sound(loop, nullptr);
  if (!chan) return 0;
  // Every way out of play stops the engine, but a resume in the stage-clear pause
  // starts it again just before the next stage does: without this stop that loop
  // would play on for good with nothing left to stop it.
  if (engine_chan) stop_channel(engine_chan);
  engine_chan = chan;
  set_channel_volume(engine_chan, engine_volume);
  resume_channel(engine_chan);
  return 0;
}
