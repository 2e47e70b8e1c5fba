// SDL's pointer events into the pointer's own terms, and the system pointer's
// visibility and capture.
#include "platform/pointer.h"
#include "platform/sdl_translate.h"

namespace {

int button_number(Uint8 b) {
  switch (b) {
    case SDL_BUTTON_LEFT: return kLeftButton;
    case SDL_BUTTON_RIGHT: return kRightButton;
    case SDL_BUTTON_MIDDLE: return kMiddleButton;
    default: return 0;
  }
}

}  // namespace

void translate_pointer_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_MOUSEMOTION: pointer_moved(e.motion.x, e.motion.y); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      if (int b = button_number(e.button.button))
        pointer_button(b, e.type == SDL_MOUSEBUTTONDOWN, e.button.x, e.button.y);
      break;
    case SDL_MOUSEWHEEL:
      pointer_wheel(e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y);
      break;
    default: break;
  }
}

void show_system_pointer(bool shown) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  const int want = shown ? SDL_ENABLE : SDL_DISABLE;
  if (SDL_ShowCursor(SDL_QUERY) != want) SDL_ShowCursor(want);
}

void capture_system_pointer(bool captured) {
  if (attached_window()) SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}
