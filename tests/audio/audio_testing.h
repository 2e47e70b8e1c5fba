// Shared pieces of the audio tests: a clock the test moves by hand and a few sounds.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/device.h"
#include "audio/engine.h"
#include "audio/sample.h"
#include "platform/clock.h"

namespace audio_testing {

inline int fake_ms = 1000;
inline int fake_now() { return fake_ms; }

// 16-bit mono frames of one value.
inline std::vector<int16_t> constant16(int frames, int16_t value) {
  return std::vector<int16_t>(static_cast<size_t>(frames), value);
}

// The same as a sample at the mixer's rate.
inline std::shared_ptr<TAudioSample> constant_sample(int frames, int16_t value) {
  auto s = TAudioSample::Create(frames, MIX_RATE, SF_MONO16LE);
  std::fill_n(reinterpret_cast<int16_t*>(s->samples), frames, value);
  return s;
}

// Runs the engine on a device without output, on this thread, with the fake clock.
struct manual_engine {
  manual_engine() {
    fake_ms = 1000;
    set_clock_hooks(fake_now, nullptr);
    engine_init_device(std::make_unique<softmix::manualdevice>());
  }
  ~manual_engine() {
    engine_close();
    set_clock_hooks(nullptr, nullptr);
  }
  // One fragment of output: 512 stereo frames.
  std::vector<int16_t> fragment() {
    std::vector<int16_t> out(MIX_FRAGMENT);
    engine_mixer()->mix(out.data());
    return out;
  }
  // n fragments joined.
  std::vector<int16_t> fragments(int n) {
    std::vector<int16_t> all;
    for (int i = 0; i < n; ++i) {
      auto f = fragment();
      all.insert(all.end(), f.begin(), f.end());
    }
    return all;
  }
};

}  // namespace audio_testing
