#pragma once
// Probes of the screen a test draws on, the back buffer of the open graphics, read back as
// the program would grab it. A pixel is lit when it is anything but black.
#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>

class TPixmap;

struct rgb {
  int r = 0, g = 0, b = 0;
  bool operator==(const rgb&) const = default;
};

bool lit(rgb c);  // anything but black
bool near_colour(rgb c, int r, int g, int b, int tolerance);

// The whole screen as PixelRGBA8888, top row first.
std::shared_ptr<TPixmap> grab_screen();
// One screen pixel as 0xRRGGBB (alpha dropped).
uint32_t screen_rgb(int x, int y);
bool lit_at(int x, int y);  // the screen pixel is
// Pixels of the w x h block at (x, y) whose colour is exactly rgb.
int count_rgb(int x, int y, int w, int h, uint32_t rgb);
// Corners of a block of pixels, both included.
struct box {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  bool any() const { return x1 >= 0; }
  bool operator==(const box&) const = default;
};
std::ostream& operator<<(std::ostream& out, const box& b);
// The bounding box of the lit pixels of the screen; none lit: !any().
box lit_box();
// Pixels of two pixmaps of one size whose colours differ (alpha left out); -1 when one is
// missing or the sizes differ.
int differing_pixels(const std::shared_ptr<TPixmap>& a, const std::shared_ptr<TPixmap>& b);

// The screen as it stands, kept for many reads. Boxes run from corner to corner, both
// included; outside the screen every pixel reads black.
class screen_shot {
 public:
  screen_shot();
  rgb at(int x, int y) const;
  // Pixels in the box that pass the test.
  int count(int x0, int y0, int x1, int y1, const std::function<bool(rgb)>& test) const;
  // Rightmost (leftmost) column in the box with a pixel that passes the test, -1 when none.
  int right_edge(int x0, int y0, int x1, int y1, const std::function<bool(rgb)>& test) const;
  int left_edge(int x0, int y0, int x1, int y1, const std::function<bool(rgb)>& test) const;
  int width() const;
  int height() const;

 private:
  std::shared_ptr<TPixmap> pixmap_;
};
