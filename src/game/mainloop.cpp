// The main loop: one pass per presented frame, dispatched by game_state, with the
// keys that switch states from anywhere and the hold while the window is inactive.
#include "audio/audio.h"
#include "game/game.h"
#include "game/stage.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/system.h"
#include "world/globals.h"
#include "world/joyread.h"

int main_loop() {
  do {
    draw_backdrop();
    switch (game_state) {
      case 2: run_play(); break;
      case 3:
      case 4: run_menu(); break;
      case 5: run_game_over(); break;
      case 6: run_dying(); break;
      default: break;
    }
    draw_hud();
    retro_lines(2);
    side_bars(0);
    present_frame();
    global_keys();
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
  game_state = 3;
  stop_engine();
  move_mouse(316, 242);
}

}  // namespace

int global_keys() {
  if (key_hits(27)) {
    switch (game_state) {
      case 4: quit_flag = 1; break;
      case 3:
        game_state = 4;
        move_mouse(316, 242);
        flush_keys();
        flush_mouse();
        break;
      case 2:
        // The flush also drops a Space pressed in the same frame.
        pause_play();
        flush_keys();
        flush_mouse();
        break;
      default: break;
    }
  }

  // The joystick is asked only when Space reported nothing.
  if (key_hits(32) || joy0_hits(2)) {
    if (game_state == 2) {
      pause_play();
      flush_mouse();
      flush_keys();
    } else if (game_state == 3) {
      game_state = 2;
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
