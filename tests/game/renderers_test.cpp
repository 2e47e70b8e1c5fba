// The software renderer draws the game as the GL renderer does on the software GL the test
// machines have (llvmpipe): a scripted game with a fixed seed is played twice, once through
// each renderer, and every 30th screen of the two runs is compared.
//
// Where no draw is turned, scaled or filtered, not one pixel may differ: both renderers
// cover the same pixels, sample the same texels and round colour and blend the same way.
// Drawn turned, scaled or filtered, a frame's pixel centres fall between texels or on its
// slanted edges in ways that depend on float rounding deep in the GL; there, and only
// within a pixel and a half of such a frame's edges, a pixel may differ, on at most 0.5 %
// of the screen.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/gl2d.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/render/quad_batch.h"
#include "graphics/soft/soft2d.h"
#include "graphics/soft/soft_frame.h"
#include "harness.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"

namespace {

struct Outline {
  float x[4], y[4];
};

// The software renderer, noting where each turned, scaled or filtered frame lands.
class NotingRenderer : public TSoft2DDriver {
 public:
  std::vector<Outline> noted;

  std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                     int flags) override {
    return wrap(TSoft2DDriver::CreateFrameFromPixmap(pixmap, flags), flags);
  }
  std::shared_ptr<TImageFrame> CreateSheetFrame(TFrameSheet& sheet, int slot, int slots,
                                                const std::shared_ptr<TPixmap>& pixmap,
                                                int flags) override {
    return wrap(TSoft2DDriver::CreateSheetFrame(sheet, slot, slots, pixmap, flags), flags);
  }

 private:
  struct Frame : TImageFrame {
    Frame(NotingRenderer& r, std::shared_ptr<TImageFrame> f, bool filtered)
        : r(r), f(std::move(f)), filtered(filtered) {}
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override {
      const TRenderState& s = r.State();
      if (filtered || s.ix != 1.0f || s.iy != 0.0f || s.jx != 0.0f || s.jy != 1.0f) {
        const TScreenQuad q(s, x0, y0, x1, y1, tx, ty);
        Outline o;
        std::copy(q.x, q.x + 4, o.x);
        std::copy(q.y, q.y + 4, o.y);
        r.noted.push_back(o);
      }
      f->Draw(x0, y0, x1, y1, tx, ty);
    }
    NotingRenderer& r;
    std::shared_ptr<TImageFrame> f;
    bool filtered;
  };
  std::shared_ptr<TImageFrame> wrap(std::shared_ptr<TImageFrame> f, int flags) {
    return f ? std::make_shared<Frame>(*this, std::move(f), (flags & FilteredImage) != 0) : nullptr;
  }
};

// Whether the pixel centre lies within 1.5 pixels of an edge of the outline.
bool near_edge(const Outline& o, int px, int py) {
  const float cx = static_cast<float>(px) + 0.5f, cy = static_cast<float>(py) + 0.5f;
  for (int i = 0; i < 4; ++i) {
    const float ax = o.x[i], ay = o.y[i], bx = o.x[(i + 1) % 4], by = o.y[(i + 1) % 4];
    const float dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    const float t =
        len2 > 0.0f ? std::clamp(((cx - ax) * dx + (cy - ay) * dy) / len2, 0.0f, 1.0f) : 0.0f;
    const float ex = ax + t * dx - cx, ey = ay + t * dy - cy;
    if (ex * ex + ey * ey <= 1.5f * 1.5f) return true;
  }
  return false;
}

struct Shot {
  std::shared_ptr<TPixmap> screen;
  std::vector<Outline> noted;  // in the software run
};

constexpr int kFrames = 300;

// Splash, title, a start with the last plane, firing, every kind of effect, a dive into the
// mountains and "Game Over!": text, stereo copies, turned, scaled and blended sprites,
// lines and grabbed bars.
std::vector<Shot> play(int glasses, int retro, bool soft) {
  // Renderers live for the program: frames and graphics keep plain pointers to them.
  static const auto noting = std::make_shared<NotingRenderer>();
  init_graphics_module();
  SetGraphicsDriver(soft ? std::shared_ptr<TGraphicsDriver>(noting) : GLRenderer());
  game_dir dir;
  dir.write_bytes("data/anaglyph3d.dat", le32(glasses));
  std::vector<Shot> shots;
  game_run run;
  run.until([&] {
    const int f = run.frames;
    if (f == 1) retro_fx = retro;
    if (f == 20) push_key_press(SDL_SCANCODE_SPACE);
    if (f == 25) pointer_to(320, 240);  // "Start Game" lit, its text a fifth larger
    if (f == 50) click_at(320, 240);    // "Start Game"
    if (f > 50) push_key_press(SDL_SCANCODE_LCTRL);
    if (f == 80) {
      player->lives = 1;
      explode_tag::create_it(300.0f, 200.0f, 1.0f);
      particle_tag::create_em(250.0f, 250.0f, 2, 8);
      smoke_tag::create_it(350.5f, 150.25f);
      points_tag::create_it(320, 180, 150);
      bpop_tag::create_it(400, 220.5f);
      push_key(SDL_SCANCODE_DOWN, true);
    }
    if (f == 250) game_state = state_game_over;  // straight to "Game Over!", drawn twice the size
    if (f % 30 == 0) shots.push_back({GrabPixmap(0, 0, 640, 480), noting->noted});
    noting->noted.clear();
    return f >= kFrames;
  });
  EXPECT_EQ(run.run(), 0);
  SetGraphicsDriver(GLRenderer());
  return shots;
}

}  // namespace

TEST(Renderers, SoftwareScreensMatchTheGLFlatWithEachGlassesTypeAndRetroLines) {
  struct Case {
    int glasses, retro;
  };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{3, 0}, Case{4, 0}, Case{0, 1}}) {
    const auto gl = play(c.glasses, c.retro, false);
    const auto soft = play(c.glasses, c.retro, true);
    ASSERT_EQ(gl.size(), static_cast<size_t>(kFrames / 30));
    ASSERT_EQ(soft.size(), gl.size());
    for (size_t i = 0; i < gl.size(); ++i) {
      ASSERT_TRUE(gl[i].screen && soft[i].screen);
      int differing = 0, unexplained = 0;
      std::string first;
      for (int y = 0; y < 480; ++y) {
        const uint8_t* a = gl[i].screen->PixelPtr(0, y);
        const uint8_t* b = soft[i].screen->PixelPtr(0, y);
        for (int x = 0; x < 640; ++x) {
          if (a[4 * x] == b[4 * x] && a[4 * x + 1] == b[4 * x + 1] && a[4 * x + 2] == b[4 * x + 2])
            continue;
          ++differing;
          const auto& noted = soft[i].noted;
          if (std::any_of(noted.begin(), noted.end(),
                          [&](const Outline& o) { return near_edge(o, x, y); }))
            continue;
          if (unexplained++ < 4)
            first += " (" + std::to_string(x) + "," + std::to_string(y) + ") gl " +
                     std::to_string(a[4 * x]) + "," + std::to_string(a[4 * x + 1]) + "," +
                     std::to_string(a[4 * x + 2]) + " soft " + std::to_string(b[4 * x]) + "," +
                     std::to_string(b[4 * x + 1]) + "," + std::to_string(b[4 * x + 2]);
        }
      }
      const int f = 30 * static_cast<int>(i + 1);
      SCOPED_TRACE("glasses " + std::to_string(c.glasses) + ", retro " + std::to_string(c.retro) +
                   ", frame " + std::to_string(f));
      EXPECT_EQ(unexplained, 0) << first;
      EXPECT_LE(differing, 640 * 480 / 200) << "on at most 0.5 % of the screen";
    }
  }
}
