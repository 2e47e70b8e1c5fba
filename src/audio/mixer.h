// The mixer: voices that play engine sounds, the two rings that carry voices between
// the game thread and the mixing thread, and the mixing of one fragment.
//
// Threads: the game thread posts voices to the play ring and takes them back from the
// recycle ring; every mix runs on the device's service thread. They share the two
// single-writer rings and the atomic fields of the voices, nothing else, and nothing is
// locked.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/kernels.h"

constexpr int MIX_CHANNELS = 2;
constexpr int MIX_FRAGMENT = 1024;  // samples per fragment: 512 stereo frames, about 11.6 ms
constexpr int MIX_START_DELAY_MS = 20;
constexpr int MIX_QUEUE_SIZE = 4096;

// Voice status bits.
constexpr int VOICE_FREE = 0;
constexpr int VOICE_STOPPED = 1;
constexpr int VOICE_ONESHOT = 2;
constexpr int VOICE_LOOPING = 4;
constexpr int VOICE_STREAMING = 8;
constexpr int VOICE_PAUSED = 16;

// A sound as the engine keeps it: PCM frames plus one guard frame, so interpolation
// never reads past the end. Reference counted by hand: voices hold references and may
// drop the last one on the mixing thread.
struct engine_sound {
  int hertz = 0;
  int channels = 0;
  int bits = 0;
  int bytes_per_frame = 0;
  int length = 0;      // frames
  int data_bytes = 0;  // length x bytes per frame
  int write_position = 0;
  std::atomic<int> refs{1};
  int loop = 0;
  uint8_t* data = nullptr;  // length + 1 frames
  bool owns_data = false;
  std::unique_ptr<uint8_t[]> storage;

  void retain() { refs.fetch_add(1, std::memory_order_acq_rel); }
  // Drops one reference; the last one frees the sound, on whichever thread drops it.
  void release() {
    if (refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
};

namespace softmix {

class mixer;

// The common base of the mixer and its voices.
class output {
 public:
  virtual ~output() = default;
  virtual void set_rate(int rate) {}
  virtual void set_volume(int volume) {}
  virtual void set_pan(int pan) {}
  virtual void set_depth(int depth) {}
  virtual int get_rate(int target = 1) { return 65536; }
  virtual int get_volume(int target = 1) { return 4096; }
  virtual int get_pan(int target = 1) { return 0; }
  virtual int get_depth(int target = 1) { return 0; }
  virtual int position() { return 0; }
};

// A ramped setting: the current value and its target in one atomic word. The game
// sets the target, or both at once on a paused voice; the mixer moves the current
// value to the target. A compare-and-swap from what the mixer read keeps it from
// overwriting a setting the game made meanwhile.
class setting_pair {
 public:
  explicit setting_pair(int value) : _bits(pack(value, value)) {}

  int current() const { return current_of(_bits.load(std::memory_order_acquire)); }
  int target() const { return target_of(_bits.load(std::memory_order_acquire)); }
  void read(int* current, int* target) const {
    const uint64_t b = _bits.load(std::memory_order_acquire);
    *current = current_of(b);
    *target = target_of(b);
  }
  // Game thread: both values, so the voice starts at this one instead of ramping.
  void set(int value) { _bits.store(pack(value, value), std::memory_order_release); }
  // Game thread: a new target; the current value stays the mixer's.
  void set_target(int value) {
    uint64_t b = _bits.load(std::memory_order_acquire);
    while (!_bits.compare_exchange_weak(b, pack(current_of(b), value), std::memory_order_acq_rel,
                                        std::memory_order_acquire)) {
    }
  }
  // Mixer: the ramp read as (current, target) has reached its target. If the game
  // moved only the target since, the next ramp starts from here; if it set the
  // current value, that stands.
  void reach(int current, int target) {
    uint64_t seen = pack(current, target);
    while (!_bits.compare_exchange_strong(seen, pack(target, target_of(seen)),
                                          std::memory_order_acq_rel, std::memory_order_acquire)) {
      if (current_of(seen) != current || target_of(seen) == current) return;
    }
  }

 private:
  static uint64_t pack(int current, int target) {
    return static_cast<uint64_t>(static_cast<uint32_t>(current)) << 32 |
           static_cast<uint32_t>(target);
  }
  static int current_of(uint64_t b) { return static_cast<int>(static_cast<uint32_t>(b >> 32)); }
  static int target_of(uint64_t b) { return static_cast<int>(static_cast<uint32_t>(b)); }

  std::atomic<uint64_t> _bits;
};

// One playing instance of a sound.
class sound : public output {
 public:
  mixer* owner = nullptr;
  std::atomic<int> status{VOICE_FREE};
  int handle = 0;  // game thread only
  std::atomic<int> auto_free{0};
  engine_sound* snd = nullptr;  // one reference while queued or active
  int channels = 0;             // of snd, kept for position()
  uint64_t pos = 0;             // 32.32, in samples (frames x channels); mixer only
  std::atomic<uint64_t> total{0};
  setting_pair rate{65536};
  setting_pair volume{4096};
  // Pan and depth are never ramped: only the game writes them.
  std::atomic<int> pan_cur{0}, pan_tgt{0};
  std::atomic<int> depth_cur{0}, depth_tgt{0};
  int start_time = 0;   // ms, when queued
  int start_delay = 0;  // output frames still to wait
  sound* next = nullptr;
  bool queued = false;  // game thread: handed to the mixer and not yet taken back

  // Setters store the target; on a paused voice the current value too, so a cued
  // voice starts at the new setting instead of ramping to it.
  void set_rate(int rate) override;
  void set_volume(int volume) override;
  void set_pan(int pan) override;
  void set_depth(int depth) override;
  int get_rate(int target = 1) override;
  int get_volume(int target = 1) override;
  int get_pan(int target = 1) override;
  int get_depth(int target = 1) override;
  int position() override;  // frames played

  // Mixes frames output frames into acc (interleaved stereo). 0 keep, 1 ended or
  // stopped, -1 free, -2 paused.
  int mix(int32_t* acc, int frames);
};

// Single-producer single-consumer ring of voice pointers.
class voice_ring {
 public:
  bool push(sound* voice);  // false when full
  sound* pop();             // nullptr when empty

 private:
  std::array<sound*, MIX_QUEUE_SIZE> _slots{};
  std::atomic<int> _read{0};
  std::atomic<int> _write{0};
};

class mixer : public output {
 public:
  explicit mixer(int fragment_samples);

  void set_output(int rate);

  // Mixing thread: one fragment into out (fragment samples, interleaved stereo).
  void mix(int16_t* out);

  // Game thread.
  bool queue_play(sound* voice);
  sound* take_recycled();
  // Only while no thread mixes: every active voice is released and recycled.
  void recycle_all();

 private:
  void start_queued();
  bool recycle(sound* voice);

  std::vector<int32_t> _acc;
  int _fragment;
  int _rate = MIX_RATE;
  sound* _active = nullptr;
  voice_ring _play;
  voice_ring _recycle;
};

}  // namespace softmix
