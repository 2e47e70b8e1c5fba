#include "graphics/render/atlas.h"

#include <algorithm>
#include <cstring>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"

namespace {

constexpr int kPageMax = 2048;  // largest page side
constexpr int kOpenPage = 256;  // page side for a sheet whose size is not known

int round_up(int v, int a) { return (v + a - 1) / a * a; }

// The picture with its edge repeated `left`, `top`, `right` and `bottom` texels outwards.
std::shared_ptr<TPixmap> with_edges(const std::shared_ptr<TPixmap>& pic, int left, int top,
                                    int right, int bottom) {
  const int w = pic->width;
  const int h = pic->height;
  std::shared_ptr<TPixmap> t = CreatePixmap(left + w + right, top + h + bottom, PixelRGBA8888);
  if (!t) return nullptr;
  for (int y = 0; y < t->height; ++y) {
    const uint8_t* src = pic->PixelPtr(0, std::clamp(y - top, 0, h - 1));
    uint8_t* dst = t->PixelPtr(0, y);
    for (int x = 0; x < left; ++x) std::memcpy(dst + 4 * x, src, 4);
    std::memcpy(dst + 4 * left, src, static_cast<size_t>(w) * 4);
    for (int x = left + w; x < t->width; ++x) std::memcpy(dst + 4 * x, src + 4 * (w - 1), 4);
  }
  return t;
}

}  // namespace

int PowerOfTwoAtLeast(int n) {
  int p = 1;
  while (p < n && p < (1 << 30)) p <<= 1;
  return p;
}

TAtlas::TAtlas(int image_flags) : flags(image_flags) {
  if (flags & MipmappedImage) {
    pad = 4;
    max_level = 2;
  }
}

bool TAtlas::CellFor(int slot, int slots, int w, int h, TAtlasCell& cell) {
  // A slot keeps its cell.
  auto found = cells_.find(slot);
  if (found != cells_.end()) {
    cell = found->second;
    return cell.w == w && cell.h == h;
  }
  if (!place(slots, w, h, cell)) return false;
  cells_[slot] = cell;
  return true;
}

// A new page big enough for the sheet's remaining slots where they are known, or none when
// the renderer cannot make one that holds a cell of cw x ch.
std::shared_ptr<TAtlasPage> TAtlas::new_page(int slots, int cw, int ch0, int ch) {
  int pw = std::max(kOpenPage, PowerOfTwoAtLeast(cw));
  int ph = std::max(kOpenPage, PowerOfTwoAtLeast(ch0));
  if (slots > 0) {
    const int left = std::max(1, slots - placed_);
    const int per_row = std::max(1, std::min(left, kPageMax / cw));
    const int rows = (left + per_row - 1) / per_row;
    pw = PowerOfTwoAtLeast(per_row * cw);
    ph = PowerOfTwoAtLeast(static_cast<int>(
        std::min<long long>(kPageMax, ch0 + static_cast<long long>(rows - 1) * ch)));
  }
  while (!PageFits(pw, ph)) {
    if (pw >= ph && pw / 2 >= cw) {
      pw /= 2;
    } else if (ph / 2 >= ch0) {
      ph /= 2;
    } else {
      return nullptr;
    }
  }
  return MakePage(pw, ph);
}

// Finds room for a w x h picture: on the last page's shelves, else on a new page.
bool TAtlas::place(int slots, int w, int h, TAtlasCell& cell) {
  const int p = pad;
  const int cw = round_up(w + 2 * p, p);
  const int ch0 = round_up(h + p, p);  // on the first shelf: no edge above
  const int ch = round_up(h + 2 * p, p);
  if (cw > kPageMax || ch > kPageMax) return false;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!pages.empty()) {
      const TAtlasPage& page = *pages.back();
      if (shelf_x_ + cw > page.width) {
        shelf_y_ += shelf_h_;
        shelf_x_ = 0;
        shelf_h_ = 0;
      }
      const int height = shelf_y_ == 0 ? ch0 : ch;
      if (shelf_x_ + cw <= page.width && shelf_y_ + height <= page.height) {
        cell.page = static_cast<int>(pages.size()) - 1;
        cell.x = shelf_x_ + p;
        cell.y = shelf_y_ == 0 ? 0 : shelf_y_ + p;
        cell.w = w;
        cell.h = h;
        shelf_x_ += cw;
        shelf_h_ = std::max(shelf_h_, height);
        ++placed_;
        return true;
      }
    }
    std::shared_ptr<TAtlasPage> page = new_page(slots, cw, ch0, ch);
    if (!page) return false;
    pages.push_back(std::move(page));
    shelf_x_ = shelf_y_ = shelf_h_ = 0;
  }
  return false;
}

std::shared_ptr<TPixmap> TAtlas::PaddedPicture(const TAtlasCell& cell,
                                               const std::shared_ptr<TPixmap>& source, int& x,
                                               int& y) const {
  std::shared_ptr<TPixmap> pic =
      source->format == PixelRGBA8888 ? source : source->Convert(PixelRGBA8888);
  if (!pic) return nullptr;
  const int p = pad;
  const int top = cell.y == 0 ? 0 : p;
  const int cw = round_up(cell.w + 2 * p, p);
  const int ch = round_up(cell.h + top + p, p);
  x = cell.x - p;
  y = cell.y - top;
  return with_edges(pic, p, top, cw - p - cell.w, ch - top - cell.h);
}
