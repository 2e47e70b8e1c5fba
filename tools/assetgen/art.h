// The picture makers of the asset generator, one per file that the game loads.
#pragma once

#include "canvas.h"

#include <string>
#include <vector>

namespace ag {

// Sprite sheet layout as the game cuts it.
constexpr int kSheetW = 640, kSheetH = 171;
constexpr int kFrameW = 48, kFrameH = 33, kFrames = 26;
constexpr int kCloudX = 393, kCloudY = 79, kCloudW = 116, kCloudH = 78;
constexpr int kHitW = 80, kHitH = 33, kHitFrames = 4, kHitY = 71;
inline int frame_x(int i) { return 1 + 49 * (i % 13); }
inline int frame_y(int i) { return 1 + 34 * (i / 13); }
inline int hit_x(int j) { return 1 + 81 * j; }

constexpr int kMountW = 416, kMountH = 147;

struct SheetParts {
  std::vector<Canvas> frames;  // 26 frames of 48 x 33
  std::vector<Canvas> hits;    // 4 frames of 80 x 33
  Canvas cloud;                // 116 x 78
};

SheetParts make_sprites();
Canvas assemble_sheet(const SheetParts& parts);

Canvas make_backdrop();            // 460 x 480
Canvas make_mountains(int which);  // 416 x 147, which = 1 or 2
Canvas make_pointer();             // 20 x 20

// Text rendered from the game's own font file through FreeType.
class Lettering {
 public:
  explicit Lettering(const std::string& font_path);
  ~Lettering();
  Lettering(const Lettering&) = delete;
  Lettering& operator=(const Lettering&) = delete;

  struct Mask {
    int w = 0, h = 0;
    std::vector<float> a;  // coverage 0..1, row-major
    float at(int x, int y) const {
      return (x < 0 || y < 0 || x >= w || y >= h) ? 0.f : a[static_cast<size_t>(y) * w + x];
    }
  };
  // Renders text at a pixel size; `track` adds pixels between letters.
  Mask render(const std::string& text, int px, int track = 0) const;

 private:
  void* lib_ = nullptr;
  void* face_ = nullptr;
  std::vector<unsigned char> data_;
};

Canvas make_logo(const Lettering& font);   // 420 x 236
Canvas make_title(const Lettering& font);  // 347 x 124
Canvas make_contact_sheet(const SheetParts& parts, const Canvas& sheet, const Canvas& backdrop,
                          const Canvas& title, const Canvas& logo, const Canvas& m1,
                          const Canvas& m2, const Canvas& pointer, const Lettering& font);

}  // namespace ag
