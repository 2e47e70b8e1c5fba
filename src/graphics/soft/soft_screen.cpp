#include "graphics/soft/soft_screen.h"

namespace {
TSoftScreen* current_screen = nullptr;
}  // namespace

TSoftScreen* CurrentSoftScreen() { return current_screen; }
void SetCurrentSoftScreen(TSoftScreen* screen) { current_screen = screen; }
