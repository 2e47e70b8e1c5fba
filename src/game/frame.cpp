// The frame around every pass: the sky first, then, over the state's own drawing,
// the score display, the optional scan lines and the two black side bars.
#include <string>

#include "game/game.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/qndraw.h"

namespace {

bool in_a_menu() { return game_state == state_pause_menu || game_state == state_title_menu; }

}  // namespace

std::string hud_number(int value) {
  std::string text = std::to_string(value);
  return value < 10 ? "0" + text : text;
}

int draw_backdrop() {
  Cls();
  if (mode3d == 0) {
    draw3d->sip(AlphaBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  } else {
    // A very dark blue-green ground under the two tinted copies; the blend mode
    // is whatever the side bars left (solid).
    SetColor(15, 25, 25);
    DrawRect(0, 0, 640, 480);
  }
  // The menus show a darker, bluish sky.
  if (in_a_menu()) SetColor(100, 100, 180);
  else SetColor(255, 255, 255);
  // Depth -14: the sky lies behind the screen.
  draw3d->i3d(backdrop_img, 320.0f, 240.0f, 0, -14.0f, 0.0f, 1);
  return 0;
}

int draw_hud() {
  // The score display is always flat, whatever glasses are chosen.
  const int saved_mode = mode3d;
  mode3d = 0;
  SetColor(250, 250, 100);
  draw3d->sip(AlphaBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  draw3d->t3d("Score", 118.0f, 0.0f, 1.0f, 0);
  draw3d->t3d(hud_number(player->score), 128.0f, 16.0f, 1.0f, 0);
  draw3d->t3d("Best", 315.0f, 14.0f, 1.0f, 1);
  draw3d->t3d(hud_number(player->best_sc), 308.0f, 18.0f, 1.0f, 0);
  draw3d->t3d("Stage", 465.0f, 0.0f, 1.0f, 0);
  draw3d->t3d(hud_number(player->level), 475.0f, 16.0f, 1.0f, 0);
  mode3d = saved_mode;

  // Spare planes, not counting the one in the air; hidden in the menus.
  if (!in_a_menu() && player->lives > 1) {
    SetAlpha(1.0f);
    SetBlend(MaskBlend);
    SetColor(255, 255, 255);
    SetScale(0.6f, 0.6f);
    for (int i = 0; i < player->lives - 1; ++i)
      DrawImage(sprites, static_cast<float>(130 + 30 * i), 465.0f, 1);
    SetScale(1.0f, 1.0f);
  }
  return 0;
}

int retro_lines(int grey) {
  if (retro_fx == 0) return 0;
  SetColor(grey, grey, grey);
  SetScale(1.0f, 1.0f);
  SetBlend(SolidBlend);
  const int width = GraphicsWidth();
  const int height = GraphicsHeight();
  for (int y = 1; y <= height; y += 2)
    DrawLine(0.0f, static_cast<float>(y), static_cast<float>(width), static_cast<float>(y), 1);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  return 0;
}

int side_bars(int grab) {
  SetAlpha(1.0f);
  SetBlend(SolidBlend);
  SetColor(255, 255, 255);
  if (grab) {
    // The clear colour is never changed, so both grabs are plain black.
    Cls();
    GrabImage(left_bar_img, 0, 0);
    GrabImage(right_bar_img, 524, 0);
  } else {
    DrawImage(left_bar_img, 0.0f, 0.0f, 0);
    DrawImage(right_bar_img, 524.0f, 0.0f, 0);
  }
  return 0;
}
