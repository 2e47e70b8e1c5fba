// The output devices. Each opens with a mixer of its own and is the only caller of its
// mix: the sound card's ring from a service thread every 5 ms, the manual device
// whenever its caller asks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "audio/mixer.h"

namespace softmix {

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
