#include "graphics/soft/soft_frame.h"

#include <algorithm>
#include <unordered_set>

#include "graphics/draw/image.h"
#include "graphics/pixmap/pixmap.h"
#include "graphics/soft/soft2d.h"
#include "graphics/soft/soft_replay.h"

namespace {

uint64_t next_version() {
  static uint64_t last = 0;
  return ++last;
}

// Like the GL renderer's own textures: the edge texels are repeated just outside the
// picture, so that filtering at its border never pulls in the unused part.
std::shared_ptr<TPixmap> enlarge_for_texture(const std::shared_ptr<TPixmap>& pic, int tw, int th) {
  const int w = pic->width;
  const int h = pic->height;
  std::shared_ptr<TPixmap> t = CreatePixmap(tw, th, PixelRGBA8888);
  if (!t) return nullptr;
  t->ClearPixels(0);
  t->Paste(pic, 0, 0);
  if (w < tw) t->Paste(pic->Window(w - 1, 0, 1, h), w, 0);
  if (h < th) t->Paste(pic->Window(0, h - 1, w, 1), 0, h);
  if (w < tw && h < th) t->Paste(pic->Window(w - 1, h - 1, 1, 1), w, h);
  return t;
}

// Writes the picture at (x, y) of level 0 and, when mipmapped, its halvings at
// (x, y) >> level, down to 1 x 1 or to the texture's last level.
void upload(TSoftTexture& t, std::shared_ptr<TPixmap> p, int x, int y) {
  const bool mipmapped = (t.flags & MipmappedImage) != 0;
  for (int level = 0; p && level <= t.MaxLevel(); ++level) {
    t.Write(level, *p, x >> level, y >> level);
    if (!mipmapped || (p->width == 1 && p->height == 1)) break;
    p = ResizePixmap(p, std::max(1, p->width / 2), std::max(1, p->height / 2));
  }
}

// The pages of one sheet. Sheets are shared by the renderers in one program, so a state
// some other renderer left on a sheet is told apart from ours by this registry.
class TSoftSheet : public TAtlas {
 public:
  explicit TSoftSheet(int image_flags) : TAtlas(image_flags) { live().insert(this); }
  ~TSoftSheet() override { live().erase(this); }
  static bool Ours(const void* state) { return state && live().count(state) != 0; }

 protected:
  bool PageFits(int w, int h) override {
    return w <= kSoftMaxTextureSide && h <= kSoftMaxTextureSide;
  }
  std::shared_ptr<TAtlasPage> MakePage(int w, int h) override {
    auto page = std::make_shared<TSoftPage>();
    page->width = w;
    page->height = h;
    page->texture = std::make_shared<TSoftTexture>(w, h, flags, max_level);
    return page;
  }

 private:
  static std::unordered_set<const void*>& live() {
    static std::unordered_set<const void*> set;
    return set;
  }
};

}  // namespace

TSoftTexture::TSoftTexture(int w, int h, int image_flags, int max_level)
    : width(w), height(h), flags(image_flags), version(next_version()) {
  for (int level = 0;; ++level) {
    const int lw = LevelWidth(level), lh = LevelHeight(level);
    levels.emplace_back(static_cast<size_t>(lw) * static_cast<size_t>(lh), 0u);
    if (!(flags & MipmappedImage) || (lw == 1 && lh == 1) || level == max_level) break;
  }
}

int TSoftTexture::LevelWidth(int level) const { return std::max(1, width >> level); }
int TSoftTexture::LevelHeight(int level) const { return std::max(1, height >> level); }

void TSoftTexture::Write(int level, const TPixmap& picture, int x, int y) {
  soft::FrameReplay::SettleAll();
  version = next_version();
  const int lw = LevelWidth(level), lh = LevelHeight(level);
  std::vector<uint32_t>& texels = levels[static_cast<size_t>(level)];
  std::vector<uint8_t> rgba(static_cast<size_t>(picture.width) * 4);
  for (int j = 0; j < picture.height; ++j) {
    const int ty = y + j;
    if (ty < 0 || ty >= lh) continue;
    ConvertPixels(picture.pixels + static_cast<size_t>(j) * picture.pitch, picture.format,
                  rgba.data(), PixelRGBA8888, picture.width);
    for (int i = 0; i < picture.width; ++i) {
      const int tx = x + i;
      if (tx < 0 || tx >= lw) continue;
      const uint8_t* p = &rgba[static_cast<size_t>(i) * 4];
      texels[static_cast<size_t>(ty) * lw + tx] =
          (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      if (level != 0 || p[3] == 0) continue;
      if (visible[0] > visible[2]) {
        visible[0] = visible[2] = tx;
        visible[1] = visible[3] = ty;
        continue;
      }
      visible[0] = std::min(visible[0], tx);
      visible[1] = std::min(visible[1], ty);
      visible[2] = std::max(visible[2], tx);
      visible[3] = std::max(visible[3], ty);
    }
  }
}

void TSoftImageFrame::Draw(float x0, float y0, float x1, float y1, float tx, float ty) {
  if (!renderer) return;
  const TRenderState& s = renderer->State();
  if (on_page && !(_flags & FilteredImage) &&
      (s.ix != 1.0f || s.iy != 0.0f || s.jx != 0.0f || s.jy != 1.0f)) {
    // As in the GL renderer, turned or scaled unfiltered frames of a sheet draw from a
    // texture of their own: a texel edge far into a page rounds otherwise.
    if (!_own && _source) _own = CreateFromPixmap(renderer, _source, _flags);
    if (_own) {
      _own->Draw(x0, y0, x1, y1, tx, ty);
      return;
    }
  }
  renderer->DrawFrame(*this, x0, y0, x1, y1, tx, ty);
}

std::shared_ptr<TSoftImageFrame> TSoftImageFrame::CreateFromPixmap(
    TSoft2DDriver* renderer, const std::shared_ptr<TPixmap>& source, int flags) {
  if (!source || source->width < 1 || source->height < 1) return nullptr;
  int tw = PowerOfTwoAtLeast(source->width);
  int th = PowerOfTwoAtLeast(source->height);
  while (tw > kSoftMaxTextureSide || th > kSoftMaxTextureSide) {
    if (tw > 1) tw /= 2;
    if (th > 1) th /= 2;
  }
  const int w = std::min(source->width, tw);
  const int h = std::min(source->height, th);
  std::shared_ptr<TPixmap> pic = source;
  if (w < source->width || h < source->height) pic = ResizePixmap(source, w, h);
  if (!pic) return nullptr;
  if (w < tw || h < th) {
    pic = enlarge_for_texture(pic, tw, th);
  } else if (pic->format != PixelRGBA8888) {
    pic = pic->Convert(PixelRGBA8888);
  }
  if (!pic) return nullptr;

  auto f = std::make_shared<TSoftImageFrame>();
  f->renderer = renderer;
  f->texture = std::make_shared<TSoftTexture>(tw, th, flags, -1);
  upload(*f->texture, pic, 0, 0);
  f->u1 = static_cast<float>(w) / static_cast<float>(tw);
  f->v1 = static_cast<float>(h) / static_cast<float>(th);
  f->seq = GraphicsGeneration();
  return f;
}

std::shared_ptr<TSoftImageFrame> TSoftImageFrame::CreateOnSheet(
    TSoft2DDriver* renderer, TFrameSheet& sheet, int slot, int slots,
    const std::shared_ptr<TPixmap>& pixmap, int flags) {
  if (!pixmap || pixmap->width < 1 || pixmap->height < 1) return nullptr;
  std::shared_ptr<TSoftSheet> s;
  if (TSoftSheet::Ours(sheet.renderer_state.get())) {
    s = std::static_pointer_cast<TSoftSheet>(sheet.renderer_state);
  } else {
    // The first frame decides how the pages filter.
    s = std::make_shared<TSoftSheet>(flags);
    sheet.renderer_state = s;
  }
  if (flags != s->flags) return nullptr;
  TAtlasCell cell;
  if (!s->CellFor(slot, slots, pixmap->width, pixmap->height, cell)) return nullptr;
  int x = 0, y = 0;
  std::shared_ptr<TPixmap> padded = s->PaddedPicture(cell, pixmap, x, y);
  if (!padded) return nullptr;
  auto page = std::static_pointer_cast<TSoftPage>(s->pages[static_cast<size_t>(cell.page)]);
  upload(*page->texture, padded, x, y);

  auto f = std::make_shared<TSoftImageFrame>();
  f->renderer = renderer;
  f->texture = page->texture;
  f->on_page = true;
  f->_source = pixmap;
  f->_flags = flags;
  const float pw = static_cast<float>(page->width);
  const float ph = static_cast<float>(page->height);
  f->u0 = static_cast<float>(cell.x) / pw;
  f->v0 = static_cast<float>(cell.y) / ph;
  f->u1 = static_cast<float>(cell.x + cell.w) / pw;
  f->v1 = static_cast<float>(cell.y + cell.h) / ph;
  f->seq = GraphicsGeneration();
  return f;
}
