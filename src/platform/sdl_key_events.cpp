// SDL's key and text events into Windows key codes and characters, and the held
// modifiers every event carries.
#include <cstdint>

#include "platform/emit.h"
#include "platform/keymap.h"
#include "platform/sdl_translate.h"
#include "platform/system.h"

namespace {

// Held modifier keys, tracked from the key events themselves.
struct Mods {
  bool shift[2] = {}, ctrl[2] = {}, alt[2] = {}, gui[2] = {};
  int mask() const {
    return ((shift[0] || shift[1]) ? ModShift : 0) | ((ctrl[0] || ctrl[1]) ? ModControl : 0) |
           ((alt[0] || alt[1]) ? ModAlt : 0) | ((gui[0] || gui[1]) ? ModSystem : 0);
  }
};

// The code of a key the display takes (F11, Alt+Enter): beyond every game key.
constexpr int kWindowKey = kKeyCodes;

struct Keys {
  Mods mods;
  // What each key's down gave, so that its repeats and its up give the same code even
  // when NumLock or Alt changed in between: 0 no down seen.
  int vk[SDL_NUM_SCANCODES] = {};
} g_keys;

void track_modifier(int vk, bool down) {
  Mods& m = g_keys.mods;
  switch (vk) {
    case kVkLeftShift: m.shift[0] = down; break;
    case kVkRightShift: m.shift[1] = down; break;
    case kVkLeftControl: m.ctrl[0] = down; break;
    case kVkRightControl: m.ctrl[1] = down; break;
    case kVkLeftAlt: m.alt[0] = down; break;
    case kVkRightAlt: m.alt[1] = down; break;
    case kVkLeftWindows: m.gui[0] = down; break;
    case kVkRightWindows: m.gui[1] = down; break;
    default: break;
  }
}

// F11 and Alt+Enter switch between full screen and a window.
bool window_key(const SDL_Keysym& k) {
  return k.scancode == SDL_SCANCODE_F11 ||
         ((k.scancode == SDL_SCANCODE_RETURN || k.scancode == SDL_SCANCODE_KP_ENTER) &&
          (g_keys.mods.mask() & ModAlt));
}

int key_code(const SDL_KeyboardEvent& k) {
  const int sc = k.keysym.scancode;
  if (sc < 0 || sc >= SDL_NUM_SCANCODES) return 0;
  int& held = g_keys.vk[sc];
  int vk = held;
  if ((k.type == SDL_KEYDOWN && !k.repeat) || !vk)
    vk = window_key(k.keysym) ? kWindowKey : scancode_to_vk(sc, (k.keysym.mod & KMOD_NUM) != 0);
  held = k.type == SDL_KEYDOWN ? vk : 0;
  return vk;
}

// Characters the keyboard types without a text event.
int control_char(int vk) {
  switch (vk) {
    case kVkBackspace:
    case kVkTab:
    case kVkReturn:
    case kVkEscape: return vk;
    default: return 0;
  }
}

void emit_text(const char* s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s);
  while (*p) {
    std::uint32_t c = *p;
    int extra = 0;
    if (c >= 0xF0 && c < 0xF8) {
      c &= 0x07;
      extra = 3;
    } else if (c >= 0xE0) {
      c &= 0x0F;
      extra = 2;
    } else if (c >= 0xC0) {
      c &= 0x1F;
      extra = 1;
    } else if (c >= 0x80) {
      ++p;
      continue;
    }  // stray continuation byte
    ++p;
    bool ok = true;
    for (int i = 0; i < extra; ++i, ++p) {
      if ((*p & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (*p & 0x3F);
    }
    if (ok && c != 0) emit_event(KeyChar, static_cast<int>(c));
  }
}

void translate_key(const SDL_KeyboardEvent& k) {
  const int vk = key_code(k);
  const bool down = k.type == SDL_KEYDOWN;
  if (vk == kWindowKey) {
    if (down && !k.repeat) run_window_toggle();
    return;
  }
  if (vk < 1 || vk >= kKeyCodes) return;
  track_modifier(vk, down);
  if (!down) {
    emit_event(KeyUp, vk);
    return;
  }
  emit_event(k.repeat ? KeyRepeat : KeyDown, vk);
  if (int ch = control_char(vk)) emit_event(KeyChar, ch);
  // Alt+F4 asks to close even where no window manager does it for us.
  if (vk == kVkF4 && !k.repeat && (g_keys.mods.mask() & ModAlt)) emit_event(AppTerminate);
}

}  // namespace

void translate_key_event(const SDL_Event& e) {
  switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: translate_key(e.key); break;
    case SDL_TEXTINPUT: emit_text(e.text.text); break;
    default: break;
  }
}

void forget_modifiers() { g_keys.mods = Mods{}; }

int current_modifiers() { return g_keys.mods.mask(); }
