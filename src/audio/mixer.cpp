// The mixing engine: sounds, voices, the mixer and the channel table.
#include "audio/mixer.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "platform/clock.h"

namespace softmix {

namespace {

constexpr auto acq = std::memory_order_acquire;
constexpr auto rel = std::memory_order_release;

// Adds without the undefined behaviour of signed overflow; only hundreds of voices at
// full scale could wrap the accumulator, and then a wrapped value beats a crash.
inline void accumulate(int32_t& acc, int32_t value) {
  acc = static_cast<int32_t>(static_cast<uint32_t>(acc) + static_cast<uint32_t>(value));
}

// Gain multipliers for a pan, 4096 = unity. Pans beyond the ends act as the ends.
inline void pan_factors(int pan, int* left, int* right) {
  pan = std::clamp(pan, -4096, 4096);
  *left = pan <= 0 ? 4096 : 4096 - pan;
  *right = pan >= 0 ? 4096 : 4096 + pan;
}

inline void gains(int volume, int left_factor, int right_factor, int depth, int* gl, int* gr) {
  *gl = volume * left_factor >> 12;
  *gr = volume * right_factor >> 12;
  if (depth < 0) *gr = -*gr;
}

// One interpolated frame at pos (32.32 samples).
template <int CH, int BITS>
inline void read_frame(const uint8_t* data, uint64_t pos, int* left, int* right) {
  if constexpr (CH == 1) {
    const uint64_t i = pos >> 32;
    const int f = static_cast<int>((pos >> 16) & 0xFFFF);
    if constexpr (BITS == 16) {
      const int16_t* d = reinterpret_cast<const int16_t*>(data);
      const int s0 = d[i], s1 = d[i + 1];
      *left = *right = s0 + static_cast<int>((static_cast<int64_t>(s1 - s0) * f) >> 16);
    } else {
      const int s0 = data[i], s1 = data[i + 1];
      *left = *right = s0 * 256 + ((s1 - s0) * f >> 8) - 32768;
    }
  } else {
    // Stereo positions count samples, so the frame fraction starts one bit higher.
    const uint64_t k = (pos >> 33) * 2;
    const int f = static_cast<int>((pos >> 17) & 0xFFFF);
    if constexpr (BITS == 16) {
      const int16_t* d = reinterpret_cast<const int16_t*>(data);
      const int l0 = d[k], r0 = d[k + 1], l1 = d[k + 2], r1 = d[k + 3];
      *left = l0 + static_cast<int>((static_cast<int64_t>(l1 - l0) * f) >> 16);
      *right = r0 + static_cast<int>((static_cast<int64_t>(r1 - r0) * f) >> 16);
    } else {
      const int l0 = data[k], r0 = data[k + 1], l1 = data[k + 2], r1 = data[k + 3];
      *left = l0 * 256 + ((l1 - l0) * f >> 8) - 32768;
      *right = r0 * 256 + ((r1 - r0) * f >> 8) - 32768;
    }
  }
}

struct mix_state {
  uint64_t pos;
  uint64_t total;
  uint64_t end;  // E in 32.32
  bool loop;
};

// Steady: one step and fixed gains. Returns 1 when a one-shot reached its end.
template <int CH, int BITS>
int render_steady(const uint8_t* data, int32_t* acc, int frames, uint64_t step, int gl, int gr,
                  mix_state& m) {
  for (int i = 0; i < frames; ++i) {
    int l, r;
    read_frame<CH, BITS>(data, m.pos, &l, &r);
    accumulate(acc[2 * i], l * gl >> 8);
    accumulate(acc[2 * i + 1], r * gr >> 8);
    m.pos += step;
    m.total += step;
    if (m.pos >= m.end) {
      if (!m.loop) return 1;
      m.pos %= m.end;
    }
  }
  return 0;
}

// Ramped: the step and the volume move linearly towards their targets.
template <int CH, int BITS>
int render_ramped(const uint8_t* data, int32_t* acc, int frames, int64_t step, int64_t dstep,
                  int volume, int dvolume, int lf, int rf, int depth, mix_state& m) {
  for (int i = 0; i < frames; ++i) {
    int gl, gr;
    gains(volume >> 8, lf, rf, depth, &gl, &gr);
    int l, r;
    read_frame<CH, BITS>(data, m.pos, &l, &r);
    accumulate(acc[2 * i], l * gl >> 8);
    accumulate(acc[2 * i + 1], r * gr >> 8);
    const uint64_t s = step > 0 ? static_cast<uint64_t>(step) : 0;
    m.pos += s;
    m.total += s;
    step += dstep;
    volume += dvolume;
    if (m.pos >= m.end) {
      if (!m.loop) return 1;
      m.pos %= m.end;
    }
  }
  return 0;
}

using steady_fn = int (*)(const uint8_t*, int32_t*, int, uint64_t, int, int, mix_state&);
using ramped_fn = int (*)(const uint8_t*, int32_t*, int, int64_t, int64_t, int, int, int, int, int,
                          mix_state&);

steady_fn pick_steady(int channels, int bits) {
  if (channels == 1) return bits == 16 ? render_steady<1, 16> : render_steady<1, 8>;
  return bits == 16 ? render_steady<2, 16> : render_steady<2, 8>;
}

ramped_fn pick_ramped(int channels, int bits) {
  if (channels == 1) return bits == 16 ? render_ramped<1, 16> : render_ramped<1, 8>;
  return bits == 16 ? render_ramped<2, 16> : render_ramped<2, 8>;
}

// 16.16 sample frames per output frame; a negative rate cannot play backwards over an
// unsigned position, so it holds the voice still like rate 0.
int64_t frame_step(int rate, int hertz) {
  if (rate <= 0) return 0;
  return static_cast<int64_t>(rate) * hertz / MIX_RATE;
}

}  // namespace

// ---- voices ----

// Only the game thread changes the paused bit, so it cannot change under these.
void sound::set_rate(int value) {
  if (status.load(acq) & VOICE_PAUSED) rate.set(value);
  else rate.set_target(value);
}

void sound::set_volume(int value) {
  if (status.load(acq) & VOICE_PAUSED) volume.set(value);
  else volume.set_target(value);
}

void sound::set_pan(int pan) {
  pan_tgt.store(pan, rel);
  if (status.load(acq) & VOICE_PAUSED) pan_cur.store(pan, rel);
}

void sound::set_depth(int depth) {
  depth_tgt.store(depth, rel);
  if (status.load(acq) & VOICE_PAUSED) depth_cur.store(depth, rel);
}

int sound::get_rate(int target) { return target ? rate.target() : rate.current(); }
int sound::get_volume(int target) { return target ? volume.target() : volume.current(); }
int sound::get_pan(int target) { return (target ? pan_tgt : pan_cur).load(acq); }
int sound::get_depth(int target) { return (target ? depth_tgt : depth_cur).load(acq); }

int sound::position() {
  if (channels <= 0) return 0;
  return static_cast<int>((total.load(acq) >> 32) / static_cast<uint64_t>(channels));
}

int sound::mix(int32_t* acc, int frames) {
  const int s = status.load(acq);
  if (s & VOICE_STOPPED) return 1;
  if (s & VOICE_PAUSED) return -2;
  if (s == VOICE_FREE) return -1;

  if (start_delay >= frames) {
    start_delay -= frames;
    return 0;
  }
  const int skip = start_delay;
  start_delay = 0;
  const int n = frames - skip;
  acc += 2 * skip;

  const engine_sound* d = snd;
  const uint64_t end = static_cast<uint64_t>(d->channels) * static_cast<uint64_t>(d->length) << 32;
  if (end == 0) return 1;  // nothing to play

  int rc, rt, vc, vt;
  rate.read(&rc, &rt);
  volume.read(&vc, &vt);
  const int pan = pan_tgt.load(acq), depth = depth_tgt.load(acq);
  const int64_t fc = frame_step(rc, d->hertz), ft = frame_step(rt, d->hertz);

  mix_state m{pos, total.load(acq), end, (s & VOICE_LOOPING) != 0};
  int lf, rf;
  pan_factors(pan, &lf, &rf);
  int result;

  if (fc == ft && vc == vt) {
    const uint64_t step = static_cast<uint64_t>(fc * d->channels) << 16;
    if (step == 0) return 0;  // rate 0: holds its place, plays nothing
    if (vt == 0) {
      // Silent voices only move on.
      const uint64_t left = m.end - m.pos;
      const uint64_t adv = step * static_cast<uint64_t>(n);
      if (adv >= left && !m.loop) {
        m.total += (left + step - 1) / step * step;
        result = 1;
      } else {
        m.pos = (m.pos + adv) % m.end;
        m.total += adv;
        result = 0;
      }
    } else {
      int gl, gr;
      gains(vt, lf, rf, depth, &gl, &gr);
      result = pick_steady(d->channels, d->bits)(d->data, acc, n, step, gl, gr, m);
    }
  } else {
    rate.reach(rc, rt);
    volume.reach(vc, vt);
    const int64_t sc = fc * d->channels << 16, st = ft * d->channels << 16;
    const int64_t dstep = (st - sc) / frames;
    const int dvol = (vt - vc) * 256 / frames;
    result = pick_ramped(d->channels, d->bits)(d->data, acc, n, sc, dstep, vc * 256, dvol, lf, rf,
                                               depth, m);
  }
  pos = m.pos;
  total.store(m.total, rel);
  return result;
}

// ---- rings ----

bool voice_ring::push(sound* voice) {
  const int w = _write.load(acq);
  const int next = (w + 1) & (MIX_QUEUE_SIZE - 1);
  if (next == _read.load(acq)) return false;
  _slots[w] = voice;
  _write.store(next, rel);
  return true;
}

sound* voice_ring::pop() {
  const int r = _read.load(acq);
  if (r == _write.load(acq)) return nullptr;
  sound* voice = _slots[r];
  _read.store((r + 1) & (MIX_QUEUE_SIZE - 1), rel);
  return voice;
}

// ---- mixer ----

mixer::mixer(int fragment_samples) : _acc(fragment_samples, 0), _fragment(fragment_samples) {}

void mixer::set_output(int rate) { _rate = rate; }

bool mixer::queue_play(sound* voice) {
  voice->owner = this;
  return _play.push(voice);
}

sound* mixer::take_recycled() { return _recycle.pop(); }

bool mixer::recycle(sound* voice) {
  // The voice belongs to the game thread from the push on, so it is emptied first.
  engine_sound* s = voice->snd;
  voice->snd = nullptr;
  if (!_recycle.push(voice)) {
    voice->snd = s;
    return false;
  }
  engine_free_sound(s);
  return true;
}

void mixer::mix_voices() {
  const int now = millisecs();
  while (sound* v = _play.pop()) {
    v->next = _active;
    _active = v;
    // A clock that went backwards must not hold a voice back for longer than the delay.
    const int wait =
        std::clamp(MIX_START_DELAY_MS - clock_diff(now, v->start_time), 0, MIX_START_DELAY_MS);
    v->start_delay = static_cast<int>(static_cast<int64_t>(wait) * _rate / 1000);
  }

  const int frames = _fragment / 2;
  sound** link = &_active;
  while (sound* v = *link) {
    const int r = v->mix(_acc.data(), frames);
    bool drop = r == -1;
    if (r == 1) {
      if (v->auto_free.load(acq)) {
        v->status.store(VOICE_FREE, rel);
        drop = true;
      } else {
        v->status.store(VOICE_STOPPED, rel);
      }
    }
    sound* next = v->next;
    // A full recycle ring keeps the voice (status 0) for the next fragment.
    if (drop && recycle(v)) {
      *link = next;
    } else {
      link = &v->next;
    }
  }
}

void mixer::mix(int16_t* out) {
  mix_voices();
  for (int i = 0; i < _fragment; ++i) {
    out[i] = static_cast<int16_t>(std::clamp(_acc[i] >> 4, -32768, 32767));
    _acc[i] = 0;
  }
}

void mixer::recycle_all() {
  while (sound* v = _play.pop()) {
    v->next = _active;
    _active = v;
  }
  while (sound* v = _active) {
    _active = v->next;
    v->next = nullptr;
    v->status.store(VOICE_FREE, rel);
    engine_free_sound(v->snd);
    v->snd = nullptr;
    v->queued = false;
  }
}

// ---- the device without output ----

int manualdevice::open() {
  _mixer = std::make_unique<mixer>(MIX_FRAGMENT);
  _mixer->set_output(MIX_RATE);
  return 0;
}

void manualdevice::close() {
  if (_mixer) _mixer->recycle_all();
}

}  // namespace softmix

// ---- the engine ----

using softmix::sound;

namespace {

struct engine_state {
  std::unique_ptr<softmix::audiodevice> device;
  softmix::mixer* mix = nullptr;
  std::array<sound*, ENGINE_SLOTS> voice{};
  std::array<int, ENGINE_SLOTS> link{};
  std::array<bool, ENGINE_SLOTS> used{};
  std::vector<std::unique_ptr<sound>> voices;  // every voice made, freed at close
  std::vector<sound*> spare;                   // idle voices the mixer never saw
};

engine_state* g_engine = nullptr;

// Kept across engine restarts, so a handle from an earlier run never comes alive again.
int g_serial[ENGINE_SLOTS];
bool g_serials_set = false;

int slot_of(int handle) { return handle & (ENGINE_SLOTS - 1); }

bool live(int handle) {
  if (!g_engine || handle <= 0) return false;
  const int i = slot_of(handle);
  return i != 0 && g_engine->used[i] && (handle & ~(ENGINE_SLOTS - 1)) == g_serial[i];
}

void reset_voice(sound* v) {
  v->status.store(VOICE_FREE, std::memory_order_release);
  v->handle = 0;
  v->auto_free.store(0, std::memory_order_release);
  v->snd = nullptr;
  v->channels = 0;
  v->pos = 0;
  v->total.store(0, std::memory_order_release);
  v->rate.set(65536);
  v->volume.set(4096);
  v->pan_cur.store(0, std::memory_order_release);
  v->pan_tgt.store(0, std::memory_order_release);
  v->depth_cur.store(0, std::memory_order_release);
  v->depth_tgt.store(0, std::memory_order_release);
  v->start_time = 0;
  v->start_delay = 0;
  v->next = nullptr;
  v->queued = false;
}

// Puts a slot back on the free list; its voice, if any, is the caller's business.
void release_slot(int index) {
  g_engine->voice[index] = nullptr;
  g_engine->used[index] = false;
  g_engine->link[index] = g_engine->link[0];
  g_engine->link[0] = index;
}

// Detaches a voice from the handle it served. One the mixer holds plays on and is
// recycled at its end; an idle one goes back to the spares.
void let_go(sound* v) {
  v->handle = 0;
  if (v->queued) {
    v->auto_free.store(1, std::memory_order_release);
  } else {
    g_engine->spare.push_back(v);
  }
}

// A voice ready for use: recycled by the mixer, a spare, or a new one.
sound* take_voice() {
  sound* v = g_engine->mix->take_recycled();
  if (v) {
    const int h = v->handle;
    v->handle = 0;
    if (live(h) && g_engine->voice[slot_of(h)] == v) release_slot(slot_of(h));
  } else if (!g_engine->spare.empty()) {
    v = g_engine->spare.back();
    g_engine->spare.pop_back();
  } else {
    g_engine->voices.push_back(std::make_unique<sound>());
    v = g_engine->voices.back().get();
  }
  reset_voice(v);
  return v;
}

// The voice on a live handle, attaching an idle one when the slot has none, so that
// settings made before anything plays are kept. nullptr for a dead handle.
sound* voice_for(int handle) {
  if (!live(handle)) return nullptr;
  sound*& slot = g_engine->voice[slot_of(handle)];
  if (!slot) {
    sound* v = take_voice();
    v->handle = handle;
    slot = v;
  }
  return slot;
}

// Marks a playing voice stopped; free voices stay free.
void mark_stopped(sound* v) {
  int s = v->status.load(std::memory_order_acquire);
  while (s != VOICE_FREE &&
         !v->status.compare_exchange_weak(s, VOICE_STOPPED, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
  }
}

}  // namespace

int engine_init(int device_kind) {
  if (device_kind != 0) return -1;  // no fallback output on this platform
  return engine_init_device(std::make_unique<softmix::sdldevice>());
}

int engine_init_device(std::unique_ptr<softmix::audiodevice> device) {
  if (g_engine) engine_close();
  if (!device) return -1;
  if (device->open() != 0) {
    device->close();
    return -1;
  }
  if (!g_serials_set) {
    std::fill(std::begin(g_serial), std::end(g_serial), ENGINE_SLOTS);
    g_serials_set = true;
  }
  auto* e = new engine_state;
  e->mix = device->get_mixer();
  e->device = std::move(device);
  for (int i = 0; i < ENGINE_SLOTS - 1; ++i) e->link[i] = i + 1;
  e->link[ENGINE_SLOTS - 1] = 0;
  g_engine = e;
  return 0;
}

void engine_close() {
  engine_state* e = g_engine;
  if (!e) return;
  g_engine = nullptr;
  e->device->close();  // the mixing thread is gone after this
  for (auto& v : e->voices) {
    if (v->snd) engine_free_sound(v->snd);
    v->snd = nullptr;
  }
  delete e;
}

int engine_running() { return g_engine != nullptr; }

engine_sound* engine_create_sound(int length, int bits, int channels, int hertz, const void* data,
                                  int loop) {
  if (!g_engine) return nullptr;
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
  if (sound && sound->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete sound;
}

int engine_alloc_channel() {
  if (!g_engine) return 0;
  auto& e = *g_engine;
  const int index = e.link[0];
  if (index == 0) return 0;
  e.link[0] = e.link[index];
  e.link[index] = 0;
  e.used[index] = true;
  e.voice[index] = nullptr;
  int serial = (g_serial[index] + ENGINE_SLOTS) & 0x7FFFF000;
  if (serial == 0) serial = ENGINE_SLOTS;
  g_serial[index] = serial;
  return index | serial;
}

void engine_free_channel(int handle) {
  if (!live(handle)) return;
  const int i = slot_of(handle);
  sound* v = g_engine->voice[i];
  release_slot(i);
  if (v) let_go(v);
}

int engine_play(engine_sound* snd, int paused, int handle) {
  if (!g_engine || !snd) return handle;
  auto& e = *g_engine;

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
  v->pan_cur.store(pan, std::memory_order_release);
  v->pan_tgt.store(pan, std::memory_order_release);
  v->depth_cur.store(depth, std::memory_order_release);
  v->depth_tgt.store(depth, std::memory_order_release);
  snd->refs.fetch_add(1, std::memory_order_acq_rel);
  v->snd = snd;
  v->channels = snd->channels;
  v->status.store((snd->loop ? VOICE_LOOPING : VOICE_ONESHOT) + (paused ? VOICE_PAUSED : 0),
                  std::memory_order_release);
  v->auto_free.store(given ? 0 : 1, std::memory_order_release);
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
  if (sound* v = g_engine->voice[slot_of(handle)]) {
    v->auto_free.store(1, std::memory_order_release);
    mark_stopped(v);
  }
  engine_free_channel(handle);
}

void engine_set_paused(int handle, int paused) {
  sound* v = voice_for(handle);
  if (!v) return;
  // Only a playing voice pauses; a stopped or free one stays as it is.
  int s = v->status.load(std::memory_order_acquire);
  for (;;) {
    if (!(s & (VOICE_ONESHOT | VOICE_LOOPING | VOICE_STREAMING))) return;
    const int want = paused ? (s | VOICE_PAUSED) : (s & ~VOICE_PAUSED);
    if (want == s || v->status.compare_exchange_weak(s, want, std::memory_order_acq_rel,
                                                     std::memory_order_acquire))
      return;
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
  return v ? v->status.load(std::memory_order_acquire) : 0;
}

int engine_position(int handle) {
  sound* v = voice_for(handle);
  return v ? v->position() : 0;
}

softmix::mixer* engine_mixer() { return g_engine ? g_engine->mix : nullptr; }
softmix::sound* engine_voice(int handle) { return voice_for(handle); }
