// The per-format render loops and the output conversion.
#include "audio/kernels.h"

namespace softmix {

namespace {

// Adds without the undefined behaviour of signed overflow; only hundreds of voices at
// full scale could wrap the accumulator, and then a wrapped value beats a crash.
inline void accumulate(int32_t& acc, int32_t value) {
  acc = static_cast<int32_t>(static_cast<uint32_t>(acc) + static_cast<uint32_t>(value));
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

}  // namespace

steady_fn pick_steady(int channels, int bits) {
  if (channels == 1) return bits == 16 ? render_steady<1, 16> : render_steady<1, 8>;
  return bits == 16 ? render_steady<2, 16> : render_steady<2, 8>;
}

ramped_fn pick_ramped(int channels, int bits) {
  if (channels == 1) return bits == 16 ? render_ramped<1, 16> : render_ramped<1, 8>;
  return bits == 16 ? render_ramped<2, 16> : render_ramped<2, 8>;
}

int advance(uint64_t step, int frames, mix_state& m) {
  const uint64_t left = m.end - m.pos;
  const uint64_t adv = step * static_cast<uint64_t>(frames);
  if (adv >= left && !m.loop) {
    m.total += (left + step - 1) / step * step;
    return 1;
  }
  m.pos = (m.pos + adv) % m.end;
  m.total += adv;
  return 0;
}

void to_output(int32_t* acc, int16_t* out, int samples) {
  for (int i = 0; i < samples; ++i) {
    out[i] = static_cast<int16_t>(std::clamp(acc[i] >> 4, -32768, 32767));
    acc[i] = 0;
  }
}

}  // namespace softmix
