// One frame of play at stage 20: 105 enemy planes, 60 balloons, 19 clouds, 40 shots in
// flight and a dozen effects, with stereo drawing and the retro lines on. The real
// pictures, font and sounds; presents are unpaced.
//
//   play_frame_bench [--renderer=gl|software] [--frames=N] [--first-stage | --crash]
//                    [benchmark options]
//
// --first-stage: the first stage as it is usually flown instead: 10 enemy planes, 3
// balloons, a few shots and effects, flat drawing without the scan lines, full screen
// (twice the screen's size on a 1280 x 1024 display), every frame shown.
//
// --crash: the first stage with the player's plane lost every three seconds (drawn as it
// is lost: a large explosion and four pieces of wreck trailing turned, growing, fading
// smoke) and an enemy shot down between, while the plane flies on. The most the first
// stage asks of the renderer.
//
// The sky changes from frame to frame (the first hundred or so carry the smoke of the
// effects made at the start), so two builds compare only over the same frames: --frames
// fixes how many each case runs.
//
// The renderer is the GL one unless the option or AEROVANE_RENDERER says software (the
// game's automatic choice would be the software one wherever these run).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "audio/audio.h"
#include "game/game.h"
#include "game/stage.h"
#include "graphics/draw/draw2d.h"
#include "graphics/draw/image.h"
#include "graphics/gl/graphics.h"
#include "graphics/pixmap/pixmap.h"
#include "platform/random.h"
#include "stream/embedded.h"
#include "stream/stream.h"
#include "world/balloon.h"
#include "world/ebplane.h"
#include "world/effects.h"
#include "world/globals.h"
#include "world/player.h"
#include "world/pshot.h"
#include "world/qndraw.h"
#include "world/scenery.h"

namespace {

bool first_stage = false;
bool crashes = false;
int stage_no = 20;
int planes_kept = 10 + 5 * (stage_no - 1);   // 105
int balloons_kept = 3 + 3 * (stage_no - 1);  // 60
int shots_kept = 40;
int effects_kept = 12;

void fly_first_stage() {
  first_stage = true;
  stage_no = 1;
  planes_kept = 10;
  balloons_kept = 3;
  shots_kept = 4;
  effects_kept = 2;
}

std::string renderer = "gl";

bool open_game() {
  static int state = 0;  // 0 not tried, 1 open, -1 failed
  if (state != 0) return state > 0;
  state = -1;
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  setenv("AEROVANE_RENDERER", renderer.c_str(), 1);  // the game's own choice, made for it
  register_embedded_files();
  init_stream_module();
  init_pixmap_module();
  init_graphics_module();
  init_audio_module();
  if (!OpenGraphics(640, 480, first_stage ? 32 : 0, 60, BackBuffer)) return false;
  SetMaskColor(0, 0, 0);
  SetDefaultImageFlags(MaskedImage | DynamicImage);
  create_world_objects();
  engine_chan = alloc_channel();
  seed_random(20);
  load_resources();
  side_bars(1);

  mode3d = first_stage ? 0 : 3;
  anaglyph_file(0);  // apply the eye colours of the glasses type
  retro_fx = first_stage ? 0 : 1;
  first_run = 0;
  player_tag::reset(1);
  player->level = stage_no;
  ebplane_num = planes_kept;
  balloon_num = balloons_kept;
  clear_world();
  player_tag::reset(0);
  game_state = 2;
  play_phase = 1;
  player->x = 200.0f;
  state = 1;
  return true;
}

// Keeps the sky as full as at the start: what was shot down or flew off comes back.
void top_up() {
  static int frame = 0;
  if (crashes && frame % 180 == 0) {
    explode_tag::create_it(player->x, player->y, 1.5f);
    particle_tag::create_em(player->x, player->y, 2, 4);
  }
  if (crashes && frame % 180 == 90) {  // and an enemy shot down between
    explode_tag::create_it(380.0f, 160.0f, 1.0f);
    particle_tag::create_em(380.0f, 160.0f, 16, 2);
    points_tag::create_it(380, 160, 15);
  }
  ++frame;
  game_state = 2;
  play_phase = 1;
  shield_tmr = 1000000;  // the player must survive the run
  player->lives = 3;
  player->y = 200.0f;
  while (static_cast<int>(ebplane_list.count()) < planes_kept) {
    const int keep = ebplane_num;
    ebplane_num = 1;
    ebplane_tag::create_em();
    ebplane_num = keep;
  }
  while (static_cast<int>(balloon_list.count()) < balloons_kept) {
    const int keep = balloon_num;
    balloon_num = 1;
    balloon_tag::create_em();
    balloon_num = keep;
  }
  for (int i = static_cast<int>(pshot_list.count()); i < shots_kept; ++i) {
    auto s = std::make_shared<pshot_tag>();
    s->spd = (i & 1) ? 8 : -8;
    s->x = 110 + (i * 53) % 410;
    s->y = 95 + (i * 37) % 205;
    pshot_list.add_last(std::move(s));
  }
  const int effects =
      static_cast<int>(explode_list.count() + particle_list.count() + smoke_list.count() +
                       points_list.count() + bpop_list.count());
  for (int i = effects; i < effects_kept; ++i) {
    const float x = static_cast<float>(150 + (i * 41) % 350);
    const float y = static_cast<float>(120 + (i * 29) % 200);
    switch (i % 4) {
      case 0: explode_tag::create_it(x, y, 1.0f); break;
      case 1: particle_tag::create_em(x, y, 16, 1); break;
      case 2: smoke_tag::create_it(x, y); break;
      default:
        points_tag::create_it(static_cast<int>(x), static_cast<int>(y), 15 * stage_no);
        break;
    }
  }
}

// The game's own work in a play frame: run_play moves, hit-tests and draws everything.
// Presents happen outside the timing so the driver's queue does not grow.
void BM_PlayFrame_GameSide(benchmark::State& state) {
  if (!open_game()) {
    state.SkipWithError("no display");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    top_up();
    draw_backdrop();
    state.ResumeTiming();
    run_play();
    state.PauseTiming();
    draw_hud();
    retro_lines(2);
    side_bars(0);
    Flip(0);
    state.ResumeTiming();
  }
  state.counters["planes"] = static_cast<double>(ebplane_list.count());
  state.SetLabel(renderer);
}

// The whole frame as the main loop makes it, presented unpaced and read back, so the
// rasteriser's work is in the figure too.
void BM_PlayFrame_Whole(benchmark::State& state) {
  if (!open_game()) {
    state.SkipWithError("no display");
    return;
  }
  for (auto _ : state) {
    state.PauseTiming();
    top_up();
    state.ResumeTiming();
    draw_backdrop();
    run_play();
    draw_hud();
    retro_lines(2);
    side_bars(0);
    benchmark::DoNotOptimize(GrabPixmap(0, 0, 1, 1));
    Flip(0);
  }
  state.SetLabel(renderer);
}

}  // namespace

int main(int argc, char** argv) {
  int frames = 0;
  if (const char* env = std::getenv("AEROVANE_RENDERER")) renderer = env;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--renderer=", 11) == 0) {
      renderer = argv[i] + 11;
    } else if (std::strcmp(argv[i], "--first-stage") == 0) {
      fly_first_stage();
    } else if (std::strcmp(argv[i], "--crash") == 0) {
      fly_first_stage();
      crashes = true;
    } else if (std::strncmp(argv[i], "--frames=", 9) == 0) {
      frames = std::atoi(argv[i] + 9);
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  if (renderer != "gl" && renderer != "software") {
    std::fprintf(stderr, "play_frame_bench: no renderer '%s' (gl or software)\n", renderer.c_str());
    return 2;
  }
  auto* game_side = benchmark::RegisterBenchmark("BM_PlayFrame_GameSide", BM_PlayFrame_GameSide);
  auto* whole = benchmark::RegisterBenchmark("BM_PlayFrame_Whole", BM_PlayFrame_Whole);
  game_side->Unit(benchmark::kMicrosecond);
  whole->Unit(benchmark::kMicrosecond)->UseRealTime();
  if (frames > 0) {
    game_side->Iterations(frames);
    whole->Iterations(frames);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Textures and sounds go while the display and the audio device still exist.
  clear_world();
  left_bar_img = right_bar_img = cloud_img = sprites = blimp_hit_img = nullptr;
  backdrop_img = title_img = pointer_img = mts1_img = mts2_img = nullptr;
  font = nullptr;
  SetImageFont(nullptr);
  snd_fire = snd_balloonpop = snd_blimphit = snd_startstage = snd_endstage = snd_explode =
      snd_pldeath = nullptr;
  engine_chan = nullptr;
  CloseGraphics();
  return 0;
}
