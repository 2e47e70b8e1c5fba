// Start-up, resource loading, the opening logo and shutdown. Everything runs once,
// on the main thread, in a fixed order: later steps rely on what earlier ones made.
#include <atomic>
#include <cstdint>
#include <iostream>
#include <memory>

#include "audio/audio.h"
#include "game/game.h"
#include "game/program.h"
#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/font.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "platform/clock.h"
#include "platform/input.h"
#include "platform/keycodes.h"
#include "platform/random.h"
#include "platform/system.h"
#include "stream/embedded.h"
#include "stream/stream.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/joyread.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/qndraw.h"
#include "world/scenery.h"

namespace {

const program_options* run_options = nullptr;
int frame_count = 0;

// The harness clock: it only moves when something sleeps, so paced presents and the
// shutdown wait return at once. Atomic because the mixer thread reads it too.
std::atomic<std::uint32_t> fake_ms{0};
int fake_now() { return static_cast<int>(fake_ms.load(std::memory_order_acquire)); }
void fake_sleep(int ms) {
  if (ms > 0) fake_ms.fetch_add(static_cast<std::uint32_t>(ms), std::memory_order_acq_rel);
}

// The settings every run starts from (a second run in the same process included).
void reset_settings() {
  mode3d = 0;
  retro_fx = 0;
  sfx_volume = 1.0f;
  sfx_step = 10;
  engine_volume = 0.6f;
  engine_step = 6;
  quit_flag = 0;
  first_run = 1;
  game_state = 0;
  play_phase = 0;
  state_timer = 0;
}

void clear_lists() {
  pshot_list.clear();
  cloud_list.clear();
  ebplane_list.clear();
  balloon_list.clear();
  smoke_list.clear();
  particle_list.clear();
  explode_list.clear();
  bpop_list.clear();
  points_list.clear();
}

// Lets go of everything the run made while the display is still open, so textures and
// sounds are released before the display and the audio device go.
void release_globals() {
  clear_lists();
  left_bar_img = right_bar_img = cloud_img = sprites = blimp_hit_img = nullptr;
  backdrop_img = title_img = pointer_img = mts1_img = mts2_img = nullptr;
  font = nullptr;
  snd_fire = snd_balloonpop = snd_blimphit = snd_startstage = snd_endstage = snd_explode =
      snd_pldeath = nullptr;
  engine_chan = nullptr;
  draw3d = nullptr;
  player = nullptr;
  mountains = nullptr;
}

// Undoes what a run set up, however it ends.
struct run_scope {
  bool fake = false;
  bool opened = false;
  ~run_scope() {
    if (opened) {
      if (GraphicsWidth() > 0) SetImageFont(nullptr);
      release_globals();
      CloseGraphics();
    }
    if (fake) set_clock_hooks(nullptr, nullptr);
    run_options = nullptr;
  }
};

int shutdown_game() {
  // Let the engine fade out of the mixer before the process ends.
  if (engine_chan && channel_playing(engine_chan)) {
    stop_channel(engine_chan);
    delay(500);
  }
  anaglyph_file(2);
  options_file(1);
  hiscore_file(1);
  window_file(1);
  return 0;
}

}  // namespace

int program_frame() { return frame_count; }

int present_frame() {
  ++frame_count;
  if (run_options && run_options->on_frame) run_options->on_frame(frame_count);
  Flip(-1);
  return 0;
}

int create_world_objects() {
  draw3d = std::make_shared<qndraw_tag>();
  player = std::make_shared<player_tag>();
  mountains = std::make_shared<mountain_tag>();
  clear_lists();

  left_bar_img = CreateImage(110, 480);
  right_bar_img = CreateImage(116, 480);
  // Only these three turn about their centres; every loaded picture keeps a top-left handle.
  AutoCentreHandle(1);
  cloud_img = CreateImage(116, 78);
  sprites = CreateImage(48, 33, 26);
  blimp_hit_img = CreateImage(80, 33, 4);
  AutoCentreHandle(0);
  return 0;
}

int load_resources() {
  font = LoadImageFont("incbin::skyfont.ttf", 18, SmoothFont);
  SetImageFont(font);

  // All with the automatic flags: masked and dynamic.
  backdrop_img = LoadImage("incbin::aerovane_bkgr.png");
  title_img = LoadImage("incbin::aerovane_ttl.png");
  pointer_img = LoadImage("incbin::dmpointer2.png");
  mts1_img = LoadImage("incbin::aerovane_mts1.png");
  mts2_img = LoadImage("incbin::aerovane_mts2.png");
  std::shared_ptr<TImage> sheet = LoadImage("incbin::aerovane_sf1.png");

  // Cut the sheet by drawing it and grabbing the pieces back; the images are masked,
  // so the black around each sprite becomes transparent. Never shown: the splash
  // clears the back buffer before its first present.
  SetAlpha(1.0f);
  SetBlend(MaskBlend);
  SetColor(255, 255, 255);
  Cls();
  DrawImage(sheet, 0.0f, 0.0f);
  GrabImage(cloud_img, 393, 79);
  for (int i = 0; i < 26; ++i) GrabImage(sprites, 1 + 49 * (i % 13), 1 + 34 * (i / 13), i);
  for (int j = 0; j < 4; ++j) GrabImage(blimp_hit_img, 1 + 81 * j, 71, j);

  CentreImageHandle(title_img);
  CentreImageHandle(backdrop_img);

  snd_fire = load_sound(std::string("data\\fire.ogg"), 0);
  snd_balloonpop = load_sound(std::string("data\\balloonpop.ogg"), 0);
  snd_blimphit = load_sound(std::string("data\\blimphit.ogg"), 0);
  snd_startstage = load_sound(std::string("data\\startstage.ogg"), 0);
  snd_endstage = load_sound(std::string("data\\endstage.ogg"), 0);
  snd_explode = load_sound(std::string("data\\explode.ogg"), 0);
  snd_pldeath = load_sound(std::string("data\\pldeath.ogg"), 0);
  return 0;
}

int splash(int dy) {
  float alpha = 1.0f;
  float s = 0.1f;
  float depth = -4.0f;
  std::shared_ptr<TImage> logo = LoadImage("Incbin::qnlogo.png");
  if (logo) CentreImageHandle(logo);
  const float x = static_cast<float>(GraphicsWidth() / 2);
  const float y = static_cast<float>(GraphicsHeight() / 2 + dy);

  do {
    draw_backdrop();
    SetColor(255, 255, 255);
    if (mode3d != 0) {
      // Grows from a tenth of its size while it seems to come out of the screen,
      // and fades once it has passed full size.
      draw3d->sip(LightBlend, alpha, 0.0f, s, s);
      draw3d->i3d(logo, x, y, 0, depth, 0.0f, 2);
      s += 0.002f;
      depth += 0.04f;
      if (s > 1.0f) alpha -= 0.01f;
    } else {
      // Flat, s only counts the time at full strength.
      draw3d->sip(AlphaBlend, alpha, 0.0f, 1.0f, 1.0f);
      draw3d->i3d(logo, x, y, 0, 0.0f, 0.0f, 1);
      if (s > 1.0f) alpha -= 0.01f;
      else s += 0.004f;
    }
    retro_lines(2);
    SetScale(1.0f, 1.0f);
    side_bars(0);
    if (alpha < 0.0f) alpha = 0.0f;
    present_frame();

    bool close = false;
    while (app_suspended()) {
      if (app_terminate()) {
        close = true;
        break;
      }
      delay(10);
    }
    if (close || app_terminate()) {
      quit_flag = 1;
      break;
    }
    if (key_hits(KeyCodeEscape) || key_hits(KeyCodeSpace) || mouse_hits(MouseButtonLeft) ||
        joy0_hits(joy_fire_button))
      break;
  } while (alpha > 0.0f);

  SetColor(255, 255, 255);
  draw3d->sip(MaskBlend, 1.0f, 0.0f, 1.0f, 1.0f);
  // The press that ended the splash must not reach the title menu.
  flush_keys();
  flush_mouse();
  return 0;
}

int run_program(const program_options& options) {
  run_scope scope;
  run_options = &options;
  frame_count = 0;

  register_embedded_files();
  init_stream_module();
  init_pixmap_module();
  init_graphics_module();
  init_audio_module();
  SetAppTitle("Aerovane 2D/3D");
  SetAppIcon(LoadPixmap("incbin::aerovane_icon.png"));
  window_file(0);

  if (!OpenGraphics(640, 480, 32, 60, BackBuffer)) {
    const std::string why = GraphicsError();
    std::cerr << "aerovane: cannot open the 640x480 display: "
              << (why.empty() ? "no display available" : why) << std::endl;
    return 1;
  }
  scope.opened = true;
  if (options.fake_clock) {
    // From here on; the display has taken its own measurements with the real clock.
    fake_ms.store(static_cast<std::uint32_t>(millisecs()), std::memory_order_release);
    set_clock_hooks(fake_now, fake_sleep);
    scope.fake = true;
  }

  count_joysticks();
  SetMaskColor(0, 0, 0);
  SetDefaultImageFlags(MaskedImage | DynamicImage);

  reset_settings();
  create_world_objects();

  build_menu_labels();
  engine_chan = alloc_channel();
  // The menus draw their own pointer.
  hide_mouse();
  seed_random(options.fixed_seed ? options.seed : millisecs());
  load_resources();
  anaglyph_file(1);
  options_file(0);
  side_bars(1);
  hiscore_file(0);
  game_state = state_title_menu;
  splash(-25);
  // Only the new-game totals: first_run keeps the world empty until "Start Game".
  player->reset(1);
  first_run = 0;
  move_mouse(pointer_home_x, pointer_home_y);

  main_loop();
  if (options.on_loop_end) options.on_loop_end();

  shutdown_game();
  return 0;
}
