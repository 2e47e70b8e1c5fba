// Arbitrary bytes as a picture: loading must refuse or succeed, never misbehave.
// A picture that loads is also pushed through the operations built on it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "graphics/pixmap/pixmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (init_pixmap_module(), true);
  (void)ready;
  auto stream = TRamStream::CreateFromBytes(std::vector<uint8_t>(data, data + size));
  if (!stream) return 0;
  auto pm = LoadPixmap(std::shared_ptr<TStream>(stream));
  if (!pm) return 0;
  // Keep the follow-up work small so the fuzzer spends its time in the decoder.
  if (static_cast<int64_t>(pm->width) * pm->height > 256 * 256) return 0;
  auto masked = MaskPixmap(pm, 0, 0, 0);
  auto resized = ResizePixmap(masked, pm->width / 2 + 1, pm->height * 2);
  auto flipped = YFlipPixmap(resized);
  if (auto win = pm->Window(pm->width / 3, pm->height / 3, pm->width, pm->height)) {
    flipped->Paste(win, -1, 1);
    win->Convert(PixelBGRA8888);
  }
  pm->ReadPixel(pm->width - 1, pm->height - 1);
  return 0;
}
