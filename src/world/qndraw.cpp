// The stereo drawer.
#include "world/qndraw.h"

#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "world/globals.h"

int qndraw_tag::slc(int lr, int lg, int lb, int rr, int rg, int rb) {
  leye_r = lr;
  leye_g = lg;
  leye_b = lb;
  reye_r = rr;
  reye_g = rg;
  reye_b = rb;
  return 0;
}

int qndraw_tag::sip(int blend, float alpha, float rotation, float scale_x, float scale_y) {
  SetBlend(blend);
  SetAlpha(alpha);
  SetRotationScale(rotation, scale_x, scale_y);
  txt_xs = scale_x;
  txt_ys = scale_y;
  return 0;
}

int qndraw_tag::i3d(const std::shared_ptr<TImage>& image, float x, float y, int frame, float offset,
                    float rot_offset, int count) {
  // Copies are turned about a whole-degree base, and that is what is left behind.
  const int base = static_cast<int>(GetRotation());
  if (mode3d != 0) {
    for (int i = 0; i < count; ++i) {
      SetBlend(LightBlend);
      SetColor(leye_r, leye_g, leye_b);
      if (rot_offset != 0.0f) SetRotation(static_cast<float>(base) + rot_offset);
      DrawImage(image, x - offset, y, frame);
      SetColor(reye_r, reye_g, reye_b);
      if (rot_offset != 0.0f) SetRotation(static_cast<float>(base) - rot_offset);
      DrawImage(image, x + offset, y, frame);
    }
  } else {
    DrawImage(image, x, y, frame);
  }
  if (rot_offset != 0.0f) SetRotation(static_cast<float>(base));
  return 0;
}

int qndraw_tag::t3d(const std::string& text, float x, float y, float offset, int centred) {
  if (centred != 0) {
    // The scale of the last sip, not the one now set: callers rely on that.
    x -= static_cast<float>(TextWidth(text)) * txt_xs / 2.0f;
    y -= static_cast<float>(TextHeight(text)) * txt_ys / 2.0f;
  }
  if (mode3d != 0) {
    SetBlend(LightBlend);
    SetColor(leye_r, leye_g, leye_b);
    DrawText(text, x - offset, y);
    SetColor(reye_r, reye_g, reye_b);
    DrawText(text, x + offset, y);
  } else {
    DrawText(text, x, y);
  }
  return 0;
}
