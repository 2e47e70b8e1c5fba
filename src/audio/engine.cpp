// The engine: its sounds, the channel table, and every engine_* operation.
#include "audio/engine.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "audio/device.h"
#include "platform/clock.h"

using softmix::sound;

namespace {

constexpr auto acq = std::memory_order_acquire;
constexpr auto rel = std::memory_order_release;
constexpr auto acq_rel = std::memory_order_acq_rel;

// Everything the engine keeps. The device is there from engine_init to engine_close
// and the engine runs while it is; the serials outlive every run, so a handle from an
// earlier run never comes alive again.
struct engine_state {
  std::unique_ptr<softmix::audiodevice> device;
  softmix::mixer* mix = nullptr;
  std::array<sound*, ENGINE_SLOTS> voice{};
  std::array<int, ENGINE_SLOTS> link{};
  std::array<bool, ENGINE_SLOTS> used{};
  std::array<int, ENGINE_SLOTS> serial{};
  std::vector<std::unique_ptr<sound>> voices;  // every voice made, freed at close
  std::vector<sound*> spare;                   // idle voices the mixer never saw

  engine_state() { serial.fill(ENGINE_SLOTS); }
};

// Made on first use and never destroyed: only engine_close stops the device, never
// the exit behind the caller's back.
engine_state& engine() {
  static engine_state* const state = new engine_state;
  return *state;
}

int slot_of(int handle) { return handle & (ENGINE_SLOTS - 1); }

bool live(int handle) {
  const engine_state& e = engine();
  if (!e.device || handle <= 0) return false;
  const int i = slot_of(handle);
  return i != 0 && e.used[i] && (handle & ~(ENGINE_SLOTS - 1)) == e.serial[i];
}

void reset_voice(sound* v) {
  v->status.store(VOICE_FREE, rel);
  v->handle = 0;
  v->auto_free.store(0, rel);
  v->snd = nullptr;
  v->channels = 0;
  v->pos = 0;
  v->total.store(0, rel);
  v->rate.set(65536);
  v->volume.set(4096);
  v->pan_cur.store(0, rel);
  v->pan_tgt.store(0, rel);
  v->depth_cur.store(0, rel);
  v->depth_tgt.store(0, rel);
  v->start_time = 0;
  v->start_delay = 0;
  v->next = nullptr;
  v->queued = false;
}

// Puts a slot back on the free list; its voice, if any, is the caller's business.
void release_slot(int index) {
  engine_state& e = engine();
  e.voice[index] = nullptr;
  e.used[index] = false;
  e.link[index] = e.link[0];
  e.link[0] = index;
}

// Detaches a voice from the handle it served. One the mixer holds plays on and is
// recycled at its end; an idle one goes back to the spares.
void let_go(sound* v) {
  v->handle = 0;
  if (v->queued) {
    v->auto_free.store(1, rel);
  } else {
    engine().spare.push_back(v);
  }
}

// A voice ready for use: recycled by the mixer, a spare, or a new one.
sound* take_voice() {
  engine_state& e = engine();
  sound* v = e.mix->take_recycled();
  if (v) {
    const int h = v->handle;
    v->handle = 0;
    if (live(h) && e.voice[slot_of(h)] == v) release_slot(slot_of(h));
  } else if (!e.spare.empty()) {
    v = e.spare.back();
    e.spare.pop_back();
  } else {
    e.voices.push_back(std::make_unique<sound>());
    v = e.voices.back().get();
  }
  reset_voice(v);
  return v;
}

// The voice on a live handle, attaching an idle one when the slot has none, so that
// settings made before anything plays are kept. nullptr for a dead handle.
sound* voice_for(int handle) {
  if (!live(handle)) return nullptr;
  sound*& slot = engine().voice[slot_of(handle)];
  if (!slot) {
    sound* v = take_voice();
    v->handle = handle;
    slot = v;
  }
  return slot;
}

// Marks a playing voice stopped; free voices stay free.
void mark_stopped(sound* v) {
  int s = v->status.load(acq);
  while (s != VOICE_FREE && !v->status.compare_exchange_weak(s, VOICE_STOPPED, acq_rel, acq)) {
  }
}

}  // namespace

// ---- start and end ----

int engine_init(int device_kind) {
  if (device_kind != 0) return -1;  // no fallback output on this platform
  return engine_init_device(std::make_unique<softmix::sdldevice>());
}

int engine_init_device(std::unique_ptr<softmix::audiodevice> device) {
  if (engine_running()) engine_close();
  if (!device) return -1;
  if (device->open() != 0) {
    device->close();
    return -1;
  }
  engine_state& e = engine();
  e.mix = device->get_mixer();
  e.device = std::move(device);
  for (int i = 0; i < ENGINE_SLOTS - 1; ++i) e.link[i] = i + 1;
  e.link[ENGINE_SLOTS - 1] = 0;
  return 0;
}

void engine_close() {
  engine_state& e = engine();
  if (!e.device) return;
  // The engine counts as closed from here on; the device goes last, after the voices.
  const std::unique_ptr<softmix::audiodevice> device = std::move(e.device);
  e.mix = nullptr;
  device->close();  // the mixing thread is gone after this
  for (auto& v : e.voices) {
    if (v->snd) engine_free_sound(v->snd);
    v->snd = nullptr;
  }
  e.voices.clear();
  e.spare.clear();
  e.voice.fill(nullptr);
  e.used.fill(false);
}

int engine_running() { return engine().device != nullptr; }

// ---- sounds ----

engine_sound* engine_create_sound(int length, int bits, int channels, int hertz, const void* data,
                                  int loop) {
  if (!engine_running()) return nullptr;
  if (length < 0 || (bits != 8 && bits != 16) || (channels != 1 && channels != 2)) return nullptr;
  if (hertz <= 0 || hertz > 1048576) return nullptr;
  const int bpf = channels * bits / 8;
  if (length > INT_MAX / bpf - 1) return nullptr;
  auto* s = new (std::nothrow) engine_sound;
  if (!s) return nullptr;
  s->hertz = hertz;
  s->channels = channels;
  s->bits = bits;
  s->bytes_per_frame = bpf;
  s->length = length;
  s->data_bytes = length * bpf;
  s->loop = loop;
  s->storage.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length + 1) * bpf]);
  if (!s->storage) {
    delete s;
    return nullptr;
  }
  s->data = s->storage.get();
  s->owns_data = true;
  if (data && length > 0) std::memcpy(s->data, data, static_cast<size_t>(s->data_bytes));
  else std::memset(s->data, bits == 8 ? 128 : 0, static_cast<size_t>(s->data_bytes));
  s->write_position = length;
  // The guard frame: the first frame again for a loop, else the last one held.
  uint8_t* guard = s->data + s->data_bytes;
  if (length == 0) std::memset(guard, bits == 8 ? 128 : 0, static_cast<size_t>(bpf));
  else std::memcpy(guard, loop ? s->data : guard - bpf, static_cast<size_t>(bpf));
  return s;
}

void engine_free_sound(engine_sound* sound) {
  if (sound) sound->release();
}

// ---- channels ----

int engine_alloc_channel() {
  if (!engine_running()) return 0;
  engine_state& e = engine();
  const int index = e.link[0];
  if (index == 0) return 0;
  e.link[0] = e.link[index];
  e.link[index] = 0;
  e.used[index] = true;
  e.voice[index] = nullptr;
  int serial = (e.serial[index] + ENGINE_SLOTS) & 0x7FFFF000;
  if (serial == 0) serial = ENGINE_SLOTS;
  e.serial[index] = serial;
  return index | serial;
}

void engine_free_channel(int handle) {
  if (!live(handle)) return;
  const int i = slot_of(handle);
  sound* v = engine().voice[i];
  release_slot(i);
  if (v) let_go(v);
}

int engine_play(engine_sound* snd, int paused, int handle) {
  if (!engine_running() || !snd) return handle;
  engine_state& e = engine();

  int result;
  bool given = false;
  int rate = 65536, volume = 4096, pan = 0, depth = 0;
  if (live(handle)) {
    sound* tmpl = voice_for(handle);
    rate = tmpl->get_rate(1);
    volume = tmpl->get_volume(1);
    pan = tmpl->get_pan(1);
    depth = tmpl->get_depth(1);
    // The old voice leaves the slot before a voice is taken, so taking one can never
    // free the very handle being played on.
    e.voice[slot_of(handle)] = nullptr;
    mark_stopped(tmpl);
    let_go(tmpl);
    result = handle;
    given = true;
  } else {
    // A stale handle is treated as none: its slot may belong to someone else now.
    result = engine_alloc_channel();
  }

  sound* v = take_voice();
  v->rate.set(rate);
  v->volume.set(volume);
  v->pan_cur.store(pan, rel);
  v->pan_tgt.store(pan, rel);
  v->depth_cur.store(depth, rel);
  v->depth_tgt.store(depth, rel);
  snd->retain();
  v->snd = snd;
  v->channels = snd->channels;
  v->status.store((snd->loop ? VOICE_LOOPING : VOICE_ONESHOT) + (paused ? VOICE_PAUSED : 0), rel);
  v->auto_free.store(given ? 0 : 1, rel);
  v->start_time = millisecs();

  if (!e.mix->queue_play(v)) {
    // Thousands of voices waiting for a stalled mixer: this one is dropped.
    engine_free_sound(snd);
    reset_voice(v);
    e.spare.push_back(v);
    if (!given) {
      engine_free_channel(result);
      return 0;
    }
    return result;
  }
  v->queued = true;
  if (result) {
    v->handle = result;
    e.voice[slot_of(result)] = v;
  }
  return result;
}

void engine_stop(int handle) {
  if (!live(handle)) return;
  if (sound* v = engine().voice[slot_of(handle)]) {
    v->auto_free.store(1, rel);
    mark_stopped(v);
  }
  engine_free_channel(handle);
}

void engine_set_paused(int handle, int paused) {
  sound* v = voice_for(handle);
  if (!v) return;
  // Only a playing voice pauses; a stopped or free one stays as it is.
  int s = v->status.load(acq);
  for (;;) {
    if (!(s & (VOICE_ONESHOT | VOICE_LOOPING | VOICE_STREAMING))) return;
    const int want = paused ? (s | VOICE_PAUSED) : (s & ~VOICE_PAUSED);
    if (want == s || v->status.compare_exchange_weak(s, want, acq_rel, acq)) return;
  }
}

void engine_set_volume(int handle, int volume) {
  if (sound* v = voice_for(handle)) v->set_volume(volume);
}

void engine_set_pan(int handle, int pan) {
  if (sound* v = voice_for(handle)) v->set_pan(pan);
}

void engine_set_depth(int handle, int depth) {
  if (sound* v = voice_for(handle)) v->set_depth(depth);
}

void engine_set_rate(int handle, int rate) {
  if (sound* v = voice_for(handle)) v->set_rate(rate);
}

int engine_status(int handle) {
  sound* v = voice_for(handle);
  return v ? v->status.load(acq) : 0;
}

int engine_position(int handle) {
  sound* v = voice_for(handle);
  return v ? v->position() : 0;
}

softmix::mixer* engine_mixer() { return engine().mix; }
softmix::sound* engine_voice(int handle) { return voice_for(handle); }
