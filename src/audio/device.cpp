// Output devices: the one without output, the fragment ring with its 5 ms service
// step, and the sound card through SDL playing that ring.
#include <SDL.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "audio/device.h"

namespace softmix {

namespace {
constexpr auto acq = std::memory_order_acquire;
constexpr auto rel = std::memory_order_release;
constexpr auto acq_rel = std::memory_order_acq_rel;

void report_start_failure() {
  std::puts("waveOutWrite error");
  std::fflush(stdout);
}
}  // namespace

// ---- the device without output ----

int manualdevice::open() {
  _mixer = std::make_unique<mixer>(MIX_FRAGMENT);
  _mixer->set_output(MIX_RATE);
  return 0;
}

void manualdevice::close() {
  if (_mixer) _mixer->recycle_all();
}

// ---- the ring ----

ringdevice::~ringdevice() {
  _running.store(false, rel);
  if (_thread.joinable()) _thread.join();
}

int ringdevice::open() {
  _mixer = std::make_unique<mixer>(_fragment);
  if (!device_open()) return -1;
  _opened = true;
  _mixer->set_output(MIX_RATE);
  _ring.assign(static_cast<size_t>(_fragment) * RING_FRAGMENTS, 0);
  _write_pos = 0;
  _written.store(0, rel);
  _restart = 0;
  _latency = START_LATENCY;
  _running.store(true, rel);
  service();  // the device has not moved yet, so this fills the first fragments
  start_playback();
  if (_own_thread) {
    _thread = std::thread([this] {
      pthread_setname_np(pthread_self(), "av mixer");
      // A late tick is heard as a gap; where the system refuses, the mixer runs as it is.
      SDL_SetThreadPriority(SDL_THREAD_PRIORITY_HIGH);
      while (_running.load(acq)) {
        service();
        std::this_thread::sleep_for(std::chrono::milliseconds(TICK_MS));
      }
    });
  }
  return 0;
}

void ringdevice::close() {
  _running.store(false, rel);
  if (_thread.joinable()) _thread.join();
  if (_mixer) _mixer->recycle_all();
  if (_opened) {
    device_reset();
    device_close();
    _opened = false;
  }
  _ring.clear();
}

void ringdevice::start_playback() {
  if (!device_start()) report_start_failure();
}

void ringdevice::clear_ring() { std::fill(_ring.begin(), _ring.end(), int16_t{0}); }

void ringdevice::fill(int play) {
  while (_write_pos < play + _latency * _fragment) {
    const int slot = (_write_pos / _fragment) & (RING_FRAGMENTS - 1);
    _mixer->mix(_ring.data() + static_cast<size_t>(slot) * _fragment);
    _write_pos += _fragment;
    _written.store(_write_pos, rel);
  }
}

void ringdevice::service() {
  if (_restart != 0) {
    if (--_restart != 0) return;
    start_playback();
  }

  int64_t bytes = 0;
  if (!device_position(&bytes) || bytes < 0 || bytes > ABSURD_POSITION) {
    device_reset();
    _write_pos = 0;
    clear_ring();
    // Refilled before the restart: starting on an empty ring would be taken for an
    // underrun on the next tick and mute the sound for a second and more.
    fill(0);
    _written.store(_write_pos, rel);
    start_playback();
    return;
  }

  const int play = static_cast<int>(bytes / 2);
  if (play != 0 && _write_pos < play + 2 * _fragment) {
    // Fell behind: go quiet for a while, then start over with more headroom.
    _restart = UNDERRUN_TICKS;
    device_reset();
    clear_ring();
    if (_latency <= MAX_LATENCY - 1) _latency = std::min(_latency + 2, MAX_LATENCY);
    _write_pos = _latency * _fragment * 2;
    _written.store(_write_pos, rel);
    return;
  }
  fill(play);
}

// ---- SDL ----

sdldevice::~sdldevice() { close(); }

bool sdldevice::device_open() {
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
  _subsystem = true;
  SDL_AudioSpec want{};
  want.freq = MIX_RATE;
  want.format = AUDIO_S16SYS;
  want.channels = MIX_CHANNELS;
  want.samples = static_cast<Uint16>(MIX_FRAGMENT / MIX_CHANNELS);
  want.callback = [](void* self, Uint8* stream, int len) { callback(self, stream, len); };
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to whatever the card wants behind the callback.
  _device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (_device == 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    _subsystem = false;
    return false;
  }
  _control.store(0, rel);
  _played.store(0, rel);
  // The card runs from now on; until the ring starts, the callback plays silence.
  SDL_PauseAudioDevice(_device, 0);
  return true;
}

bool sdldevice::device_position(int64_t* bytes) {
  *bytes = _played.load(acq);
  return true;
}

void sdldevice::device_reset() {
  _control.fetch_and(~1, acq_rel);
  // Wait out a callback that started before the stop; it is only copying memory.
  while ((_control.load(acq) >> 1) != 0) std::this_thread::yield();
  _played.store(0, rel);
}

bool sdldevice::device_start() {
  if (_device == 0 || SDL_GetAudioDeviceStatus(_device) == SDL_AUDIO_STOPPED) return false;
  _played.store(0, rel);
  _control.fetch_or(1, acq_rel);
  return true;
}

void sdldevice::device_close() {
  if (_device != 0) SDL_CloseAudioDevice(_device);
  _device = 0;
  if (_subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  _subsystem = false;
}

void sdldevice::callback(void* self, uint8_t* stream, int len) {
  static_cast<sdldevice*>(self)->play(stream, len);
}

// SDL's audio thread. Like a card looping over its buffer it moves on whether or not
// the ring was filled in time; what was not written yet plays as silence, which the
// service step then sees as an underrun.
void sdldevice::play(uint8_t* out, int len) {
  const int state = _control.fetch_add(2, acq_rel);
  if (state & 1) {
    const int64_t at = _played.load(acq);
    const int64_t ready = _written.load(acq) * 2 - at;
    const int n = static_cast<int>(std::clamp<int64_t>(ready, 0, len));
    const int64_t ring_bytes = static_cast<int64_t>(_ring.size()) * 2;
    const auto* ring = reinterpret_cast<const uint8_t*>(_ring.data());
    int done = 0;
    while (done < n) {
      const int64_t offset = (at + done) % ring_bytes;
      const int chunk = static_cast<int>(std::min<int64_t>(n - done, ring_bytes - offset));
      std::memcpy(out + done, ring + offset, static_cast<size_t>(chunk));
      done += chunk;
    }
    std::memset(out + n, 0, static_cast<size_t>(len - n));
    _played.store(at + len, rel);
  } else {
    std::memset(out, 0, static_cast<size_t>(len));
  }
  _control.fetch_sub(2, rel);
}

}  // namespace softmix
