#pragma once
// Opens the real 640 x 480 screen (Xvfb + Mesa under ./test) for graphics tests; its pixels
// are read with the probes of screen_probe.h.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "screen_probe.h"

class TPixmap;

// Opens the display once per test program, on an X server of its own: a 640 x 480 window
// (depth 0, no pacing), so no vertical-sync probe runs. Returns false with the reason when
// there is no display.
bool gl_fixture_open(std::string* why = nullptr);

// Resets the drawing state to its initial values and clears the screen to black.
void gl_fixture_reset();

// What the X server shows, the whole desktop, as ImageMagick's import reads it; none when
// it cannot.
std::shared_ptr<TPixmap> desktop_shot();

// Base for tests that draw: opens the display (failing the test when it cannot) and
// starts every test from the initial state on a black screen.
class GLTest : public ::testing::Test {
 protected:
  void SetUp() override;
};
