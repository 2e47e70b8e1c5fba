// The sky backdrop, the two mountain strips and the menu pointer.
#include "art.h"

#include <algorithm>
#include <cmath>

namespace ag {
namespace {

double smoothstep(double a, double b, double v) {
  double t = clamp01((v - a) / (b - a));
  return t * t * (3 - 2 * t);
}

Rgb sky_at(double y) {
  struct Stop {
    double y;
    Rgb c;
  };
  static const Stop stops[] = {{0, {46, 92, 172}},     {150, {78, 134, 206}},
                               {280, {132, 176, 226}}, {350, {186, 210, 234}},
                               {398, {222, 230, 236}}, {412, {196, 210, 220}},
                               {480, {156, 178, 196}}};
  for (size_t i = 0; i + 1 < std::size(stops); ++i)
    if (y <= stops[i + 1].y)
      return mix(stops[i].c, stops[i + 1].c, (y - stops[i].y) / (stops[i + 1].y - stops[i].y));
  return stops[std::size(stops) - 1].c;
}

}  // namespace

// Daytime sky: deep blue overhead, hazy toward the horizon, with high wisps,
// banks of distant cumulus and a pale far range. Everything stays well above
// black, so masking never punches holes in it, and its bright/dark structure
// survives the red/cyan tints of the stereo mode.
Canvas make_backdrop() {
  const int W = 460, H = 480;
  Canvas c(W, H);
  Noise wisp(4101), bank(4102), far(4103), grain(4104);
  struct Heap {
    double x, r, h;
  };
  std::vector<Heap> heaps[2];
  Rng rng(4105);
  for (int layer = 0; layer < 2; ++layer)
    for (int k = 0; k < (layer == 0 ? 9 : 6); ++k) {
      double r = layer == 0 ? rng.real(18, 40) : rng.real(24, 56);
      heaps[layer].push_back(
          {rng.real(-20, W + 20), r, r * rng.real(0.45, layer == 0 ? 0.8 : 1.1)});
    }
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double px = x + 0.5, py = y + 0.5;
      Rgb col = sky_at(py);
      // Sun glow high on the right.
      double sun = std::hypot(px - 360, (py - 50) * 1.2);
      col = mix(col, {250, 246, 226}, 0.55 * std::exp(-sun / 70.0));

      // High cirrus: long, thin streaks.
      double w = wisp.fbm(px * 0.006, py * 0.07, 4);
      double band = smoothstep(20, 70, py) * (1 - smoothstep(150, 230, py));
      col = mix(col, {236, 242, 250}, clamp01((w - 0.52) * 2.4) * band * 0.7);

      // Two banks of distant cumulus heaped along the horizon; the farther
      // one is lower, smaller and hazier.
      for (int layer = 0; layer < 2; ++layer) {
        double base = layer == 0 ? 378 : 338;
        double top = base - 6 - 6 * bank.fbm(px * 0.05 + layer * 40, layer * 9.0, 3);
        for (const Heap& hp : heaps[layer]) {
          double dx = (px - hp.x) / hp.r;
          if (std::fabs(dx) < 1) top = std::min(top, base - hp.h * std::sqrt(1 - dx * dx));
        }
        top += 7 * (bank.fbm(px * 0.09 + 11, layer * 5.0 + 3, 3) - 0.5);
        if (py < top || py > base + 30) continue;
        double depth = (py - top) / (base + 30 - top);
        double puff = bank.fbm(px * 0.1, py * 0.08 + layer * 13, 3);
        Rgb lit = layer == 0 ? Rgb{234, 238, 246} : Rgb{252, 252, 252};
        Rgb shade = layer == 0 ? Rgb{186, 202, 226} : Rgb{156, 176, 212};
        Rgb cl = mix(lit, shade, clamp01(depth * 1.4 + (0.5 - puff) * 0.8));
        double a = smoothstep(0, 3, py - top) * (1 - smoothstep(base + 6, base + 30, py));
        col = mix(col, cl, a * (layer == 0 ? 0.75 : 0.92));
      }

      // A far, pale mountain range sits on the horizon, behind the near strips.
      double ridge = 388 - 34 * far.fbm(px * 0.012, 1.0, 4) - 10 * far.at(px * 0.05, 7.0);
      if (py > ridge) {
        double k = clamp01((py - ridge) / 60.0);
        col = mix(col, mix({150, 172, 200}, {126, 150, 176}, k), 0.75);
      }
      // Fine grain keeps large flats from banding.
      double g = (grain.at(px * 0.9, py * 0.9) - 0.5) * 5;
      c.set(x, y,
            clamp_visible({col.r + static_cast<int>(g), col.g + static_cast<int>(g),
                           col.b + static_cast<int>(g)}));
    }
  return c;
}

// Two strips that tile: strip 1 covers world x 0..413 and strip 2 covers
// 414..827 of one repeating range, so the noise wraps at 828 and both strips
// meet each other at the same valley height at either end.
Canvas make_mountains(int which) {
  const int W = kMountW, H = kMountH;
  const int edge_y = 88;
  Canvas c(W, H);
  struct Peak {
    double x, top, slope;
  };
  std::vector<Peak> peaks =
      which == 1 ? std::vector<Peak>{{80, 6, 0.95}, {160, 40, 1.1}, {236, 22, 1.0}, {334, 3, 1.05}}
                 : std::vector<Peak>{{64, 30, 1.0}, {150, 2, 0.9}, {262, 24, 1.1}, {350, 12, 1.0}};
  const int offset = which == 1 ? 0 : 414;
  // Noise lattice cells of 12 px; 828 / 12 = 69 cells wrap the range.
  Noise rough(5200, 69), rock(5300, 69), snowline(5400, 69);
  std::vector<double> ridge(W + 2);
  for (int x = -1; x <= W; ++x) {
    double base = edge_y;
    for (const Peak& p : peaks) base = std::min(base, p.top + std::fabs(x - p.x) * p.slope);
    // Flat ends: the neighbouring strip continues from the same height.
    double endw = smoothstep(0, 40, std::min(x, W - 1 - x));
    base = edge_y + (base - edge_y) * endw;
    double u = x + offset;
    double jag = (rough.fbm(u / 12.0, 0.5, 4) - 0.5) * 16 + (rough.at(u / 3.0, 9.5) - 0.5) * 4;
    ridge[x + 1] = std::clamp(base + jag, 1.0, H - 30.0);
  }
  for (int x = 0; x < W; ++x) {
    double ry = ridge[x + 1];
    double slope = (ridge[x + 2] - ridge[x]) / 2;  // > 0: the ground falls to the right
    double u = x + offset;
    for (int y = 0; y < H; ++y) {
      double py = y + 0.5;
      if (py < ry) continue;  // open sky stays black (transparent)
      double depth = py - ry;
      // The front-most peak here decides the face: left of its spine the
      // rock faces the morning light, right of it lies in shade.
      const Peak* front = nullptr;
      double best = edge_y + 6;
      for (const Peak& p : peaks) {
        double surf = p.top + std::fabs(x - p.x) * p.slope;
        if (surf < best && surf <= py) {
          best = surf;
          front = &p;
        }
      }
      double lit;
      double side = 1;
      if (front) {
        double spine =
            front->x + (rock.fbm(u / 12.0, py / 18.0, 3) - 0.5) * (py - front->top) * 0.45;
        side = x < spine ? 1 : -1;
        lit = side > 0 ? 0.72 : 0.3;
      } else {
        lit = clamp01(0.5 - slope * 0.5);
      }
      // Gullies run down the fall line of each face.
      double along = (u + side * (py - ry) * 0.8) / 5.0;
      double gully = rock.fbm(along, py / 22.0, 3);
      lit = clamp01(lit + (gully - 0.5) * 0.7 - 0.2 * std::exp(-depth / 3.0) * (side < 0));
      Rgb col = mix({66, 72, 106}, {176, 170, 176}, lit);
      col =
          mix(col, {122, 100, 88}, clamp01((py - 60) / 60.0) * 0.5);  // warmer, earthy lower slopes
      // Snow on the high ground, thinning into streaks down the gullies.
      double sl = 36 + (snowline.fbm(u / 12.0, 2.5, 3) - 0.5) * 24;
      if (py < sl && (py < sl - 12 || gully > 0.48) && depth < 45)
        col =
            lit > 0.5 ? Rgb{246, 248, 252} : (lit > 0.25 ? Rgb{190, 202, 228} : Rgb{150, 164, 204});
      // Forested foothills toward the bottom.
      double tree = (H - 44) + (rock.at(u / 4.0, 3.0) - 0.5) * 14 + std::sin(u * 0.9) * 2;
      if (py > tree) {
        double t = rock.at(u / 2.0, py / 2.0);
        col = mix({40, 78, 50}, {80, 124, 64}, clamp01(t * 0.8 + lit * 0.3));
        if (py > tree + 18) col = mix(col, {34, 62, 44}, 0.4);
      }
      if (depth < 1.0) col = scale(col, 0.55);  // crisp rim on the skyline
      c.set(x, y, clamp_visible(col));
    }
  }
  return c;
}

Canvas make_pointer() {
  Canvas c(20, 20);
  // Arrow with its tip on pixel (0, 0); the rim is the tip.
  c.polygon({1, 1, 1, 15, 4.5, 12, 7.5, 18, 10, 17, 7.5, 11, 12, 11}, {250, 206, 96});
  c.polygon({1, 1, 1, 15, 4.5, 12, 5, 12, 2.5, 4}, {255, 244, 190});
  c.polygon({7.5, 11, 12, 11, 9.5, 13}, {204, 128, 52});
  c.outline({40, 22, 12}, true);
  c.set(0, 0, {40, 22, 12});
  return c;
}

}  // namespace ag
