#pragma once
// Shared pages for the frames of a sheet (the frames of one image, the glyphs of one font),
// packed in shelves. Each picture is surrounded by `pad` texels that repeat its edge, so
// that filtering near an edge sees what clamping to the edge of a picture of its own would:
// never a neighbour. The first shelf of a page lies on the page's top edge, which clamping
// repeats, so a sheet of equal frames that fits one shelf samples every row exactly as one
// texture per frame did. Mipmapped pages keep 4 texels of edge and 4-texel alignment and
// stop at level 2, where one texel of edge is still left around every picture.
//
// The renderer makes the pages (textures, for the GL) and writes the pictures into them.

#include <memory>
#include <unordered_map>
#include <vector>

class TPixmap;

// The smallest power of two not below n (1 for 1), at most 2^30.
int PowerOfTwoAtLeast(int n);

// Where a frame's picture lies in its page.
struct TAtlasCell {
  int page = 0;
  int x = 0, y = 0, w = 0, h = 0;
};

class TAtlasPage {
 public:
  int width = 0, height = 0;
  virtual ~TAtlasPage() = default;
};

class TAtlas {
 public:
  const int flags;     // the image flags of every frame on the pages
  int pad = 1;         // texels of repeated edge around each picture
  int max_level = -1;  // the last mipmap level the pages have; -1: all
  std::vector<std::shared_ptr<TAtlasPage>> pages;

  explicit TAtlas(int flags);
  virtual ~TAtlas() = default;

  // The cell of frame `slot` of a sheet of `slots` frames (0: not known yet), placed on
  // the first call. False when the picture is another size than its cell, or too big to
  // share a page: it then needs a texture of its own.
  bool CellFor(int slot, int slots, int w, int h, TAtlasCell& cell);
  // The picture as PixelRGBA8888 with its edges repeated around it, to be written at
  // (x, y) of its page; none when no pixmap can be made.
  std::shared_ptr<TPixmap> PaddedPicture(const TAtlasCell& cell,
                                         const std::shared_ptr<TPixmap>& source, int& x,
                                         int& y) const;

 protected:
  // Whether the renderer can make a page of w x h.
  virtual bool PageFits(int w, int h) = 0;
  // A new page of w x h, every texel cleared; none when it cannot be made.
  virtual std::shared_ptr<TAtlasPage> MakePage(int w, int h) = 0;

 private:
  bool place(int slots, int w, int h, TAtlasCell& cell);
  std::shared_ptr<TAtlasPage> new_page(int slots, int cw, int ch0, int ch);

  std::unordered_map<int, TAtlasCell> cells_;  // by slot
  int placed_ = 0;
  int shelf_x_ = 0, shelf_y_ = 0, shelf_h_ = 0;  // packing of the last page
};
