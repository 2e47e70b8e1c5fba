// Smoke, wreckage, explosions, balloon pops and score popups.
#include "world/effects.h"

#include <cstdlib>
#include <memory>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "platform/random.h"
#include "world/globals.h"
#include "world/qndraw.h"

// ---- smoke ----

int smoke_tag::create_it(float x, float y) {
  auto s = std::make_shared<smoke_tag>();
  s->alpha = 0.8f;
  s->rot = static_cast<int>(random_real(0.0, 360.0));
  s->scale = 0.3f;
  s->x = x;
  s->y = y;
  smoke_list.add_last(std::move(s));
  return 0;
}

int smoke_tag::update() {
  SetBlend(AlphaBlend);
  SetAlpha(alpha);
  SetColor(255, 255, 255);
  SetRotationScale(static_cast<float>(rot), scale, scale);
  DrawImage(sprites, x, y, 20);
  alpha -= 0.01f;
  scale += 0.02f;
  rot += 5;
  if (!(alpha > 0.0f)) smoke_list.remove(this);
  SetRotationScale(0.0f, 1.0f, 1.0f);
  return 0;
}

int smoke_tag::update_all() {
  smoke_list.visit([](smoke_tag& s) { s.update(); });
  return 0;
}

int smoke_tag::destroy_all() {
  smoke_list.clear();
  return 0;
}

// ---- wreckage ----

int particle_tag::create_em(float x, float y, int frame, int count) {
  for (int i = 0; i < count; ++i) {
    auto p = std::make_shared<particle_tag>();
    p->rot = random_int(1, 360);
    p->frame = frame++;
    p->xs = static_cast<float>(random_real(-3.5, 3.5));
    p->ys = static_cast<float>(random_real(-2.5, 1.5));
    p->x = x;
    p->y = y;
    particle_list.add_last(std::move(p));
  }
  return 0;
}

int particle_tag::update() {
  ++smctr;
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  x += xs;
  y += ys;
  ys += 0.03f;  // gravity
  rot += 2;
  SetRotation(static_cast<float>(rot));
  DrawImage(sprites, x, y, frame);
  if (smctr >= 4) {
    smctr = 0;
    smoke_tag::create_it(x, y);
  }
  if (y > 440.0f || y < 100.0f || x < 80.0f || x > 550.0f) particle_list.remove(this);
  SetRotation(0.0f);
  return 0;
}

int particle_tag::update_all() {
  particle_list.visit([](particle_tag& p) { p.update(); });
  return 0;
}

int particle_tag::destroy_all() {
  particle_list.clear();
  return 0;
}

// ---- explosions ----

int explode_tag::create_it(float x, float y, float scale) {
  auto e = std::make_shared<explode_tag>();
  e->frame = 22;
  e->scale = scale;
  e->x = x;
  e->y = y;
  e->fr_tmr = 0;
  explode_list.add_last(std::move(e));
  return 0;
}

int explode_tag::update() {
  ++fr_tmr;
  SetAlpha(0.8f);
  SetBlend(LightBlend);
  SetColor(255, 255, 255);
  SetScale(scale, scale);
  DrawImage(sprites, x, y, frame);
  // Frames 22 to 25, 12 ticks each.
  if (fr_tmr >= 12) {
    fr_tmr = 0;
    ++frame;
    if (frame > 25) explode_list.remove(this);
  }
  scale += 0.02f;
  SetScale(1.0f, 1.0f);
  return 0;
}

int explode_tag::update_all() {
  explode_list.visit([](explode_tag& e) { e.update(); });
  return 0;
}

int explode_tag::destroy_all() {
  explode_list.clear();
  return 0;
}

// ---- balloon pops ----

int bpop_tag::create_it(int x, float y) {
  auto b = std::make_shared<bpop_tag>();
  b->alpha = 1.0f;
  b->x = x;
  b->y = static_cast<int>(y);
  bpop_list.add_last(std::move(b));
  return 0;
}

int bpop_tag::update() {
  SetBlend(AlphaBlend);
  SetAlpha(alpha);
  SetColor(255, 255, 255);
  DrawImage(sprites, static_cast<float>(x), static_cast<float>(y), 15);
  alpha -= 0.02f;
  if (!(alpha > 0.0f)) bpop_list.remove(this);
  return 0;
}

int bpop_tag::update_all() {
  bpop_list.visit([](bpop_tag& b) { b.update(); });
  return 0;
}

int bpop_tag::destroy_all() {
  bpop_list.clear();
  return 0;
}

// ---- score popups ----

int points_tag::create_it(int x, int y, int amount) {
  auto p = std::make_shared<points_tag>();
  p->alpha = 1.0f;
  p->x = x;
  p->y = y;
  // Widened first: the magnitude of the lowest int does not fit an int.
  const long long value = amount;
  // The sign goes in front of the digits as one char: GCC 12 at -O3 gives a false
  // -Wrestrict for a short literal assigned or concatenated here.
  std::string text = std::to_string(std::llabs(value));
  text.insert(text.begin(), value > 0 ? '+' : '-');
  p->amnt = std::move(text);
  points_list.add_last(std::move(p));
  return 0;
}

int points_tag::update() {
  SetBlend(AlphaBlend);
  SetAlpha(alpha);
  SetColor(250, 250, 250);
  y -= 2;
  if (y < 60) y = 60;
  // Popups stay flat whatever the glasses setting.
  const int saved = mode3d;
  mode3d = 0;
  draw3d->t3d(amnt, static_cast<float>(x), static_cast<float>(y), 0.0f, 1);
  mode3d = saved;
  alpha -= 0.004f;
  if (!(alpha > 0.0f)) points_list.remove(this);
  return 0;
}

int points_tag::update_all() {
  points_list.visit([](points_tag& p) { p.update(); });
  return 0;
}

int points_tag::destroy_all() {
  points_list.clear();
  return 0;
}
