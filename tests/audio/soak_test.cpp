// The game's sound calls over a long span, against the real engine with its service
// thread on SDL's silent device: effects cued, given a volume and resumed on new
// channels and let go at once, the engine loop loaded afresh, started, stopped, paused
// and resumed, the volumes stepped in the menu. The frames come as fast as the
// machine allows, so far more voices overlap than in the game.
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
#include "audio/mixer.h"
#include "audio/sample.h"

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

// The game's calls, with its states reduced to frame counts.
class game_sounds {
public:
  game_sounds() {
    fire = load_sound(tone(300, 44100, SF_MONO16LE, 6));
    balloonpop = load_sound(tone(900, 22050, SF_MONO8, 4));
    blimphit = load_sound(tone(1500, 44100, SF_STEREO16LE, 10));
    startstage = load_sound(tone(2500, 22050, SF_STEREO16LE, 8));
    endstage = load_sound(tone(2500, 44100, SF_MONO16LE, 12));
    explode = load_sound(tone(1200, 44100, SF_STEREO8, 5));
    pldeath = load_sound(tone(2000, 11025, SF_MONO16LE, 3));
  }

  std::shared_ptr<TSound> fire, balloonpop, blimphit, startstage, endstage, explode, pldeath;
  std::shared_ptr<TChannel> engine_chan;
  float sfx_volume = 1.0f, engine_volume = 0.6f;
  int sfx_step = 10, engine_step = 6;
  // Every other loop sound is kept, so its engine references can be counted at the end;
  // the rest go at once, as in the game, and the mixer lets go of them last.
  std::vector<std::shared_ptr<TSound>> kept_loops;
  int effects = 0, loops = 0, failures = 0;

  void play_sfx(const std::shared_ptr<TSound>& sound) {
    std::shared_ptr<TChannel> chan = cue_sound(sound, nullptr);
    if (!chan) {
      fail("an effect found no channel");
      return;
    }
    set_channel_volume(chan, sfx_volume);
    resume_channel(chan);
    ++effects;
  }

  void engine_loop() {
    // Read afresh each time, like the loop file.
    auto loop = load_sound(tone(4000, 22050, SF_MONO16LE, 20), SOUND_LOOP);
    auto chan = cue_sound(loop, nullptr);
    if (!chan) {
      fail("the engine loop found no channel");
      return;
    }
    engine_chan = chan;
    set_channel_volume(engine_chan, engine_volume);
    resume_channel(engine_chan);
    if (++loops % 2) kept_loops.push_back(loop);
  }

  void stop_engine() {
    stop_channel(engine_chan);
    if (channel_playing(engine_chan)) fail("a stopped engine plays on");
  }

  void step_sfx_volume() {
    ++sfx_step;
    sfx_volume += 0.1f;
    if (sfx_step > 10) {
      sfx_step = 0;
      sfx_volume = 0.0f;
    }
    play_sfx(fire);
  }

  void step_engine_volume() {
    ++engine_step;
    engine_volume += 0.1f;
    if (engine_step > 10) {
      engine_step = 0;
      engine_volume = 0.0f;
    }
  }

  void fail(const char* what) {
    if (++failures <= 10) ADD_FAILURE() << what << " (effect " << effects << ", loop " << loops << ")";
  }
};

enum class state { title, fly_in, play, paused, suspended, cleared, dying, game_over };

}  // namespace

TEST(AudioSoak, TheGamesCallsOverTwoHundredThousandFrames) {
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
    const std::vector<std::shared_ptr<TSound>> effects = {g.fire, g.balloonpop, g.blimphit, g.startstage,
                                                          g.endstage, g.explode, g.pldeath};
    auto in_flight = [&] {
      int n = 0;
      for (const auto& e : effects) n += engine_refs(e) - 1;
      return n;
    };
    int throttled_ms = 0;

    auto new_stage = [&] {
      g.play_sfx(g.startstage);
      g.engine_loop();
      s = state::fly_in;
      left = 121;
    };

    for (int frame = 0; frame < soak_frames && g.failures == 0; ++frame) {
      --left;
      switch (s) {
        case state::title:
          if (roll(40) == 0) g.step_sfx_volume();
          if (roll(60) == 0) g.step_engine_volume();
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
          if (!channel_playing(g.engine_chan)) g.fail("the engine loop ended by itself");
          if (roll(6) == 0) g.play_sfx(g.fire);
          if (roll(40) == 0) g.play_sfx(g.explode);
          if (roll(300) == 0) g.play_sfx(g.balloonpop);
          if (roll(2000) == 0) g.play_sfx(g.blimphit);
          if (roll(1500) == 0) {
            g.stop_engine();
            s = state::paused;
            ++pauses;
            left = 10 + roll(100);
          } else if (roll(3000) == 0) {
            // The window loses the focus: only the engine holds.
            was_playing = channel_playing(g.engine_chan) != 0;
            if (was_playing) pause_channel(g.engine_chan);
            if (channel_playing(g.engine_chan)) g.fail("a paused engine plays on");
            s = state::suspended;
            ++suspends;
            left = 5 + roll(200);
          } else if (left <= 0) {
            g.stop_engine();
            if (roll(2)) {
              g.play_sfx(g.endstage);
              s = state::cleared;
              ++stages;
              left = 301;
            } else {
              g.play_sfx(g.explode);
              g.play_sfx(g.pldeath);
              s = state::dying;
              ++deaths;
              --lives;
              left = 250;
            }
          }
          break;
        case state::paused:
          if (roll(30) == 0) g.step_sfx_volume();
          if (roll(30) == 0) g.step_engine_volume();
          if (left <= 0) {
            if (roll(5) == 0) {
              s = state::title;
              left = 20 + roll(200);
            } else {
              g.engine_loop();
              s = state::play;
              left = 100 + roll(2000);
            }
          }
          break;
        case state::suspended:
          if (left <= 0) {
            if (was_playing) resume_channel(g.engine_chan);
            if (!channel_playing(g.engine_chan)) g.fail("the engine did not come back");
            s = state::play;
            left = 100 + roll(1000);
          }
          break;
        case state::cleared:
          if (left <= 0) new_stage();
          break;
        case state::dying:
          // Shots still in flight bring planes down.
          if (roll(50) == 0) g.play_sfx(g.explode);
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
    g.engine_chan.reset();
    auto held = [&] {
      int n = in_flight();
      for (const auto& l : g.kept_loops) n += engine_refs(l) - 1;
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

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("audio soak: %d frames, %d effects, %d engine loops, %d stages, %d lost planes, %d pauses, "
                "%d suspends, in %.1f s (%d ms waiting for the mixer)\n",
                soak_frames, g.effects, g.loops, stages, deaths, pauses, suspends, seconds, throttled_ms);
    EXPECT_GT(stages, 20);
    EXPECT_GT(deaths, 20);
    EXPECT_GT(pauses, 20);
    EXPECT_GT(suspends, 10);
  }
  shutdown_audio_driver();
}
