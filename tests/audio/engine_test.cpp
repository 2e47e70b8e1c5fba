// The game's own sound calls over a long span, against the real engine with its service
// thread on SDL's silent device: play_sfx, engine_loop with its loop file read afresh,
// the engine stopped, paused and resumed, and the menu's volume steps. The frames come
// as fast as the machine allows, so far more voices overlap than in the game.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/engine.h"
#include "audio/sample.h"
#include "game/game.h"
#include "world/globals.h"

namespace {

constexpr int soak_frames = 200000;

// A short tone; effects last a few game frames once the frames are compressed.
std::shared_ptr<TAudioSample> tone(int frames, int hertz, int format, int period) {
  auto s = TAudioSample::Create(frames, hertz, format);
  const int bytes = s->ByteCount();
  for (int i = 0; i < bytes; ++i)
    s->samples[i] = static_cast<uint8_t>((i / period) % 2 ? 0x30 : 0xd0);
  return s;
}

int engine_refs(const std::shared_ptr<TSound>& sound) {
  auto mine = std::dynamic_pointer_cast<TSoftMixSound>(sound);
  return mine && mine->sm_sound ? mine->sm_sound->refs.load() : -1;
}

// The game's own sounds and its settings, the effects replaced by short tones. Each
// engine loop started is kept with a reference of our own: at the end no voice may
// still hold it, or a loop was left playing with nothing to stop it.
struct game_sounds {
  game_sounds() {
    snd_fire = load_sound(tone(300, 44100, SF_MONO16LE, 6));
    snd_balloonpop = load_sound(tone(900, 22050, SF_MONO8, 4));
    snd_blimphit = load_sound(tone(1500, 44100, SF_STEREO16LE, 10));
    snd_startstage = load_sound(tone(2500, 22050, SF_STEREO16LE, 8));
    snd_endstage = load_sound(tone(2500, 44100, SF_MONO16LE, 12));
    snd_explode = load_sound(tone(1200, 44100, SF_STEREO8, 5));
    snd_pldeath = load_sound(tone(2000, 11025, SF_MONO16LE, 3));
    engine_chan = alloc_channel();
  }
  ~game_sounds() {
    snd_fire = snd_balloonpop = snd_blimphit = snd_startstage = snd_endstage = snd_explode =
        snd_pldeath = nullptr;
    engine_chan = nullptr;
    for (engine_sound* l : loops) engine_free_sound(l);
  }

  std::vector<engine_sound*> loops;
  int effects = 0, failures = 0;

  void sfx(const std::shared_ptr<TSound>& sound) {
    play_sfx(sound);
    ++effects;
  }

  void start_engine() {
    engine_loop(1);
    auto chan = std::dynamic_pointer_cast<TSoftMixChannel>(engine_chan);
    softmix::sound* voice = chan ? engine_voice(chan->sm_channel) : nullptr;
    if (!voice || !channel_playing(engine_chan)) return fail("the engine loop did not start");
    voice->snd->refs.fetch_add(1);
    loops.push_back(voice->snd);
  }

  void stop_engine() {
    stop_channel(engine_chan);
    if (channel_playing(engine_chan)) fail("a stopped engine plays on");
  }

  void fail(const char* what) {
    if (++failures <= 10)
      ADD_FAILURE() << what << " (effect " << effects << ", loop " << loops.size() << ")";
  }
};

enum class state { title, fly_in, play, paused, suspended, cleared, dying, game_over };

}  // namespace

TEST(EngineSoak, TheGamesCallsOverTwoHundredThousandFrames) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  init_audio_module();
  ASSERT_EQ(set_audio_driver("SoftMix"), 1);
  const auto start = std::chrono::steady_clock::now();
  {
    game_sounds g;
    std::mt19937 rng(1999);
    auto roll = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };

    state s = state::title;
    int left = 30;  // frames until the current state ends
    int lives = 3;
    bool was_playing = false;
    int pauses = 0, suspends = 0, stages = 0, deaths = 0;

    // Voices holding the effects: each holds a reference to its sound until the mixer
    // has played it out.
    const std::vector<std::shared_ptr<TSound>> effects = {
        snd_fire,     snd_balloonpop, snd_blimphit, snd_startstage,
        snd_endstage, snd_explode,    snd_pldeath};
    auto in_flight = [&] {
      int n = 0;
      for (const auto& e : effects) n += engine_refs(e) - 1;
      return n;
    };
    int throttled_ms = 0;

    auto new_stage = [&] {
      g.sfx(snd_startstage);
      g.start_engine();
      s = state::fly_in;
      left = 121;
    };

    for (int frame = 0; frame < soak_frames && g.failures == 0; ++frame) {
      --left;
      switch (s) {
        case state::title:
          if (roll(40) == 0) menu_choose(3);
          if (roll(60) == 0) menu_choose(4);
          if (left <= 0) {
            lives = 3;
            new_stage();
          }
          break;
        case state::fly_in:
          if (left <= 0) {
            s = state::play;
            left = 300 + roll(3000);
          }
          break;
        case state::play:
          if (!channel_playing(engine_chan)) g.fail("the engine loop ended by itself");
          if (roll(6) == 0) g.sfx(snd_fire);
          if (roll(40) == 0) g.sfx(snd_explode);
          if (roll(300) == 0) g.sfx(snd_balloonpop);
          if (roll(2000) == 0) g.sfx(snd_blimphit);
          if (roll(1500) == 0) {
            g.stop_engine();
            s = state::paused;
            ++pauses;
            left = 10 + roll(100);
          } else if (roll(3000) == 0) {
            // The window loses the focus: only the engine holds.
            was_playing = channel_playing(engine_chan) != 0;
            if (was_playing) pause_channel(engine_chan);
            if (channel_playing(engine_chan)) g.fail("a paused engine plays on");
            s = state::suspended;
            ++suspends;
            left = 5 + roll(200);
          } else if (left <= 0) {
            g.stop_engine();
            if (roll(2)) {
              g.sfx(snd_endstage);
              s = state::cleared;
              ++stages;
              left = 301;
            } else {
              g.sfx(snd_explode);
              g.sfx(snd_pldeath);
              s = state::dying;
              ++deaths;
              --lives;
              left = 250;
            }
          }
          break;
        case state::paused:
          if (roll(30) == 0) menu_choose(3);
          if (roll(30) == 0) menu_choose(4);
          if (left <= 0) {
            if (roll(5) == 0) {
              s = state::title;
              left = 20 + roll(200);
            } else {
              g.start_engine();
              s = state::play;
              left = 100 + roll(2000);
            }
          }
          break;
        case state::suspended:
          if (left <= 0) {
            if (was_playing) resume_channel(engine_chan);
            if (!channel_playing(engine_chan)) g.fail("the engine did not come back");
            s = state::play;
            left = 100 + roll(1000);
          }
          break;
        case state::cleared:
          // Paused and resumed while the stage is cleared: the next stage's loop replaces it.
          if (roll(300) == 0) {
            g.stop_engine();
            g.start_engine();
          }
          if (left <= 0) new_stage();
          break;
        case state::dying:
          // Shots still in flight bring planes down.
          if (roll(50) == 0) g.sfx(snd_explode);
          if (left <= 0) {
            if (lives > 0) {
              new_stage();
            } else {
              s = state::game_over;
              left = 250;
            }
          }
          break;
        case state::game_over:
          if (left <= 0) {
            s = state::title;
            left = 20 + roll(200);
          }
          break;
      }
      // Let the service thread in now and then; otherwise the frames come back to back.
      // A machine too busy to run it in time makes the device fall silent for a while
      // (an underrun), so the calls also wait while too many effects are in flight:
      // thousands queued for a silent device are dropped, as they should be.
      if (frame % 100 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      while (in_flight() > 300) {
        ++throttled_ms;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }

    // Shutdown: the engine stops, every effect plays out.
    g.stop_engine();
    engine_chan.reset();
    auto held = [&] {
      int n = in_flight();
      for (engine_sound* l : g.loops) n += l->refs.load() - 1;
      return n;
    };
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (held() != 0 && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(held(), 0) << "voices still hold their sounds: some channel never ended";
    for (const auto& e : effects) EXPECT_EQ(engine_refs(e), 1);

    // Every handle came back.
    std::vector<int> handles;
    while (const int h = engine_alloc_channel()) handles.push_back(h);
    EXPECT_EQ(handles.size(), static_cast<size_t>(ENGINE_SLOTS - 1));
    for (int h : handles) engine_free_channel(h);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "audio soak: %d frames, %d effects, %d engine loops, %d stages, %d lost planes, %d pauses, "
        "%d suspends, in %.1f s (%d ms waiting for the mixer)\n",
        soak_frames, g.effects, static_cast<int>(g.loops.size()), stages, deaths, pauses, suspends,
        seconds, throttled_ms);
    EXPECT_GT(stages, 20);
    EXPECT_GT(deaths, 20);
    EXPECT_GT(pauses, 20);
    EXPECT_GT(suspends, 10);
  }
  shutdown_audio_driver();
}
