// Mixing cost: one fragment (512 stereo frames, 11.6 ms of sound) for a number of
// voices, steady or ramping, and one service step of the output ring.
#include <benchmark/benchmark.h>

#include <vector>

#include "audio/device.h"
#include "audio/engine.h"
#include "platform/clock.h"

namespace {

int bench_now() { return 5000; }

constexpr double FRAGMENT_SECONDS = (MIX_FRAGMENT / 2) / static_cast<double>(MIX_RATE);

// Looping one-second sounds like the game's: 16-bit mono at 22050 Hz or stereo at 44100 Hz.
engine_sound* make_sound(bool stereo) {
  const int hertz = stereo ? 44100 : 22050;
  const int channels = stereo ? 2 : 1;
  std::vector<int16_t> data(static_cast<size_t>(hertz) * channels);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<int16_t>((i * 7919) % 20000 - 10000);
  return engine_create_sound(hertz, 16, channels, hertz, data.data(), 1);
}

struct engine_setup {
  engine_sound* sound = nullptr;
  std::vector<int> handles;
  std::vector<int16_t> out = std::vector<int16_t>(MIX_FRAGMENT);

  engine_setup(int voices, bool stereo) {
    set_clock_hooks(bench_now, nullptr);
    engine_init_device(std::make_unique<softmix::manualdevice>());
    sound = make_sound(stereo);
    for (int i = 0; i < voices; ++i) {
      const int h = engine_alloc_channel();
      engine_set_volume(h, 4096 / voices + 1);
      engine_set_pan(h, (i * 997) % 8193 - 4096);
      engine_play(sound, 0, h);
      handles.push_back(h);
    }
    for (int i = 0; i < 4; ++i) engine_mixer()->mix(out.data());  // past the start delay
  }
  ~engine_setup() {
    engine_close();
    engine_free_sound(sound);
    set_clock_hooks(nullptr, nullptr);
  }
};

void report(benchmark::State& state, int voices) {
  state.counters["realtime_voices"] = benchmark::Counter(
      static_cast<double>(voices) * FRAGMENT_SECONDS * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}

void BM_MixFragment(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  const bool stereo = state.range(1) != 0;
  const bool ramped = state.range(2) != 0;
  engine_setup e(voices, stereo);
  int flip = 0;
  for (auto _ : state) {
    if (ramped) {
      // A new volume and rate on every voice, so every fragment ramps.
      flip ^= 1;
      for (int h : e.handles) {
        engine_set_volume(h, flip ? 1000 : 3000);
        engine_set_rate(h, flip ? 60000 : 70000);
      }
    }
    engine_mixer()->mix(e.out.data());
    benchmark::DoNotOptimize(e.out.data());
  }
  report(state, voices);
}

BENCHMARK(BM_MixFragment)
    ->ArgNames({"voices", "stereo", "ramped"})
    ->ArgsProduct({{1, 8, 32, 128}, {0, 1}, {0, 1}});

// A ring device whose card plays exactly one fragment between two ticks.
struct steady_card : softmix::ringdevice {
  steady_card() : ringdevice(false) {}
  ~steady_card() override { close(); }
  int64_t played = 0;

 protected:
  bool device_open() override { return true; }
  bool device_position(int64_t* bytes) override {
    *bytes = played;
    played += MIX_FRAGMENT * 2;  // every ABSURD_POSITION bytes the ring restarts, refilled
    return true;
  }
  void device_reset() override { played = 0; }
  bool device_start() override { return true; }
  void device_close() override {}
};

void BM_ServiceStep(benchmark::State& state) {
  const int voices = static_cast<int>(state.range(0));
  set_clock_hooks(bench_now, nullptr);
  auto owned = std::make_unique<steady_card>();
  steady_card* card = owned.get();
  engine_init_device(std::move(owned));
  engine_sound* sound = make_sound(false);
  for (int i = 0; i < voices; ++i) engine_play(sound, 0, 0);
  for (auto _ : state) card->service();
  engine_close();
  engine_free_sound(sound);
  set_clock_hooks(nullptr, nullptr);
}

BENCHMARK(BM_ServiceStep)->ArgName("voices")->Arg(8);

}  // namespace

BENCHMARK_MAIN();
