// The batching renderer draws the game as immediate mode with one texture per frame did:
// a scripted game with a fixed seed is played twice, once each way, and every 30th
// screen of the two runs is compared. Batching keeps every vertex and the order of draws,
// and sprites drawn turned or scaled take a texture of their own, so not one pixel may
// differ; a near miss would hide a real fault, such as a state change reaching the GL
// before the batch it should follow. Only text drawn scaled (the lit menu item, "Game
// Over!") samples its filtered glyphs between texels of the font's shared page, where a
// coordinate rounded differently may shift a sample's weights: at most 1 step there.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/gl/gl2d.h"
#include "graphics/pixmap/pixmap.h"
#include "harness.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"

namespace {

constexpr int kFrames = 300;

// Splash, title, a start with the last plane, firing, every kind of effect, a dive into the
// mountains and "Game Over!": text, stereo copies, turned, scaled and blended sprites,
// lines and grabbed bars.
std::vector<std::shared_ptr<TPixmap>> play(int glasses, int retro, bool reference) {
  SetGLReferenceDrawing(reference);
  scratch_dir dir;
  dir.write_bytes("data/anaglyph3d.dat", le32(glasses));
  std::vector<std::shared_ptr<TPixmap>> screens;
  game_run run;
  run.until([&] {
    const int f = run.frames;
    if (f == 1) retro_fx = retro;
    if (f == 20) press_key(SDL_SCANCODE_SPACE);
    if (f == 25) pointer_to(320, 240);  // "Start Game" lit, its text a fifth larger
    if (f == 50) click_at(320, 240);    // "Start Game"
    if (f > 50) press_key(SDL_SCANCODE_LCTRL);
    if (f == 80) {
      player->lives = 1;
      explode_tag::create_it(300.0f, 200.0f, 1.0f);
      particle_tag::create_em(250.0f, 250.0f, 2, 8);
      smoke_tag::create_it(350.5f, 150.25f);
      points_tag::create_it(320, 180, 150);
      bpop_tag::create_it(400, 220.5f);
      key_event(SDL_SCANCODE_DOWN, true);
    }
    if (f == 250) game_state = 5;  // straight to "Game Over!", drawn twice the size
    if (f % 30 == 0) screens.push_back(GrabPixmap(0, 0, 640, 480));
    return f >= kFrames;
  });
  EXPECT_EQ(run.run(), 0);
  SetGLReferenceDrawing(false);
  return screens;
}

}  // namespace

TEST(Pixels, BatchedScreensMatchImmediateModeFlatWithEachGlassesTypeAndRetroLines) {
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
