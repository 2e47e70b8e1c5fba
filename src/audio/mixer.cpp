// Voices, the rings between the threads, and the mixing of one fragment.
#include "audio/mixer.h"

#include <algorithm>

#include "audio/kernels.h"
#include "platform/clock.h"

namespace softmix {

namespace {
constexpr auto acq = std::memory_order_acquire;
constexpr auto rel = std::memory_order_release;
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
      result = advance(step, n, m);  // silent voices only move on
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
  if (s) s->release();
  return true;
}

void mixer::start_queued() {
  const int now = millisecs();
  while (sound* v = _play.pop()) {
    v->next = _active;
    _active = v;
    // A clock that went backwards must not hold a voice back for longer than the delay.
    const int wait =
        std::clamp(MIX_START_DELAY_MS - clock_diff(now, v->start_time), 0, MIX_START_DELAY_MS);
    v->start_delay = static_cast<int>(static_cast<int64_t>(wait) * _rate / 1000);
  }
}

void mixer::mix(int16_t* out) {
  start_queued();
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
  to_output(_acc.data(), out, _fragment);
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
    if (v->snd) v->snd->release();
    v->snd = nullptr;
    v->queued = false;
  }
}

}  // namespace softmix
