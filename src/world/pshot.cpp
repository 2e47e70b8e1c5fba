// The player's bullets.
#include "world/pshot.h"

#include <memory>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "world/globals.h"
#include "world/player.h"

int pshot_tag::fire() {
  auto shot = std::make_shared<pshot_tag>();
  if (player->dir == 0) {
    shot->spd = -8;
    shot->x = static_cast<int>(player->x - 24.0f);
  } else {
    shot->spd = 8;
    shot->x = static_cast<int>(player->x + 24.0f);
  }
  shot->y = static_cast<int>(player->y);
  pshot_list.add_last(std::move(shot));
  return 0;
}

int pshot_tag::update() {
  x += spd;
  DrawImage(sprites, static_cast<float>(x), static_cast<float>(y), 21);
  // Drawn once more at its last position, then gone.
  if (x < 100 || x > 534) pshot_list.remove(this);
  return 0;
}

int pshot_tag::update_all() {
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  pshot_list.visit([](pshot_tag& s) { s.update(); });
  return 0;
}

int pshot_tag::destroy_all() {
  pshot_list.clear();
  return 0;
}
