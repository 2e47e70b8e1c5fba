// Images with frames, and the pixel-accurate collision layers.
//
// An image keeps one pixmap per frame (the pixels) and, once drawn, one drawable
// frame per frame made by the current renderer. Drawable frames remember the
// graphics generation they were made in and are rebuilt after graphics reopen.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TPixmap;
class TImageFrame;
class TFrameSheet;

// Image flags, combinable.
constexpr int MaskedImage = 1;    // mask-coloured pixels become transparent
constexpr int FilteredImage = 2;  // linear filtering instead of nearest texel
constexpr int MipmappedImage = 4;
constexpr int DynamicImage = 8;  // the picture is expected to change

class TImage {
 public:
  int width = 0, height = 0;
  int flags = 0;
  int mask_r = 0, mask_g = 0, mask_b = 0;
  float handle_x = 0.0f, handle_y = 0.0f;
  std::vector<std::shared_ptr<TPixmap>> pixmaps;     // per frame, none until needed
  std::vector<std::shared_ptr<TImageFrame>> frames;  // per frame, renderer's frame or none
  std::vector<int> seqs;                             // per frame, generation of frames[i]; 0 = none
  // Frames drawn together share one texture where the renderer can: frame i is slot
  // _sheet_slot + i of the sheet, which has _sheet_slots slots (0: not known yet).
  // Images of more than one frame get a sheet of their own; a font shares one.
  std::shared_ptr<TFrameSheet> _sheet;
  int _sheet_slot = 0;
  int _sheet_slots = 0;

  virtual ~TImage() = default;

  // The drawable frame, made (again) when the graphics generation has changed.
  // None for an index outside the image.
  virtual std::shared_ptr<TImageFrame> Frame(int index);
  // The frame's pixmap, made on demand as PixelRGBA8888 (contents undefined until
  // written). With write set the drawable frame is dropped first.
  virtual std::shared_ptr<TPixmap> Lock(int index, int read, int write);
  // Stores a frame's pixmap (masked first when the image is masked and the
  // pixmap has no alpha channel) and drops the drawable frame.
  virtual void SetPixmap(int index, std::shared_ptr<TPixmap> pixmap);

  static std::shared_ptr<TImage> Create(int width, int height, int frames, int flags, int mask_r,
                                        int mask_g, int mask_b);
  static std::shared_ptr<TImage> Load(const std::shared_ptr<TPixmap>& source, int flags, int mask_r,
                                      int mask_g, int mask_b);
  static std::shared_ptr<TImage> Load(const std::string& source, int flags, int mask_r, int mask_g,
                                      int mask_b);
  static std::shared_ptr<TImage> LoadAnim(const std::shared_ptr<TPixmap>& source, int cell_width,
                                          int cell_height, int first_cell, int cell_count,
                                          int flags, int mask_r, int mask_g, int mask_b);
  static std::shared_ptr<TImage> LoadAnim(const std::string& source, int cell_width,
                                          int cell_height, int first_cell, int cell_count,
                                          int flags, int mask_r, int mask_g, int mask_b);
};

// Layer-wide settings for new images.
void SetMaskColor(int red, int green, int blue);  // initially (0, 0, 0)
void GetMaskColor(int& red, int& green, int& blue);
void SetDefaultImageFlags(int flags);  // initially 3; -1 is ignored
int GetDefaultImageFlags();
void AutoCentreHandle(int enable);  // initially off

// A source is a pixmap or anything a pixmap loads from (a path, "incbin::name").
// flags -1 takes the automatic flags. None when the picture cannot be had.
std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TPixmap>& source, int flags = -1);
std::shared_ptr<TImage> LoadImage(const std::string& source, int flags = -1);
inline std::shared_ptr<TImage> LoadImage(const char* source, int flags = -1) {
  return LoadImage(std::string(source ? source : ""), flags);
}
// Cuts a strip or sheet into cell_count cells of cell_width x cell_height from first_cell on.
std::shared_ptr<TImage> LoadImageStrip(const std::shared_ptr<TPixmap>& source, int cell_width,
                                       int cell_height, int first_cell, int cell_count,
                                       int flags = -1);
std::shared_ptr<TImage> LoadImageStrip(const std::string& source, int cell_width, int cell_height,
                                       int first_cell, int cell_count, int flags = -1);
// DynamicImage is always added.
std::shared_ptr<TImage> CreateImage(int width, int height, int frames = 1, int flags = -1);

// Copies the back-buffer block at (x, y) of the image's size into the frame.
void GrabImage(const std::shared_ptr<TImage>& image, int x, int y, int frame = 0);
// Draws the frame with its handle on (x, y), under the current drawing state.
void DrawImage(const std::shared_ptr<TImage>& image, float x, float y, int frame = 0);
// DrawImageStretched and DrawImageTiled live with the drawing context (draw2d.h).

void CentreImageHandle(const std::shared_ptr<TImage>& image);
void SetImageHandle(const std::shared_ptr<TImage>& image, float x, float y);
int ImageWidth(const std::shared_ptr<TImage>& image);
int ImageHeight(const std::shared_ptr<TImage>& image);
// Write access to a frame's pixmap; the texture is rebuilt at the next draw.
std::shared_ptr<TPixmap> LockImageFrame(const std::shared_ptr<TImage>& image, int frame = 0);
void UnlockImageFrame(const std::shared_ptr<TImage>& image, int frame = 0);

// ---- Collision ----
//
// 32 layers, one per bit of a mask. A layer holds quads: placed image frames or
// rectangles, with the pixmap whose alpha decides which pixels are solid.

class TQuad {
 public:
  TQuad* link = nullptr;          // next quad in a layer or in the free list (not owning)
  std::shared_ptr<void> id;       // the caller's object for this quad
  std::shared_ptr<TPixmap> mask;  // none: solid everywhere
  int frame = 0;
  float minx = 0, miny = 0, maxx = 0, maxy = 0;
  float xyuv[16] = {};  // four corners: x, y, u, v

  // Stores the corners with texture coordinates (0,0), (1,0), (1,1), (0,1).
  void SetCoords(float x0, float y0, float x1, float y1, float x2, float y2, float x3, float y3);
};

using TCollisionHits = std::vector<std::shared_ptr<void>>;

// The collision system's own copy of the drawing transform; the drawing context
// passes it on every transform change.
void SetCollisionTransform(float ix, float iy, float jx, float jy);
void GetCollisionTransform(float& ix, float& iy, float& jx, float& jy);

// Empties every layer whose bit is set; a mask of 0 empties all 32.
void ClearCollisionLayers(int mask);
// Tests the quad against the layers of collide_mask (returning the ids of the quads
// hit), then records a copy of it in the layers of write_mask.
TCollisionHits LayerTestQuad(const TQuad& quad, int collide_mask, int write_mask);
// The same for an image frame placed at (x, y) by its handle under the current
// origin and transform. A frame outside the image tests and records nothing.
TCollisionHits LayerTestImage(const std::shared_ptr<TImage>& image, int x, int y, int frame,
                              int collide_mask, int write_mask, std::shared_ptr<void> id = nullptr);
// The same for a solid rectangle of width x height at (x, y).
TCollisionHits LayerTestRect(int x, int y, int width, int height, int collide_mask, int write_mask,
                             std::shared_ptr<void> id = nullptr);

// 1 when the two placed frames share a pixel whose alpha is 128 or more in both.
// Uses layer 31 only.
int ImagesOverlap(const std::shared_ptr<TImage>& image1, int x1, int y1, int frame1,
                  const std::shared_ptr<TImage>& image2, int x2, int y2, int frame2);
// The same with an explicit rotation and scale for each image; the collision
// transform is restored afterwards.
int ImagesOverlapRotated(const std::shared_ptr<TImage>& image1, int x1, int y1, float rotation1,
                         float scale_x1, float scale_y1, int frame1,
                         const std::shared_ptr<TImage>& image2, int x2, int y2, float rotation2,
                         float scale_x2, float scale_y2, int frame2);
