// The sprite sheet: planes, wreckage, blimp, balloon, effects and the cloud.
// Sprites are drawn crisply at their final size (the game draws them unfiltered)
// and framed by a dark rim so they read against any part of the sky.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace ag {
namespace {

constexpr Rgb kRim{18, 14, 22};

struct PlanePaint {
  Rgb body, body_hi, body_lo;
  Rgb wing, wing_hi, wing_lo;
  Rgb trim;
  Rgb strut;
};

// The player's plane is red with yellow wings; the enemies are olive with khaki
// wings, so the two never get confused mid-fight.
const PlanePaint kPlayerPaint{{212, 44, 36},   {252, 112, 84}, {142, 24, 30},   {248, 208, 72},
                              {255, 240, 150}, {194, 148, 40}, {250, 250, 240}, {112, 72, 40}};
const PlanePaint kEnemyPaint{{86, 122, 54},   {136, 172, 86}, {52, 80, 38},   {170, 156, 104},
                             {206, 194, 142}, {122, 108, 70}, {236, 220, 70}, {80, 62, 44}};

// A biplane seen from the side, nose to the left, centred on (24, 16).
Canvas draw_plane(const PlanePaint& p) {
  Canvas c(kFrameW, kFrameH);
  const Rgb metal{168, 170, 180}, metal_lo{104, 106, 118}, tyre{58, 56, 62}, hub{200, 200, 206};
  const Rgb leather{120, 70, 40}, goggles{150, 210, 230};

  // Landing gear and wheel under the nose.
  c.line(14, 21, 12, 27, p.strut);
  c.line(20, 21, 14, 27, p.strut);
  c.ellipse(13.5, 28.0, 3.2, 3.2, tyre);
  c.set(13, 27, hub);
  c.set(13, 28, hub);

  // Lower wing, edge on.
  c.rect(12, 21, 20, 2, p.wing);
  c.rect(12, 23, 19, 1, p.wing_lo);
  c.set(11, 22, p.wing);

  // Tailplane and fin.
  c.rect(36, 15, 10, 2, p.wing_lo);
  c.polygon({37, 15, 40, 7, 44, 6, 46, 8, 46, 15}, p.body);
  c.polygon({40, 8, 44, 7, 45, 9, 41, 10}, p.body_hi);
  c.rect(43, 8, 2, 7, p.trim);

  // Fuselage: deep at the engine, tapering to the tail.
  c.polygon({7, 12, 21, 12, 31, 13, 46, 14, 46, 17, 31, 19, 7, 21}, p.body);
  c.polygon({7, 12, 21, 12, 31, 13, 46, 14, 46, 15, 31, 14, 21, 14, 7, 14}, p.body_hi);
  c.polygon({7, 19, 31, 18, 46, 16.5, 46, 17, 31, 19, 7, 21}, p.body_lo);
  c.rect(37, 14, 2, 4, p.trim);  // squadron band

  // Engine cowling and exhausts.
  c.rect(7, 12, 5, 9, metal);
  c.rect(7, 12, 5, 2, {214, 216, 224});
  c.rect(7, 19, 5, 2, metal_lo);
  c.rect(12, 15, 3, 1, metal_lo);
  c.rect(12, 17, 3, 1, metal_lo);

  // Spinner and the blurred propeller disc (dithered so the sky shows through).
  c.polygon({3, 16, 7, 14, 7, 19, 3, 17}, metal_lo);
  for (int y = 5; y <= 28; ++y)
    for (int x = 4; x <= 6; ++x) {
      double dy = (y - 16.5) / 12.0, dx = (x - 5.0) / 1.6;
      if (dx * dx + dy * dy > 1.0) continue;
      if ((x + y) % 2 == 0 || y < 7 || y > 26) c.set(x, y, {214, 208, 190});
    }
  c.rect(5, 14, 2, 5, {140, 100, 60});

  // Cockpit behind the upper wing, the pilot's head and a scarf in the wind.
  c.rect(28, 12, 6, 1, {40, 28, 26});
  c.ellipse(31.0, 10.5, 2.2, 2.2, leather);
  c.rect(29, 10, 2, 1, goggles);
  c.rect(33, 11, 3, 1, {250, 250, 250});
  c.set(36, 12, {250, 250, 250});

  // Interplane and cabane struts.
  c.line(12, 10, 12, 20, p.strut);
  c.line(26, 10, 25, 20, p.strut);
  c.line(16, 10, 18, 11, p.strut);
  c.line(21, 10, 20, 11, p.strut);

  // Upper wing, edge on, thicker at the leading edge.
  c.rect(8, 7, 21, 3, p.wing);
  c.rect(8, 7, 21, 1, p.wing_hi);
  c.rect(9, 9, 20, 1, p.wing_lo);
  c.set(7, 8, p.wing);

  c.outline(kRim);
  return c;
}

// Copies the pixels of `src` for which keep(x, y) holds into a fresh frame,
// moved so that their bounding box is centred, with scorch marks and a ragged cut.
template <class Keep>
Canvas wreck_piece(const Canvas& src, Keep keep, uint64_t seed) {
  Rng rng(seed);
  Canvas piece(kFrameW, kFrameH);
  int x0 = kFrameW, y0 = kFrameH, x1 = -1, y1 = -1;
  for (int y = 0; y < src.h(); ++y)
    for (int x = 0; x < src.w(); ++x)
      if (!(src.get(x, y) == kClear) && keep(x, y)) {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
      }
  int dx = 24 - (x0 + x1 + 1) / 2, dy = 16 - (y0 + y1 + 1) / 2;
  for (int y = 0; y < src.h(); ++y)
    for (int x = 0; x < src.w(); ++x) {
      Rgb p = src.get(x, y);
      if (p == kClear || !keep(x, y) || p == kRim) continue;
      double r = rng.real();
      if (r < 0.22) p = mix(p, {40, 30, 28}, 0.75);  // soot
      else if (r < 0.27) p = {250, 150, 40};         // embers
      piece.set(x + dx, y + dy, p);
    }
  piece.outline(kRim);
  return piece;
}

// The four pieces a downed player's plane breaks into.
std::vector<Canvas> player_wreck(const Canvas& plane) {
  return {
      wreck_piece(
          plane, [](int x, int y) { return x < 15 && y > 4 - (x % 3); }, 11),
      wreck_piece(
          plane, [](int x, int y) { return x >= 15 && x < 33 && y < 13 + (x % 2); }, 12),
      wreck_piece(
          plane, [](int x, int y) { return x >= 31 + (y % 3); }, 13),
      wreck_piece(
          plane, [](int x, int y) { return x >= 15 && x < 31 + (y % 3) && y >= 13 + (x % 2); }, 14),
  };
}

std::vector<Canvas> enemy_wreck(const Canvas& plane) {
  return {
      wreck_piece(
          plane, [](int x, int y) { return x < 24 + (y % 4); }, 21),
      wreck_piece(
          plane, [](int x, int y) { return x >= 24 + (y % 4); }, 22),
  };
}

struct BlimpPaint {
  Rgb skin, skin_hi, skin_lo, band, fin;
};
const BlimpPaint kBlimpA{
    {196, 200, 208}, {244, 246, 250}, {120, 126, 142}, {200, 60, 50}, {90, 96, 116}};
const BlimpPaint kBlimpB{
    {222, 196, 132}, {250, 234, 180}, {150, 120, 72}, {60, 110, 190}, {120, 92, 60}};

// Airship with its nose to the right, envelope centred on (cx, cy).
void draw_blimp(Canvas& c, const BlimpPaint& p, double cx, double cy, double sag) {
  // Fins at the tail.
  c.polygon({cx - 21, cy - 1, cx - 16, cy - 3, cx - 12, cy - 3, cx - 16, cy - 1}, p.fin);
  c.polygon({cx - 22, cy - 9, cx - 17, cy - 9, cx - 12, cy - 3, cx - 18, cy - 3}, p.fin);
  c.polygon({cx - 22, cy + 9, cx - 17, cy + 9, cx - 12, cy + 3, cx - 18, cy + 3}, p.fin);
  // Envelope with light from above.
  for (int y = static_cast<int>(cy - 10); y <= static_cast<int>(cy + 10); ++y)
    for (int x = static_cast<int>(cx - 21); x <= static_cast<int>(cx + 21); ++x) {
      double u = (x + 0.5 - cx) / 20.5, v = (y + 0.5 - cy) / 8.5;
      // A hit envelope sags in the middle of its back.
      double dent = sag * std::exp(-u * u * 6.0);
      if (v < -1 + dent) continue;
      if (u * u + v * v > 1.0) continue;
      double shade = 0.55 - v * 0.6 + u * 0.1;
      Rgb col = shade > 0.85 ? p.skin_hi : (shade > 0.3 ? p.skin : p.skin_lo);
      if (std::fabs(u - 0.35) < 0.05) col = p.band;
      if (std::fabs(u + 0.1) < 0.02 && shade <= 0.85) col = p.skin_lo;  // seam
      c.set(x, y, col);
    }
  // Gondola and its cables.
  c.line(static_cast<int>(cx - 2), static_cast<int>(cy + 7), static_cast<int>(cx - 4),
         static_cast<int>(cy + 10), p.fin);
  c.line(static_cast<int>(cx + 6), static_cast<int>(cy + 7), static_cast<int>(cx + 8),
         static_cast<int>(cy + 10), p.fin);
  c.rect(static_cast<int>(cx - 5), static_cast<int>(cy + 10), 14, 3, {96, 72, 56});
  for (int k = 0; k < 4; ++k)
    c.set(static_cast<int>(cx - 3 + 3 * k), static_cast<int>(cy + 11), {250, 226, 120});
  // Propeller at the back of the gondola.
  c.rect(static_cast<int>(cx - 7), static_cast<int>(cy + 9), 1, 5, {200, 200, 200});
}

Canvas rotate_nearest(const Canvas& src, double deg, double cx, double cy) {
  Canvas o(src.w(), src.h());
  double a = deg * 3.14159265358979323846 / 180.0, ca = std::cos(a), sa = std::sin(a);
  for (int y = 0; y < o.h(); ++y)
    for (int x = 0; x < o.w(); ++x) {
      double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      double sx = ca * dx + sa * dy + cx, sy = -sa * dx + ca * dy + cy;
      o.set(x, y, src.get(static_cast<int>(std::floor(sx)), static_cast<int>(std::floor(sy))));
    }
  return o;
}

Canvas blimp_frame(const BlimpPaint& p, bool face_right) {
  Canvas c(kFrameW, kFrameH);
  draw_blimp(c, p, 24, 13, 0);
  c.outline(kRim);
  return face_right ? c : c.flipped_x();
}

// The hit airship: nose down, burning, trailing smoke behind it. Drawn nose right
// (it drifts right); the left-drifting frames are mirrored.
Canvas blimp_hit(const BlimpPaint& p, int step) {
  Canvas body(kHitW, kHitH);
  draw_blimp(body, p, 46, 14, 0.35);
  body = rotate_nearest(body, 12, 46, 14);
  Canvas c(kHitW, kHitH);
  Rng rng(500 + step);
  // Smoke trail first, so the envelope covers its start: puffs that grow,
  // darken and rise behind the falling ship.
  for (int k = 0; k < 9; ++k) {
    double t = k / 8.0;
    double x = 28 - t * 25 + rng.real(-1.5, 1.5);
    double y = 10 - t * 5 + std::sin(k * 1.9 + step * 1.3) * 1.6;
    double r = 2.5 + t * 3.2 + rng.real(0, 1);
    Rgb g = mix({176, 172, 170}, {96, 94, 102}, t);
    c.ellipse(x + 0.6, y + 0.8, r, r * 0.85, scale(g, 0.78));
    c.ellipse(x - 0.4, y - 0.3, r - 0.8, r * 0.7, g);
  }
  for (int y = 0; y < kHitH; ++y)
    for (int x = 0; x < kHitW; ++x)
      if (!(body.get(x, y) == kClear)) c.set(x, y, body.get(x, y));
  // Flames licking up from the torn back of the envelope, in tongues of
  // uneven height that change between the two steps.
  for (int k = 0; k < 6; ++k) {
    double x = 33 + k * 4.0 + rng.real(-1.5, 1.5);
    double h = 3 + rng.real(0, 6) + ((k + step) % 3 == 0 ? 4 : 0);
    double base = 7 + std::fabs(k - 2.5) * 0.9;
    double lean = -1.5 - rng.real(0, 1.5);  // the wind of the fall pushes them back
    c.polygon({x - 2.5, base + 2, x + lean, base - h, x + 2.5, base + 2}, {236, 90, 24});
    c.polygon({x - 1.2, base + 2, x + lean * 0.6, base - h * 0.6, x + 1.2, base + 2},
              {255, 214, 80});
  }
  c.outline(kRim);
  return c;
}

Canvas draw_balloon() {
  Canvas c(kFrameW, kFrameH);
  const Rgb yel{252, 214, 58}, yel_hi{255, 246, 170}, ora{236, 112, 44}, ora_lo{170, 70, 30};
  // Ropes to the basket.
  c.line(18, 20, 22, 27, {150, 120, 80});
  c.line(30, 20, 26, 27, {150, 120, 80});
  c.rect(21, 27, 7, 4, {150, 96, 50});
  c.rect(21, 27, 7, 1, {196, 140, 80});
  // Envelope: round top, tapering to the mouth, in striped gores.
  for (int y = 0; y < 27; ++y)
    for (int x = 10; x < 38; ++x) {
      double u = (x + 0.5 - 24) / 12.5, v = (y + 0.5 - 11.5) / 11.0;
      bool in = v < 0.45 ? (u * u + v * v <= 1.0)
                         : std::fabs(u) <= std::sqrt(1 - 0.45 * 0.45) * (1 - (v - 0.45) / 0.95);
      if (!in || v > 1.35) continue;
      double su = u / std::sqrt(std::max(0.05, 1 - std::min(0.95, v * v)));
      int gore = static_cast<int>(std::floor((std::asin(std::clamp(su, -1.0, 1.0)) + 1.6) * 2.2));
      bool lit = (u * -0.5 + v * -0.8) > 0.35;
      Rgb col = gore % 2 ? (lit ? yel_hi : yel) : (lit ? Rgb{250, 160, 90} : ora);
      if (u * 0.6 + v * 0.5 > 0.55) col = gore % 2 ? mix(yel, ora_lo, 0.45) : ora_lo;
      c.set(x, y, col);
    }
  c.rect(20, 23, 9, 1, {120, 60, 40});  // load ring
  c.outline(kRim);
  return c;
}

Canvas draw_balloon_pop() {
  Canvas c(kFrameW, kFrameH);
  Rng rng(1515);
  // Shreds of envelope flung outward, and a white flash at the heart.
  for (int k = 0; k < 14; ++k) {
    double a = k * 2 * 3.14159265358979323846 / 14 + rng.real(-0.2, 0.2);
    double r0 = 6 + rng.real(0, 3), r1 = r0 + 3 + rng.real(0, 6);
    Rgb col = k % 2 ? Rgb{252, 214, 58} : Rgb{236, 112, 44};
    int xa = static_cast<int>(24 + std::cos(a) * r0 * 1.3),
        ya = static_cast<int>(15 + std::sin(a) * r0);
    int xb = static_cast<int>(24 + std::cos(a) * r1 * 1.3),
        yb = static_cast<int>(15 + std::sin(a) * r1);
    c.line(xa, ya, xb, yb, col);
    c.set(xb + 1, yb, col);
  }
  c.ellipse(24, 15.5, 4.5, 3.5, {255, 250, 220});
  c.ellipse(24, 15.5, 2.5, 2.0, {255, 255, 255});
  c.outline(kRim);
  return c;
}

Canvas draw_smoke() {
  Canvas c(kFrameW, kFrameH);
  Noise n(2020);
  const double bx[] = {24, 19, 29, 22, 27, 24};
  const double by[] = {16, 17, 17, 13, 13, 19};
  const double br[] = {7, 5, 5, 5, 5, 5};
  for (int y = 0; y < kFrameH; ++y)
    for (int x = 0; x < kFrameW; ++x) {
      double best = -1;
      for (int k = 0; k < 6; ++k) {
        double d = std::hypot(x + 0.5 - bx[k], y + 0.5 - by[k]) / br[k];
        best = std::max(best, 1 - d);
      }
      best += (n.at(x * 0.5, y * 0.5) - 0.5) * 0.3;
      if (best <= 0) continue;
      double light = 0.5 + (16 - y) * 0.035 + (24 - x) * 0.01 + n.at(x * 0.35 + 7, y * 0.35) * 0.3;
      c.set(x, y, mix({92, 92, 100}, {226, 226, 230}, clamp01(light)));
    }
  return c;
}

Canvas draw_shot() {
  Canvas c(kFrameW, kFrameH);
  c.rect(19, 15, 10, 3, {255, 140, 20});
  c.rect(18, 16, 12, 1, {255, 140, 20});
  c.rect(20, 15, 8, 3, {255, 220, 90});
  c.rect(20, 16, 8, 1, {255, 255, 200});
  return c;
}

// Four stages of a fireball, drawn additively by the game: bright core first,
// then a wide orange burst, then dull red and soot.
Canvas draw_explosion(int stage) {
  Canvas c(kFrameW, kFrameH);
  Noise n(2200 + stage);
  const double radius[] = {9, 13, 15.5, 16.5};
  const double hot[] = {1.0, 0.85, 0.55, 0.25};
  double R = radius[stage];
  for (int y = 0; y < kFrameH; ++y)
    for (int x = 0; x < kFrameW; ++x) {
      double dx = (x + 0.5 - 24) / 1.25, dy = y + 0.5 - 16.5;
      double d = std::hypot(dx, dy) / R;
      double ang = std::atan2(dy, dx);
      double rag = 0.75 + 0.35 * n.at(std::cos(ang) * 2.5 + 5, std::sin(ang) * 2.5 + 5);
      double v = (1 - d / rag);
      if (stage >= 2) v *= 0.55 + 0.9 * n.fbm(x * 0.25, y * 0.25, 3);  // breaking up
      if (stage == 3) v *= 0.35 + 1.6 * std::fabs(d - 0.55);           // hollow ring
      if (v <= 0.03) continue;
      double i = clamp01(v * 1.6) * hot[stage] + (stage >= 2 ? v * 0.25 : 0);
      Rgb col;
      // No blue to speak of: added to the blue sky these stay fiery
      // rather than washing out to white.
      if (i > 0.75) col = mix({255, 200, 40}, {255, 240, 110}, (i - 0.75) / 0.25);
      else if (i > 0.45) col = mix({244, 124, 8}, {255, 200, 40}, (i - 0.45) / 0.3);
      else if (i > 0.2) col = mix({140, 56, 2}, {244, 124, 8}, (i - 0.2) / 0.25);
      else col = mix({34, 14, 1}, {140, 56, 2}, i / 0.2);
      c.set(x, y, clamp_visible(col));
    }
  return c;
}

// A fair-weather cumulus: a flat base, heaped tops, lit from above. It is added
// to the sky at 0.8, so its greys become a soft translucency.
Canvas draw_cloud() {
  Canvas c(kCloudW, kCloudH);
  Noise n(3030);
  struct Puff {
    double x, y, r;
  };
  const Puff puffs[] = {{30, 48, 17}, {52, 36, 22}, {76, 40, 19}, {92, 52, 14}, {20, 56, 12},
                        {62, 52, 18}, {42, 56, 15}, {84, 58, 12}, {66, 26, 14}};
  for (int y = 0; y < kCloudH; ++y)
    for (int x = 0; x < kCloudW; ++x) {
      double dens = -1;
      double px = x + 0.5, py = y + 0.5;
      for (const Puff& p : puffs) dens = std::max(dens, 1 - std::hypot(px - p.x, py - p.y) / p.r);
      dens += (n.fbm(px * 0.08, py * 0.08, 4) - 0.5) * 0.45;
      double base = (68 - py) / 8.0;  // flat bottom
      dens = std::min(dens, base * 0.5);
      if (dens <= 0) continue;
      double height = clamp01((70 - py) / 60.0);
      double light = 0.45 + 0.55 * height + (n.at(px * 0.2, py * 0.2) - 0.5) * 0.15;
      double edge = clamp01(dens / 0.35);
      double v = clamp01(light) * (0.25 + 0.75 * edge);
      Rgb col = mix({70, 74, 92}, {252, 252, 255}, v);
      col = scale(col, 0.3 + 0.7 * edge);
      c.set(x, y, clamp_visible(col));
    }
  return c;
}

}  // namespace

SheetParts make_sprites() {
  SheetParts s;
  s.frames.resize(kFrames);
  Canvas player = draw_plane(kPlayerPaint);
  Canvas enemy = draw_plane(kEnemyPaint);
  s.frames[0] = player;
  s.frames[1] = player.flipped_x();
  std::vector<Canvas> pw = player_wreck(player);
  for (int k = 0; k < 4; ++k) {
    s.frames[2 + k] = pw[k];
    s.frames[6 + k] = pw[k].flipped_x();
  }
  s.frames[10] = blimp_frame(kBlimpA, true);
  s.frames[11] = blimp_frame(kBlimpB, false);
  s.frames[12] = enemy;
  s.frames[13] = enemy.flipped_x();
  s.frames[14] = draw_balloon();
  s.frames[15] = draw_balloon_pop();
  std::vector<Canvas> ew = enemy_wreck(enemy);
  s.frames[16] = ew[0];
  s.frames[17] = ew[1];
  s.frames[18] = ew[0].flipped_x();
  s.frames[19] = ew[1].flipped_x();
  s.frames[20] = draw_smoke();
  s.frames[21] = draw_shot();
  for (int k = 0; k < 4; ++k) s.frames[22 + k] = draw_explosion(k);

  s.hits.resize(kHitFrames);
  s.hits[0] = blimp_hit(kBlimpA, 0);
  s.hits[1] = blimp_hit(kBlimpA, 1);
  s.hits[2] = blimp_hit(kBlimpB, 0).flipped_x();
  s.hits[3] = blimp_hit(kBlimpB, 1).flipped_x();
  s.cloud = draw_cloud();
  return s;
}

Canvas assemble_sheet(const SheetParts& parts) {
  Canvas sheet(kSheetW, kSheetH);
  for (int i = 0; i < kFrames; ++i) sheet.blit(parts.frames[i], frame_x(i), frame_y(i));
  for (int j = 0; j < kHitFrames; ++j) sheet.blit(parts.hits[j], hit_x(j), kHitY);
  sheet.blit(parts.cloud, kCloudX, kCloudY);
  return sheet;
}

}  // namespace ag
