// The title menu (game_state 4) and the pause menu (3): one screen of six items,
// chosen with the mouse or with a joystick that moves the mouse pointer.
#include <string>
#include <vector>

#include "audio/audio.h"
#include "game/game.h"
#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "platform/system.h"
#include "world/globals.h"
#include "world/joyread.h"
#include "world/player.h"
#include "world/qndraw.h"

std::vector<std::string> menu_items;
std::vector<std::string> glasses_labels;
std::vector<std::string> onoff_labels;
std::vector<std::string> volume_labels;
int menu_mx = 0, menu_my = 0;
const char* const version_line = "v1.3  Aerovane 2D/3D";

int build_menu_labels() {
  menu_items = {"Start Game",     "3D Graphics: ",    "Retro Line FX: ",
                "Sound Volume: ", "BiPlane Volume: ", "Exit Game"};
  glasses_labels = {"Off", "M\\G", "R\\G", "R\\C", "R\\B"};
  onoff_labels = {"Off", "On"};
  volume_labels = {"Off", "10%", "20%", "30%", "40%", "50%", "60%", "70%", "80%", "90%", "Max"};
  return 0;
}

int menu_joystick_pointer() {
  menu_mx = mouse_x();
  menu_my = mouse_y();
  // Only the end stops count, as in flight.
  if (joy0_x() == joy_left) {
    menu_mx -= 6;
    move_mouse(menu_mx, menu_my);
  }
  if (joy0_x() == joy_right) {
    menu_mx += 6;
    move_mouse(menu_mx, menu_my);
  }
  if (joy0_y() == joy_up) {
    menu_my -= 6;
    move_mouse(menu_mx, menu_my);
  }
  if (joy0_y() == joy_down) {
    menu_my += 6;
    move_mouse(menu_mx, menu_my);
  }
  return 0;
}

int step_volume(int& step, float& volume) {
  // Stepped, not recomputed: "Max" by stepping is 1.0 give or take a rounding.
  step += 1;
  volume += 0.1f;
  if (step > 10) {
    step = 0;
    volume = 0.0f;
  }
  return 0;
}

namespace {

// The volume tables have eleven labels; a step outside them (never made by the menu)
// shows nothing rather than reading past the table.
const std::string& label_at(const std::vector<std::string>& table, int index) {
  static const std::string none;
  if (index < 0 || index >= static_cast<int>(table.size())) return none;
  return table[static_cast<std::size_t>(index)];
}

std::string item_text(int i, int glasses) {
  const bool paused = game_state == state_pause_menu;
  switch (i) {
    case 0: return paused ? "Resume Game" : label_at(menu_items, 0);
    case 1: return label_at(menu_items, 1) + label_at(glasses_labels, glasses);
    case 2: return label_at(menu_items, 2) + label_at(onoff_labels, retro_fx);
    case 3: return label_at(menu_items, 3) + label_at(volume_labels, sfx_step);
    case 4: return label_at(menu_items, 4) + label_at(volume_labels, engine_step);
    default: return paused ? "Quit This Game" : label_at(menu_items, 5);
  }
}

}  // namespace

int menu_choose(int sel) {
  switch (sel) {
    case 0:
      if (game_state == state_pause_menu) {
        // Play continues where it stopped.
        game_state = state_play;
        engine_loop(1);
      } else {
        game_state = state_play;
        clear_world();
        player->reset(1);
      }
      break;
    case 1:
      mode3d += 1;
      if (mode3d > 4) mode3d = 0;
      anaglyph_file(0);
      break;
    case 2:
      retro_fx += 1;
      if (retro_fx > 1) retro_fx = 0;
      break;
    case 3:
      step_volume(sfx_step, sfx_volume);
      play_sfx(snd_fire);  // a sample of the new volume
      break;
    case 4:
      step_volume(engine_step, engine_volume);  // heard the next time the engine starts
      break;
    case 5:
      if (game_state == state_pause_menu) {
        game_state = state_title_menu;
        move_mouse(pointer_home_x, pointer_home_y);
      } else {
        quit_flag = 1;
      }
      break;
    default: break;
  }
  return 0;
}

std::string menu_item_text(int item) { return item_text(item, mode3d); }

int run_menu() {
  // The whole menu is drawn flat, whatever glasses are chosen.
  const int saved_mode = mode3d;
  mode3d = 0;

  menu_joystick_pointer();
  const int mx = mouse_x();
  const int my = mouse_y();
  int y = 240;
  int sel = -1;

  draw3d->sip(MaskBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  SetColor(255, 255, 255);
  draw3d->i3d(title_img, 320.0f, 130.0f, 0, 4.0f, 0.0f, 2);

  SetColor(240, 240, 180);
  draw3d->sip(AlphaBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  draw3d->t3d(version_line, 320.0f, 455.0f, 1.0f, 1);

  // Rows of 31 pixels from y 221; row 6 and below highlights nothing.
  if (my > 220) sel = (mouse_y() - 220) / 31;

  for (int i = 0; i <= 5; ++i) {
    const std::string text = item_text(i, saved_mode);
    float scale = 1.0f;
    float offset = 1.0f;
    SetColor(200, 120, 50);
    if (i == sel) {
      SetColor(240, 180, 80);
      scale = 1.2f;
      offset = 2.0f;
    }
    draw3d->sip(AlphaBlend, 1.0f, 0.0f, scale, scale);
    draw3d->t3d(text, 320.0f, static_cast<float>(y), offset, 1);
    y += 31;
  }

  mode3d = saved_mode;

  if (mouse_hits(MouseButtonLeft) || joy0_hits(joy_fire_button)) {
    menu_choose(sel);
    flush_keys();
    flush_mouse();
  }

  SetColor(255, 255, 255);
  draw3d->sip(MaskBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  DrawImage(pointer_img, static_cast<float>(mx), static_cast<float>(my), 0);
  return 0;
}
