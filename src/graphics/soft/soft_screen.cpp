#include "graphics/soft/soft_screen.h"

#include "graphics/soft/soft_replay.h"

namespace {
TSoftScreen* current_screen = nullptr;
}  // namespace

TSoftScreen::TSoftScreen() : replay_(std::make_unique<soft::FrameReplay>(*this)) {}
TSoftScreen::~TSoftScreen() = default;

void TSoftScreen::Resize(int w, int h) {
  replay_->Forget();
  width = w;
  height = h;
  pitch = w;
  pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0xff000000u);
}

void TSoftScreen::Settle() { replay_->Settle(); }

TSoftScreen* CurrentSoftScreen() { return current_screen; }
void SetCurrentSoftScreen(TSoftScreen* screen) { current_screen = screen; }
