// SDL's quit and window events: close requests, focus gained and lost, the pointer
// leaving the window.
#include "platform/emit.h"
#include "platform/pointer.h"
#include "platform/sdl_translate.h"
#include "platform/system.h"

void translate_window_event(const SDL_Event& e) {
  if (e.type == SDL_QUIT) {
    emit_event(AppTerminate);
    return;
  }
  if (e.type != SDL_WINDOWEVENT) return;
  switch (e.window.event) {
    case SDL_WINDOWEVENT_CLOSE: emit_event(AppTerminate); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
      forget_modifiers();
      emit_event(AppResume);
      break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
      forget_modifiers();
      pointer_focus_lost();
      emit_event(AppSuspend);
      break;
    case SDL_WINDOWEVENT_LEAVE: pointer_left_window(); break;
    default: break;
  }
}
