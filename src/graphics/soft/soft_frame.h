#pragma once
// Image frames of the software renderer. Each keeps its picture in a texture laid out as
// the GL renderer lays out its own (a power-of-two texture of its own with the edge
// repeated past the picture, or a cell of a page that the frames of a sheet share, with the
// same mipmap levels), and the same texture coordinates. Where a pixel centre falls exactly
// on the edge between two texels, which of them the GL samples depends on how its
// interpolated coordinate rounds, and that depends on these very numbers; so the pictures
// sit where the GL has them.

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/draw/draw2d.h"
#include "graphics/render/atlas.h"

class TPixmap;

// Texels 0xAARRGGBB, rows top first; level l is the level above halved (a side of 1 stays 1).
struct TSoftTexture {
  int width = 0, height = 0;
  int flags = 0;  // the image flags it was made with (FilteredImage, MipmappedImage)
  std::vector<std::vector<uint32_t>> levels;
  // New, from one count for all textures, whenever the texels change: a draw that samples
  // this version samples the same texels.
  uint64_t version = 0;
  // A box (x0, y0, x1, y1, inclusive) holding every first-level texel whose alpha is not 0;
  // x0 > x1 when there is none. Kept by Write, so it may hold more.
  int visible[4] = {0, 0, -1, -1};

  TSoftTexture(int w, int h, int image_flags, int max_level);
  int LevelWidth(int level) const;
  int LevelHeight(int level) const;
  int MaxLevel() const { return static_cast<int>(levels.size()) - 1; }
  bool AllVisible() const {
    return visible[0] == 0 && visible[1] == 0 && visible[2] == width - 1 &&
           visible[3] == height - 1;
  }
  // Writes a picture (any format) at (x, y) of a level, clipped to it. Draws not made yet
  // are made first.
  void Write(int level, const TPixmap& picture, int x, int y);
};

// A page of a sheet: one texture.
class TSoftPage : public TAtlasPage {
 public:
  std::shared_ptr<TSoftTexture> texture;
};

class TSoft2DDriver;

class TSoftImageFrame : public TImageFrame {
 public:
  TSoft2DDriver* renderer = nullptr;  // draws it; renderers live for the program
  std::shared_ptr<TSoftTexture> texture;
  float u0 = 0.0f, v0 = 0.0f, u1 = 0.0f, v1 = 0.0f;
  int seq = 0;  // graphics generation at creation
  // On a page: the picture and flags it was made from and, for an unfiltered frame, the
  // texture of its own that turned or scaled draws use, as the GL renderer does.
  bool on_page = false;
  std::shared_ptr<TPixmap> _source;
  int _flags = 0;
  std::shared_ptr<TSoftImageFrame> _own;

  void Draw(float x0, float y0, float x1, float y1, float tx, float ty) override;

  // None for a pixmap without pixels.
  static std::shared_ptr<TSoftImageFrame> CreateFromPixmap(TSoft2DDriver* renderer,
                                                           const std::shared_ptr<TPixmap>& source,
                                                           int flags);
  // Frame `slot` of a sheet of `slots` on the sheet's pages; none when the picture cannot
  // share them.
  static std::shared_ptr<TSoftImageFrame> CreateOnSheet(TSoft2DDriver* renderer, TFrameSheet& sheet,
                                                        int slot, int slots,
                                                        const std::shared_ptr<TPixmap>& pixmap,
                                                        int flags);
};

// The largest texture side the GL renderer gets on the software GL it is measured on.
constexpr int kSoftMaxTextureSide = 16384;
