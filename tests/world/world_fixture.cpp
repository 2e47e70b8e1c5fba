#include "world_fixture.h"

#include <cstdio>
#include <cstdlib>

#include "audio/audio.h"
#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "platform/input.h"
#include "platform/random.h"
#include "platform/system.h"
#include "private_display.h"
#include "stream/stream.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/scenery.h"

namespace {

constexpr int kWhite = static_cast<int>(0xFFFFFFFFu);

void fill_frame(const std::shared_ptr<TImage>& img, int frame, int x0, int y0, int x1, int y1) {
  std::shared_ptr<TPixmap> pm = img->Lock(frame, 1, 1);
  pm->ClearPixels(0);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) pm->WritePixel(x, y, kWhite);
}

void make_pictures() {
  SetMaskColor(0, 0, 0);
  SetDefaultImageFlags(MaskedImage | DynamicImage);
  AutoCentreHandle(1);
  sprites = CreateImage(48, 33, 26);
  cloud_img = CreateImage(116, 78);
  blimp_hit_img = CreateImage(80, 33, 4);
  AutoCentreHandle(0);
  mts1_img = CreateImage(416, 147);
  mts2_img = CreateImage(416, 147);
  for (int i = 0; i < 26; ++i) {
    if (i == 21) fill_frame(sprites, i, 20, 15, 28, 19);
    else fill_frame(sprites, i, 0, 0, 48, 33);
  }
  fill_frame(cloud_img, 0, 0, 0, 116, 78);
  for (int i = 0; i < 4; ++i) fill_frame(blimp_hit_img, i, 0, 0, 80, 33);
  fill_frame(mts1_img, 0, 0, kMountainSolidRow, 416, 147);
  fill_frame(mts2_img, 0, 0, kMountainSolidRow, 416, 147);
}

// Pictures hold textures: let them go while the display still exists.
class release_world : public ::testing::Environment {
 public:
  void TearDown() override {
    clear_world();
    sprites = cloud_img = blimp_hit_img = mts1_img = mts2_img = nullptr;
    draw3d = nullptr;
    player = nullptr;
    mountains = nullptr;
    CloseGraphics();
  }
};

const auto* const release_env = ::testing::AddGlobalTestEnvironment(new release_world);

}  // namespace

int recording_draw::t3d(const std::string& text, float x, float y, float offset, int centred) {
  texts.push_back({text, x, y, offset, centred});
  return qndraw_tag::t3d(text, x, y, offset, centred);
}

int recording_draw::count(const std::string& text) const {
  int n = 0;
  for (const auto& t : texts) n += t.text == text;
  return n;
}

void WorldTest::SetUpTestSuite() {
  static bool opened = false;
  if (opened) return;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  // Pixels are read back: no other program's window may cover ours.
  use_private_display();
  init_stream_module();
  init_pixmap_module();
  init_graphics_module();
  init_audio_module();
  if (!OpenGraphics(640, 480, 0, 60, BackBuffer)) {
    std::fprintf(stderr, "no display: %s\n", GraphicsError().c_str());
    std::abort();
  }
  make_pictures();
  opened = true;
}

void WorldTest::SetUp() {
  rec = std::make_shared<recording_draw>();
  draw3d = rec;
  player = std::make_shared<player_tag>();
  mountains = std::make_shared<mountain_tag>();
  clear_world();

  game_state = state_play;
  play_phase = phase_in_control;
  state_timer = 0;
  first_run = 0;
  mode3d = 0;
  shield_tmr = 0;
  flash_ctr = 0;
  ebplane_num = 10;
  balloon_num = 3;
  blimp_state = blimp_gone;

  player->level = 1;
  player->lives = 3;
  player->dir = 1;
  player->x = 200.0f;
  player->y = 200.0f;
  mountains->mspd = -4;
  mountains->mt1_x = 100;
  mountains->mt2_x = 514;

  seed_random(1234);
  flush_keys();
  SetRotationScale(0.0f, 1.0f, 1.0f);
  SetOrigin(0.0f, 0.0f);
  Cls();
}

void WorldTest::TearDown() {
  clear_world();
  if (engine_chan) stop_channel(engine_chan);
}

void emit_key_down(int key) { TEvent::Create(KeyDown, nullptr, key)->Emit(); }
void emit_key_up(int key) { TEvent::Create(KeyUp, nullptr, key)->Emit(); }

void park_player() {
  player->x = 0.0f;
  player->y = 0.0f;
}

std::shared_ptr<ebplane_tag> add_plane(float x, int y, float spd, int dir) {
  auto p = std::make_shared<ebplane_tag>();
  p->x = x;
  p->y = y;
  p->spd = spd;
  p->dir = dir;
  ebplane_list.add_last(p);
  return p;
}

std::shared_ptr<balloon_tag> add_balloon(int x, float y, float dir) {
  auto b = std::make_shared<balloon_tag>();
  b->x = x;
  b->y = y;
  b->dir = dir;
  balloon_list.add_last(b);
  return b;
}

std::shared_ptr<pshot_tag> add_shot(int x, int y, int spd) {
  auto s = std::make_shared<pshot_tag>();
  s->x = x;
  s->y = y;
  s->spd = spd;
  pshot_list.add_last(s);
  return s;
}
