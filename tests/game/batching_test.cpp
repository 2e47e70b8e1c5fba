// The batching renderer draws the game as immediate mode with one texture per frame did:
// a scripted game with a fixed seed is played twice, once through the reference below and
// once through the renderer itself, and every 30th screen of the two runs is compared.
// Batching keeps every vertex and the order of draws, and sprites drawn turned or scaled
// take a texture of their own, so not one pixel may differ; a near miss would hide a real
// fault, such as a state change reaching the GL before the batch it should follow. Only
// text drawn scaled (the lit menu item, "Game Over!") samples its filtered glyphs between
// texels of the font's shared page, where a coordinate rounded differently may shift a
// sample's weights: at most 1 step there.
#include <SDL.h>
#include <SDL_opengl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/gl2d.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/render/render_state.h"
#include "harness.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"

namespace {

// The reference: immediate mode, each primitive sent at once in the colour of the moment
// and each frame a texture of its own. Ovals, polygons, pixmaps, reads and the GL state
// are the renderer's own, which draws those at once anyway.
class ImmediateRenderer : public TGL2DDriver {
 public:
  void SetAlpha(float alpha) override {
    TGL2DDriver::SetAlpha(alpha);
    state_.SetAlpha(alpha);
    glColor4ubv(state_.color);
  }
  void SetColor(int red, int green, int blue) override {
    TGL2DDriver::SetColor(red, green, blue);
    state_.SetColor(red, green, blue);
    glColor4ubv(state_.color);
  }
  void SetTransform(float ix, float iy, float jx, float jy) override {
    TGL2DDriver::SetTransform(ix, iy, jx, jy);
    state_.SetTransform(ix, iy, jx, jy);
  }
  void Plot(float x, float y) override {
    glBegin(GL_POINTS);
    glVertex2f(x + 0.5f, y + 0.5f);
    glEnd();
  }
  void DrawLine(float x0, float y0, float x1, float y1, float tx, float ty) override {
    send(GL_LINES, {{x0, y0}, {x1, y1}}, tx, ty, 0.5f);
  }
  void DrawRect(float x0, float y0, float x1, float y1, float tx, float ty) override {
    send(GL_QUADS, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, tx, ty);
  }
  std::shared_ptr<TImageFrame> CreateFrameFromPixmap(const std::shared_ptr<TPixmap>& pixmap,
                                                     int flags) override {
    auto t =
        std::dynamic_pointer_cast<TGLImageFrame>(TGL2DDriver::CreateFrameFromPixmap(pixmap, flags));
    return t ? std::make_shared<Frame>(*this, t) : nullptr;
  }
  std::shared_ptr<TImageFrame> CreateSheetFrame(TFrameSheet&, int, int,
                                                const std::shared_ptr<TPixmap>& pixmap,
                                                int flags) override {
    return CreateFrameFromPixmap(pixmap, flags);
  }

 private:
  struct Frame : TImageFrame {
    Frame(ImmediateRenderer& r, std::shared_ptr<TGLImageFrame> t) : r(r), t(std::move(t)) {}
    void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override {
      glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(t->name));
      glEnable(GL_TEXTURE_2D);
      r.send(GL_QUADS,
             {{x0, y0, t->u0, t->v0},
              {x1, y0, t->u1, t->v0},
              {x1, y1, t->u1, t->v1},
              {x0, y1, t->u0, t->v1}},
             tx, ty, 0.0f, true);
      glDisable(GL_TEXTURE_2D);  // as the renderer's own draws expect it
    }
    ImmediateRenderer& r;
    std::shared_ptr<TGLImageFrame> t;
  };

  // Local points x, y (and texture u, v), each by the matrix, moved by (tx, ty) and nudge.
  void send(GLenum mode, std::initializer_list<std::array<float, 4>> points, float tx, float ty,
            float nudge = 0.0f, bool textured = false) const {
    glBegin(mode);
    for (const auto& [x, y, u, v] : points) {
      if (textured) glTexCoord2f(u, v);
      glVertex2f(state_.ScreenX(x, y, tx) + nudge, state_.ScreenY(x, y, ty) + nudge);
    }
    glEnd();
  }

  TRenderState state_;
};

constexpr int kFrames = 300;

// Splash, title, a start with the last plane, firing, every kind of effect, a dive into the
// mountains and "Game Over!": text, stereo copies, turned, scaled and blended sprites,
// lines and grabbed bars.
std::vector<std::shared_ptr<TPixmap>> play(int glasses, int retro, bool reference) {
  // Renderers live for the program: frames and graphics keep plain pointers to them.
  static const auto immediate = std::make_shared<ImmediateRenderer>();
  init_graphics_module();
  SetGraphicsDriver(reference ? immediate : GLRenderer());
  game_dir dir;
  dir.write_bytes("data/anaglyph3d.dat", le32(glasses));
  std::vector<std::shared_ptr<TPixmap>> screens;
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
    if (f % 30 == 0) screens.push_back(GrabPixmap(0, 0, 640, 480));
    return f >= kFrames;
  });
  EXPECT_EQ(run.run(), 0);
  SetGraphicsDriver(GLRenderer());
  return screens;
}

}  // namespace

TEST(Batching, BatchedScreensMatchImmediateModeFlatWithEachGlassesTypeAndRetroLines) {
  struct Case {
    int glasses, retro;
  };
  for (const Case c : {Case{0, 0}, Case{1, 0}, Case{2, 0}, Case{3, 0}, Case{4, 0}, Case{0, 1}}) {
    const auto reference = play(c.glasses, c.retro, true);
    const auto batched = play(c.glasses, c.retro, false);
    ASSERT_EQ(reference.size(), static_cast<size_t>(kFrames / 30));
    ASSERT_EQ(batched.size(), reference.size());
    for (size_t i = 0; i < reference.size(); ++i) {
      ASSERT_TRUE(reference[i] && batched[i]);
      int differing = 0, worst = 0;
      for (int y = 0; y < 480; ++y) {
        const uint8_t* a = reference[i]->PixelPtr(0, y);
        const uint8_t* b = batched[i]->PixelPtr(0, y);
        for (int x = 0; x < 640 * 4; x += 4) {
          int step = 0;
          for (int k = 0; k < 4; ++k) step = std::max(step, std::abs(a[x + k] - b[x + k]));
          if (step) ++differing;
          worst = std::max(worst, step);
        }
      }
      const int f = 30 * static_cast<int>(i + 1);
      SCOPED_TRACE("glasses " + std::to_string(c.glasses) + ", retro " + std::to_string(c.retro) +
                   ", frame " + std::to_string(f));
      if (f == 30 || f > 250) {
        EXPECT_LE(worst, 1) << "a filtered sample of scaled text moves by a step at most";
        EXPECT_LE(differing, 640 * 480 / 1000) << "on at most 0.1 % of the screen";
      } else {
        EXPECT_EQ(differing, 0) << "worst step " << worst;
      }
    }
  }
}
