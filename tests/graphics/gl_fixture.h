#pragma once
// Opens the real 640 x 480 screen (Xvfb + Mesa under ./test) for graphics tests and
// reads its pixels back.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

class TPixmap;

// Opens the display once per test program, on an X server of its own: a 640 x 480 window
// (depth 0, no pacing), so no vertical-sync probe runs. Returns false with the reason when
// there is no display.
bool gl_fixture_open(std::string* why = nullptr);

// Resets the drawing state to its initial values and clears the screen to black.
void gl_fixture_reset();

// The whole screen as PixelRGBA8888, top row first.
std::shared_ptr<TPixmap> grab_screen();
// One screen pixel as 0xRRGGBB (alpha dropped).
uint32_t screen_rgb(int x, int y);
// Number of pixels of the screen block whose colour is exactly rgb.
int count_rgb(int x, int y, int w, int h, uint32_t rgb);
// Bounding box of the pixels that are not black; false when all are black.
bool lit_bounds(int& x0, int& y0, int& x1, int& y1);
// What the X server shows, the whole desktop, as ImageMagick's import reads it; none when
// it cannot.
std::shared_ptr<TPixmap> desktop_shot();

// Base for tests that draw: opens the display (failing the test when it cannot) and
// starts every test from the initial state on a black screen.
class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
};
