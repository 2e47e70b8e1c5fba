// Images: frames of pixels with lazily made textures, and the free image operations.
#include "graphics/draw/image.h"

#include "graphics/draw/draw2d.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"

namespace {

struct ImageDefaults {
  int mask_r = 0, mask_g = 0, mask_b = 0;
  int flags = MaskedImage | FilteredImage;
  bool auto_centre = false;
};

ImageDefaults& defaults() {
  static ImageDefaults d;
  return d;
}

bool valid_frame(const TImage& image, int index) {
  return index >= 0 && index < static_cast<int>(image.pixmaps.size());
}

int resolve_flags(int flags) { return flags == -1 ? defaults().flags : flags; }

std::shared_ptr<TImage> finish_new(std::shared_ptr<TImage> image) {
  if (image && defaults().auto_centre) CentreImageHandle(image);
  return image;
}

}  // namespace

std::shared_ptr<TImageFrame> TImage::Frame(int index) {
  if (!valid_frame(*this, index)) return nullptr;
  const int generation = GraphicsGeneration();
  if (seqs[index] != generation) {
    // Drop the old texture before making its replacement.
    frames[index].reset();
    seqs[index] = 0;
    std::shared_ptr<TImageFrame> made;
    if (T2DDriver* driver = Current2DDriver()) {
      if (std::shared_ptr<TPixmap> pixmap = Lock(index, 1, 0))
        made = _sheet ? driver->CreateSheetFrame(*_sheet, _sheet_slot + index, _sheet_slots, pixmap,
                                                 flags)
                      : driver->CreateFrameFromPixmap(pixmap, flags);
    }
    frames[index] = made;
    seqs[index] = made ? generation : 0;
  }
  return frames[index];
}

std::shared_ptr<TPixmap> TImage::Lock(int index, int read, int write) {
  if (!valid_frame(*this, index)) return nullptr;
  if (write) {
    frames[index].reset();
    seqs[index] = 0;
  }
  if (!pixmaps[index]) {
    // Start clear rather than with whatever the allocator held: a frame drawn or
    // hit-tested before anything is grabbed into it then shows, and hits, nothing.
    pixmaps[index] = CreatePixmap(width, height, PixelRGBA8888, 4);
    if (pixmaps[index]) pixmaps[index]->ClearPixels(0);
  }
  return pixmaps[index];
}

void TImage::SetPixmap(int index, std::shared_ptr<TPixmap> pixmap) {
  if (!valid_frame(*this, index)) return;
  if (pixmap && (flags & MaskedImage) && !FormatHasAlpha(pixmap->format))
    pixmap = MaskPixmap(pixmap, mask_r, mask_g, mask_b);
  pixmaps[index] = std::move(pixmap);
  frames[index].reset();
  seqs[index] = 0;
}

std::shared_ptr<TImage> TImage::Create(int width, int height, int frame_count, int flags,
                                       int mask_r, int mask_g, int mask_b) {
  auto image = std::make_shared<TImage>();
  image->width = width;
  image->height = height;
  image->flags = flags;
  image->mask_r = mask_r;
  image->mask_g = mask_g;
  image->mask_b = mask_b;
  const std::size_t n = frame_count > 0 ? static_cast<std::size_t>(frame_count) : 0;
  image->pixmaps.resize(n);
  image->frames.resize(n);
  image->seqs.assign(n, 0);
  if (n > 1) {
    image->_sheet = std::make_shared<TFrameSheet>();
    image->_sheet_slots = static_cast<int>(n);
  }
  return image;
}

std::shared_ptr<TImage> TImage::Load(const std::shared_ptr<TPixmap>& source, int flags, int mask_r,
                                     int mask_g, int mask_b) {
  if (!source) return nullptr;
  auto image = Create(source->width, source->height, 1, flags, mask_r, mask_g, mask_b);
  image->SetPixmap(0, source);
  return image;
}

std::shared_ptr<TImage> TImage::Load(const std::string& source, int flags, int mask_r, int mask_g,
                                     int mask_b) {
  return Load(LoadPixmap(source), flags, mask_r, mask_g, mask_b);
}

std::shared_ptr<TImage> TImage::LoadAnim(const std::shared_ptr<TPixmap>& source, int cell_width,
                                         int cell_height, int first_cell, int cell_count, int flags,
                                         int mask_r, int mask_g, int mask_b) {
  // Cells of no size would divide by zero below; they make no image.
  if (!source || cell_width < 1 || cell_height < 1 || first_cell < 0 || cell_count < 1)
    return nullptr;
  const int columns = source->width / cell_width;
  const int rows = source->height / cell_height;
  if (static_cast<long long>(columns) * rows < static_cast<long long>(first_cell) + cell_count)
    return nullptr;
  auto image = Create(cell_width, cell_height, cell_count, flags, mask_r, mask_g, mask_b);
  for (int c = first_cell; c < first_cell + cell_count; ++c) {
    auto window = source->Window(cell_width * (c % columns), cell_height * (c / columns),
                                 cell_width, cell_height);
    if (!window) return nullptr;
    image->SetPixmap(c - first_cell, window->Copy());
  }
  return image;
}

std::shared_ptr<TImage> TImage::LoadAnim(const std::string& source, int cell_width, int cell_height,
                                         int first_cell, int cell_count, int flags, int mask_r,
                                         int mask_g, int mask_b) {
  return LoadAnim(LoadPixmap(source), cell_width, cell_height, first_cell, cell_count, flags,
                  mask_r, mask_g, mask_b);
}

void SetMaskColor(int red, int green, int blue) {
  defaults().mask_r = red;
  defaults().mask_g = green;
  defaults().mask_b = blue;
}

void GetMaskColor(int& red, int& green, int& blue) {
  red = defaults().mask_r;
  green = defaults().mask_g;
  blue = defaults().mask_b;
}

void SetDefaultImageFlags(int flags) {
  if (flags != -1) defaults().flags = flags;
}

int GetDefaultImageFlags() { return defaults().flags; }

void AutoCentreHandle(int enable) { defaults().auto_centre = enable != 0; }

std::shared_ptr<TImage> LoadImage(const std::shared_ptr<TPixmap>& source, int flags) {
  const ImageDefaults& d = defaults();
  return finish_new(TImage::Load(source, resolve_flags(flags), d.mask_r, d.mask_g, d.mask_b));
}

std::shared_ptr<TImage> LoadImage(const std::string& source, int flags) {
  return LoadImage(LoadPixmap(source), flags);
}

std::shared_ptr<TImage> LoadImageStrip(const std::shared_ptr<TPixmap>& source, int cell_width,
                                       int cell_height, int first_cell, int cell_count, int flags) {
  const ImageDefaults& d = defaults();
  return finish_new(TImage::LoadAnim(source, cell_width, cell_height, first_cell, cell_count,
                                     resolve_flags(flags), d.mask_r, d.mask_g, d.mask_b));
}

std::shared_ptr<TImage> LoadImageStrip(const std::string& source, int cell_width, int cell_height,
                                       int first_cell, int cell_count, int flags) {
  return LoadImageStrip(LoadPixmap(source), cell_width, cell_height, first_cell, cell_count, flags);
}

std::shared_ptr<TImage> CreateImage(int width, int height, int frames, int flags) {
  const ImageDefaults& d = defaults();
  return finish_new(TImage::Create(width, height, frames, resolve_flags(flags) | DynamicImage,
                                   d.mask_r, d.mask_g, d.mask_b));
}

void GrabImage(const std::shared_ptr<TImage>& image, int x, int y, int frame) {
  T2DDriver* driver = Current2DDriver();
  if (!image || !driver || !valid_frame(*image, frame)) return;
  std::shared_ptr<TPixmap> pixmap = driver->GrabPixmap(x, y, image->width, image->height);
  if (!pixmap) return;
  // The layer's mask colour now, not the one the image was made with.
  if (image->flags & MaskedImage) {
    const ImageDefaults& d = defaults();
    pixmap = MaskPixmap(pixmap, d.mask_r, d.mask_g, d.mask_b);
  }
  image->SetPixmap(frame, std::move(pixmap));
}

void DrawImage(const std::shared_ptr<TImage>& image, float x, float y, int frame) {
  std::shared_ptr<T2DGraphics> g = T2DGraphics::Current();
  if (!image || !g) return;
  std::shared_ptr<TImageFrame> f = image->Frame(frame);
  if (!f) return;
  const float x0 = -image->handle_x, y0 = -image->handle_y;
  f->Draw(x0, y0, x0 + static_cast<float>(image->width), y0 + static_cast<float>(image->height),
          x + g->origin_x, y + g->origin_y);
}

void CentreImageHandle(const std::shared_ptr<TImage>& image) {
  if (!image) return;
  image->handle_x = static_cast<float>(image->width) * 0.5f;
  image->handle_y = static_cast<float>(image->height) * 0.5f;
}

void SetImageHandle(const std::shared_ptr<TImage>& image, float x, float y) {
  if (!image) return;
  image->handle_x = x;
  image->handle_y = y;
}

int ImageWidth(const std::shared_ptr<TImage>& image) { return image ? image->width : 0; }

int ImageHeight(const std::shared_ptr<TImage>& image) { return image ? image->height : 0; }

std::shared_ptr<TPixmap> LockImageFrame(const std::shared_ptr<TImage>& image, int frame) {
  return image ? image->Lock(frame, 1, 1) : nullptr;
}

// Locking for write already dropped the texture; the next draw makes it again.
void UnlockImageFrame(const std::shared_ptr<TImage>&, int) {}
