// The output ring's service rules on a device the test moves by hand, and the real
// SDL device with its service thread: captured output, and a thread stress run.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "audio/audio.h"
#include "audio/device.h"
#include "audio/sample.h"
#include "audio_testing.h"
#include "scratch_dir.h"

namespace fs = std::filesystem;

namespace {

// A card that reports whatever position the test gives it.
struct hand_device : softmix::ringdevice {
  hand_device() : ringdevice(false) {}
  ~hand_device() override { close(); }

  int64_t played = 0;  // bytes
  bool answers = true;
  bool start_ok = true;
  int starts = 0;
  int resets = 0;

  void advance_fragments(double n) { played += static_cast<int64_t>(n * MIX_FRAGMENT * 2); }

 protected:
  bool device_open() override { return true; }
  bool device_position(int64_t* bytes) override {
    *bytes = played;
    return answers;
  }
  void device_reset() override {
    ++resets;
    played = 0;
  }
  bool device_start() override {
    ++starts;
    return start_ok;
  }
  void device_close() override {}
};

constexpr int F = MIX_FRAGMENT;

TEST(Ring, KeepsSixFragmentsAheadOfThePlayer) {
  hand_device d;
  ASSERT_EQ(d.open(), 0);
  EXPECT_EQ(d.write_position(), 6 * F);
  EXPECT_EQ(d.starts, 1);
  d.service();
  EXPECT_EQ(d.write_position(), 6 * F);  // nothing played yet, nothing to add
  d.advance_fragments(1.5);
  d.service();
  EXPECT_EQ(d.write_position(), 8 * F);  // whole fragments until 1.5 + 6 is covered
  d.advance_fragments(2);
  d.service();
  EXPECT_EQ(d.write_position(), 10 * F);
  EXPECT_EQ(d.resets, 0);
}

TEST(Ring, UnderrunMutesRestartsAndRaisesTheLatency) {
  hand_device d;
  ASSERT_EQ(d.open(), 0);
  d.advance_fragments(4.5);  // within two fragments of what was written
  d.service();
  EXPECT_EQ(d.restart_countdown(), 250);
  EXPECT_EQ(d.resets, 1);
  EXPECT_EQ(d.latency(), 8);
  EXPECT_EQ(d.write_position(), 16 * F);
  for (int i = 0; i < 249; ++i) d.service();
  EXPECT_EQ(d.starts, 1);
  d.service();
  EXPECT_EQ(d.starts, 2);
  EXPECT_EQ(d.restart_countdown(), 0);

  // The latency grows to 10 and no further.
  for (int round = 0; round < 3; ++round) {
    d.played = static_cast<int64_t>(d.write_position()) * 2;
    d.service();
    for (int i = 0; i < 250; ++i) d.service();
  }
  EXPECT_EQ(d.latency(), 10);
  EXPECT_EQ(d.write_position(), 20 * F);
}

TEST(Ring, AbsurdOrUnknownPositionRestartsWithoutRaisingTheLatency) {
  hand_device d;
  ASSERT_EQ(d.open(), 0);
  d.played = 268435456 + 2;
  d.service();
  EXPECT_EQ(d.resets, 1);
  EXPECT_EQ(d.starts, 2);
  EXPECT_EQ(d.latency(), 6);
  EXPECT_EQ(d.restart_countdown(), 0);
  // Refilled before the restart, so the next tick is no underrun.
  EXPECT_EQ(d.write_position(), 6 * F);
  d.advance_fragments(1);
  d.service();
  EXPECT_EQ(d.restart_countdown(), 0);
  EXPECT_EQ(d.write_position(), 7 * F);

  d.answers = false;
  d.service();
  EXPECT_EQ(d.resets, 2);
  EXPECT_EQ(d.starts, 3);
}

TEST(Ring, RefusedRestartIsReportedOnStandardOutput) {
  hand_device d;
  ASSERT_EQ(d.open(), 0);
  d.start_ok = false;
  d.answers = false;
  ::testing::internal::CaptureStdout();
  d.service();
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "waveOutWrite error\n");
}

TEST(SdlDevice, PlayedSoundAppearsInTheCapturedOutput) {
  const scratch_dir dir;
  const fs::path capture = dir.path() / "capture.raw";
  setenv("SDL_AUDIODRIVER", "disk", 1);
  setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
  init_audio_module();
  ASSERT_EQ(set_audio_driver("SoftMix Multimedia"), 1);
  auto sound = load_sound(audio_testing::constant_sample(8820, 8000));  // 0.2 s
  auto chan = cue_sound(sound);
  set_channel_volume(chan, 0.5f);
  set_channel_pan(chan, 1.0f);
  resume_channel(chan);
  EXPECT_EQ(channel_playing(chan), 1);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (channel_playing(chan) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(channel_playing(chan), 0);  // the service thread played it to its end

  // The device writes the ring out as it plays it: read until silence follows the sound.
  int first = -1, sounding = 0, stray = 0, after = 0;
  while (!(sounding && after) &&
         std::chrono::steady_clock::now() < until + std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::ifstream in(capture, std::ios::binary);
    int16_t lr[2];
    first = -1, sounding = stray = after = 0;
    for (int f = 0; in.read(reinterpret_cast<char*>(lr), sizeof lr); ++f, ++after) {
      if (lr[0] == 0 && lr[1] == 4000) {
        if (first < 0) first = f;
        ++sounding;
        after = -1;
      } else if (lr[0] != 0 || lr[1] != 0) {
        ++stray;
      }
    }
  }
  shutdown_audio_driver();
  EXPECT_GT(first, 0);        // silence first: the start delay and the ring ahead
  EXPECT_EQ(sounding, 8820);  // every frame, at half volume, on the right only
  EXPECT_EQ(stray, 0);
}

// Only a sanitizer can tell a race or a freed voice from a lucky run.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

TEST(SdlDevice, ThreadsMeetOnlyThroughTheRingsAndTheVoices) {
  if (!kSanitized) GTEST_SKIP() << "judged only in the sanitizer builds";
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  init_audio_module();
  ASSERT_EQ(set_audio_driver("SoftMix"), 1);
  auto blip = load_sound(audio_testing::constant_sample(300, 2000));
  auto loop = load_sound(audio_testing::constant_sample(5000, -1000), SOUND_LOOP);
  std::mt19937 rng(7);
  std::vector<std::shared_ptr<TChannel>> chans;
  for (int i = 0; i < 6000; ++i) {
    const int op = static_cast<int>(rng() % 9);
    auto pick = [&]() -> std::shared_ptr<TChannel> {
      return chans.empty() ? nullptr : chans[rng() % chans.size()];
    };
    switch (op) {
      case 0: chans.push_back(play_sound(blip)); break;
      case 1: {
        auto c = cue_sound(rng() % 2 ? blip : loop, rng() % 3 ? nullptr : pick());
        set_channel_volume(c, static_cast<float>(rng() % 100) / 100.0f);
        resume_channel(c);
        chans.push_back(c);
        break;
      }
      case 2: stop_channel(pick()); break;
      case 3: pause_channel(pick()); break;
      case 4: resume_channel(pick()); break;
      case 5: set_channel_volume(pick(), static_cast<float>(rng() % 200) / 100.0f); break;
      case 6:
        set_channel_pan(pick(), static_cast<float>(rng() % 200) / 100.0f - 1.0f);
        set_channel_rate(pick(), static_cast<float>(rng() % 300) / 100.0f);
        break;
      case 7: channel_playing(pick()); break;
      case 8:
        if (!chans.empty())
          chans.erase(chans.begin() + static_cast<std::ptrdiff_t>(rng() % chans.size()));
        break;
    }
    if (chans.size() > 200) chans.erase(chans.begin(), chans.begin() + 100);
    if (i % 300 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(3));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  shutdown_audio_driver();
  chans.clear();  // channels outliving the engine let go of nothing
}

}  // namespace
