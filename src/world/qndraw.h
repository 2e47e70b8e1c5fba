#pragma once
// The stereo drawer: pictures and texts that take part in the anaglyph look go through
// the one global draw3d. Flat (mode3d 0) it draws once with the caller's state; in
// stereo it draws a left-eye copy at x - offset and a right-eye copy at x + offset,
// both additive, so the offset is the item's depth.
#include <memory>
#include <string>

class TImage;

class qndraw_tag {
 public:
  int leye_r = 0, leye_g = 0, leye_b = 0;  // tint of the copy drawn at x - offset
  int reye_r = 0, reye_g = 0, reye_b = 0;  // tint of the copy drawn at x + offset
  float txt_xs = 0.0f;                     // text scale of the last sip, for centring
  float txt_ys = 0.0f;

  virtual ~qndraw_tag() = default;

  // Stores the two eye tints.
  virtual int slc(int lr, int lg, int lb, int rr, int rg, int rb);
  // Blend, alpha, rotation and scale in one go; remembers the scale for t3d.
  virtual int sip(int blend, float alpha, float rotation, float scale_x, float scale_y);
  // Draws a frame flat, or count stereo pairs; rot_offset turns the two copies apart.
  // Colour and blend are left as the last copy set them.
  virtual int i3d(const std::shared_ptr<TImage>& image, float x, float y, int frame, float offset,
                  float rot_offset, int count);
  // Draws a text flat or as a stereo pair; centred moves it by half its size at the
  // scale of the last sip.
  virtual int t3d(const std::string& text, float x, float y, float offset, int centred);
};
