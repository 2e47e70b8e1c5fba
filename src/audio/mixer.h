// The software mixing engine: PCM sounds, voices on channel handles, integer mixing
// into 16-bit stereo at 44100 Hz, and the output devices that call the mixer.
//
// Threads: the engine_* operations run on the game thread; every mix runs on the
// device's service thread. They share two single-writer rings of voice pointers and
// the atomic fields of the voices, nothing else, and nothing is locked.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

constexpr int MIX_RATE = 44100;
constexpr int MIX_CHANNELS = 2;
constexpr int MIX_FRAGMENT = 1024;  // samples per fragment: 512 stereo frames, about 11.6 ms
constexpr int MIX_START_DELAY_MS = 20;
constexpr int MIX_QUEUE_SIZE = 4096;
constexpr int ENGINE_SLOTS = 4096;  // slot 0 heads the free list, so 4095 handles exist

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
  void mix_voices();
  bool recycle(sound* voice);

  std::vector<int32_t> _acc;
  int _fragment;
  int _rate = MIX_RATE;
  sound* _active = nullptr;
  voice_ring _play;
  voice_ring _recycle;
};

// An output device: opens with its own mixer and calls it from a thread of its own.
class audiodevice {
 public:
  virtual ~audiodevice() = default;
  virtual int open() = 0;  // 0 on success
  virtual void close() = 0;
  mixer* get_mixer() { return _mixer.get(); }

 protected:
  std::unique_ptr<mixer> _mixer;
};

// A device with no output and no thread: the caller mixes fragments itself.
// Tests drive the engine through it with their own clock.
class manualdevice : public audiodevice {
 public:
  int open() override;
  void close() override;
  void mix(int16_t* out) { _mixer->mix(out); }
};

// A device that plays a ring of 32 fragments endlessly and reports how far it has
// played; a service step every 5 ms keeps the ring filled ahead of it.
class ringdevice : public audiodevice {
 public:
  static constexpr int RING_FRAGMENTS = 32;
  static constexpr int START_LATENCY = 6;
  static constexpr int MAX_LATENCY = 10;
  static constexpr int UNDERRUN_TICKS = 250;
  static constexpr int64_t ABSURD_POSITION = 268435456;  // bytes
  static constexpr int TICK_MS = 5;

  explicit ringdevice(bool own_thread = true) : _own_thread(own_thread) {}
  ~ringdevice() override;
  int open() override;
  void close() override;

  // One tick's work; the service thread calls it, tests may call it directly.
  void service();

  int latency() const { return _latency; }
  int write_position() const { return _write_pos; }
  int restart_countdown() const { return _restart; }

 protected:
  // What a concrete device provides.
  virtual bool device_open() = 0;
  virtual bool device_position(int64_t* bytes) = 0;  // false when it cannot tell
  virtual void device_reset() = 0;  // stop, position 0; the ring is no longer read after it
  virtual bool device_start() = 0;  // play the ring from its start; false when refused
  virtual void device_close() = 0;

  // Samples written into the ring so far; the player never reads beyond it.
  std::atomic<int64_t> _written{0};
  std::vector<int16_t> _ring;
  int _fragment = MIX_FRAGMENT;

 private:
  void start_playback();
  void clear_ring();
  void fill(int play);

  bool _own_thread;
  std::atomic<bool> _running{false};
  std::thread _thread;
  bool _opened = false;
  int _write_pos = 0;  // samples
  int _restart = 0;    // ticks
  int _latency = START_LATENCY;
};

// The sound card through SDL: 44100 Hz, signed 16-bit, stereo; the SDL callback
// plays the ring.
class sdldevice : public ringdevice {
 public:
  sdldevice() = default;
  ~sdldevice() override;

 protected:
  bool device_open() override;
  bool device_position(int64_t* bytes) override;
  void device_reset() override;
  bool device_start() override;
  void device_close() override;

 private:
  static void callback(void* self, uint8_t* stream, int len);
  void play(uint8_t* out, int len);

  uint32_t _device = 0;
  bool _subsystem = false;
  // Bit 0: playing; the rest counts callbacks in progress, so a reset can wait
  // until the callback has let go of the ring.
  std::atomic<int> _control{0};
  std::atomic<int64_t> _played{0};  // bytes since the last start
};

}  // namespace softmix

// ---- Engine operations (game thread) ----

// 0 the sound card, 1 the fallback output (not available here). 0 or -1.
int engine_init(int device_kind);
// Runs the engine on the given device (tests, tools). 0 or -1.
int engine_init_device(std::unique_ptr<softmix::audiodevice> device);
void engine_close();
int engine_running();

engine_sound* engine_create_sound(int length, int bits, int channels, int hertz, const void* data,
                                  int loop);
void engine_free_sound(engine_sound* sound);

int engine_alloc_channel();
void engine_free_channel(int handle);
int engine_play(engine_sound* sound, int paused, int handle);
void engine_stop(int handle);
void engine_set_paused(int handle, int paused);
void engine_set_volume(int handle, int volume);
void engine_set_pan(int handle, int pan);
void engine_set_depth(int handle, int depth);
void engine_set_rate(int handle, int rate);
int engine_status(int handle);
int engine_position(int handle);

// For tests and tools: the mixer, and the voice on a live handle.
softmix::mixer* engine_mixer();
softmix::sound* engine_voice(int handle);
