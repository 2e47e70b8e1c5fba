#pragma once
// Shared set-up for the world suites: the real 640 x 480 display (under Xvfb), simple
// test pictures with known solid areas and a fresh world per test; the screen is read
// with the probes of screen_probe.h.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "screen_probe.h"
#include "world/qndraw.h"

class balloon_tag;
class ebplane_tag;
class pshot_tag;

// Test pictures, all white where solid:
//  sprites: every 48 x 33 frame solid, except frame 21 (the shot): an 8 x 4 block at its
//           centre (screen x-4..x+3, y-2..y+1 around the shot's position);
//  mts1_img / mts2_img: 416 x 147, solid from local row 100 down (screen rows 432+);
//  cloud_img 116 x 78 and blimp_hit_img 4 x 80 x 33: solid.
constexpr int kMountainSolidRow = 100;

// A stereo drawer that also records what went through it.
struct recording_draw : qndraw_tag {
  struct text_call {
    std::string text;
    float x, y, offset;
    int centred;
  };
  std::vector<text_call> texts;

  int t3d(const std::string& text, float x, float y, float offset, int centred) override;
  int count(const std::string& text) const;  // draws of this text
};

class WorldTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  // The recording drawer installed as draw3d for this test.
  std::shared_ptr<recording_draw> rec;
};

// A key as the system driver emits it, without SDL.
void emit_key_down(int key);
void emit_key_up(int key);

// Where a dying plane waits: far from every target.
void park_player();

// Objects put straight into the sky's lists.
std::shared_ptr<ebplane_tag> add_plane(float x, int y, float spd, int dir);
std::shared_ptr<balloon_tag> add_balloon(int x, float y, float dir = -0.2f);
std::shared_ptr<pshot_tag> add_shot(int x, int y, int spd = 8);
