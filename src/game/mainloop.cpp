// The main loop: one pass per presented frame, dispatched by game_state, with the
// keys that switch states from anywhere and the hold while the window is inactive.
#include "audio/audio.h"
#include "game/game.h"
#include "game/stage.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "platform/system.h"
#include "world/globals.h"
#include "world/joyread.h"

namespace {

bool in_menu() { return game_state == state_pause_menu || game_state == state_title_menu; }

}  // namespace

int main_loop() {
  do {
    const bool was_in_menu = in_menu();
    draw_backdrop();
    switch (game_state) {
      case state_play: run_play(); break;
      case state_pause_menu:
      case state_title_menu: run_menu(); break;
      case state_game_over: run_game_over(); break;
      case state_dying: run_dying(); break;
      default: break;
    }
    draw_hud();
    retro_lines(2);
    side_bars(0);
    present_frame();
    global_keys();
    if (was_in_menu && !in_menu()) options_menu_left();
    suspend_wait();
  } while (quit_flag == 0);
  return 0;
}

namespace {

void stop_engine() {
  if (engine_chan) stop_channel(engine_chan);
}

// Into the pause menu with the pointer on "Resume Game".
void pause_play() {
  game_state = state_pause_menu;
  stop_engine();
  move_mouse(pointer_home_x, pointer_home_y);
}

}  // namespace

int global_keys() {
  if (key_hits(KeyCodeEscape)) {
    switch (game_state) {
      case state_title_menu: quit_flag = 1; break;
      case state_pause_menu:
        game_state = state_title_menu;
        move_mouse(pointer_home_x, pointer_home_y);
        flush_keys();
        flush_mouse();
        break;
      case state_play:
        // The flush also drops a Space pressed in the same frame.
        pause_play();
        flush_keys();
        flush_mouse();
        break;
      default: break;
    }
  }

  // The joystick is asked only when Space reported nothing.
  if (key_hits(KeyCodeSpace) || joy0_hits(joy_pause_button)) {
    if (game_state == state_play) {
      pause_play();
      flush_mouse();
      flush_keys();
    } else if (game_state == state_pause_menu) {
      game_state = state_play;
      engine_loop(1);
      flush_mouse();
      flush_keys();
    }
  }

  if (app_terminate()) quit_flag = 1;
  return 0;
}

int suspend_wait() {
  if (!app_suspended()) return 0;
  bool paused_engine = false;
  if (engine_chan && channel_playing(engine_chan)) {
    pause_channel(engine_chan);
    paused_engine = true;
  }
  // Nothing moves while the window is away; each question pumps the messages. A close
  // request still ends the game, or a minimised game could not be stopped.
  while (app_suspended()) {
    if (app_terminate()) {
      quit_flag = 1;
      return 0;
    }
    delay(10);
  }
  if (paused_engine) resume_channel(engine_chan);
  return 0;
}
