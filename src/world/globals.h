#pragma once
// The game's shared state: settings, counters, the single world objects, the object
// lists, the pictures and the sounds. Made at start-up, kept for the whole run.
#include <memory>
#include <string>

#include "world/objlist.h"

class TImage;
class TImageFont;
class TSound;
class TChannel;

class qndraw_tag;
class player_tag;
class mountain_tag;
class pshot_tag;
class cloud_tag;
class ebplane_tag;
class balloon_tag;
class smoke_tag;
class particle_tag;
class explode_tag;
class bpop_tag;
class points_tag;

// What a pass of the main loop does.
extern int game_state;
constexpr int state_play = 2;
constexpr int state_pause_menu = 3;
constexpr int state_title_menu = 4;
constexpr int state_game_over = 5;
constexpr int state_dying = 6;  // a plane was lost
// What a pass of play does.
extern int play_phase;
constexpr int phase_fly_in = 0;
constexpr int phase_in_control = 1;
constexpr int phase_stage_cleared = 2;

extern int state_timer;
extern int quit_flag;
extern int first_run;

// Settings.
extern int mode3d;    // glasses type 0..4
extern int retro_fx;  // retro lines 0/1
extern float sfx_volume;
extern int sfx_step;
extern float engine_volume;
extern int engine_step;

// Stage counters and the player's shield.
extern int ebplane_num;
extern int balloon_num;
extern int shield_tmr;
extern int flash_ctr;
// Enemy planes visited so far in the current pass of ebplane_tag::update_all.
extern int ebplane_ctr;

// The blimp.
extern int blimp_state;
constexpr int blimp_flying = 1;
constexpr int blimp_drifting = 0;  // hit, drifting away
constexpr int blimp_gone = 2;      // for the rest of the stage

extern int blimp_x, blimp_y;  // centre; blimp_x loops from -6000 to 6640
extern int blimp_frame;       // sprites 10/11 while flying, blimp_hit_img 0/2 after the hit
extern int blimp_anim;        // 0/1, added to blimp_frame while drifting
extern int blimp_anim_tick;   // passes since the last drift picture

// Joystick axis values that count as left, right, up, down. The button query joy_down of
// platform/joystick.h clashes with the last name; read the stick through world/joyread.h.
extern float joy_left, joy_right, joy_up, joy_down;

// Single world objects.
extern std::shared_ptr<qndraw_tag> draw3d;
extern std::shared_ptr<player_tag> player;
extern std::shared_ptr<mountain_tag> mountains;

// Object lists.
extern obj_list<pshot_tag> pshot_list;
extern obj_list<cloud_tag> cloud_list;
extern obj_list<ebplane_tag> ebplane_list;
extern obj_list<balloon_tag> balloon_list;
extern obj_list<smoke_tag> smoke_list;
extern obj_list<particle_tag> particle_list;
extern obj_list<explode_tag> explode_list;
extern obj_list<bpop_tag> bpop_list;
extern obj_list<points_tag> points_list;

// Pictures and the font.
extern std::shared_ptr<TImage> left_bar_img, right_bar_img, cloud_img, sprites, blimp_hit_img;
extern std::shared_ptr<TImage> backdrop_img, title_img, pointer_img, mts1_img, mts2_img;
extern std::shared_ptr<TImageFont> font;

// Sounds.
extern std::shared_ptr<TSound> snd_fire, snd_balloonpop, snd_blimphit, snd_startstage, snd_endstage,
    snd_explode, snd_pldeath;
extern std::shared_ptr<TChannel> engine_chan;

// Plays an effect once on a new channel at sfx_volume.
int play_sfx(const std::shared_ptr<TSound>& sound);
// Starts the looping engine sound on a new engine_chan at engine_volume.
int engine_loop(int start);
