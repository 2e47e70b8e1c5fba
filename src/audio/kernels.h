// The mixing arithmetic, all integer and free of state: pan and volume gains, the
// frame step, the loops that add one voice of each data format into the accumulator,
// and the accumulator turned into 16-bit output. The mixer decides what to call.
#pragma once

#include <algorithm>
#include <cstdint>

constexpr int MIX_RATE = 44100;  // output frames per second

namespace softmix {

// A voice's place in its sound while it renders: 32.32 fixed point, in samples
// (frames x channels).
struct mix_state {
  uint64_t pos;
  uint64_t total;
  uint64_t end;  // channels x length
  bool loop;
};

// Gain multipliers for a pan, 4096 = unity. Pans beyond the ends act as the ends.
inline void pan_factors(int pan, int* left, int* right) {
  pan = std::clamp(pan, -4096, 4096);
  *left = pan <= 0 ? 4096 : 4096 - pan;
  *right = pan >= 0 ? 4096 : 4096 + pan;
}

// A negative depth inverts the right side.
inline void gains(int volume, int left_factor, int right_factor, int depth, int* gl, int* gr) {
  *gl = volume * left_factor >> 12;
  *gr = volume * right_factor >> 12;
  if (depth < 0) *gr = -*gr;
}

// 16.16 sample frames per output frame; a negative rate cannot play backwards over an
// unsigned position, so it holds the voice still like rate 0.
inline int64_t frame_step(int rate, int hertz) {
  if (rate <= 0) return 0;
  return static_cast<int64_t>(rate) * hertz / MIX_RATE;
}

// Adds frames of a voice into acc (interleaved stereo), reading data from m.pos on.
// Both return 1 when a one-shot reached its end, else 0.
// Steady: one step (32.32 samples) and fixed gains.
using steady_fn = int (*)(const uint8_t* data, int32_t* acc, int frames, uint64_t step, int gl,
                          int gr, mix_state& m);
// Ramped: the step and volume x 256 move by dstep and dvolume per frame; the gains
// follow the volume.
using ramped_fn = int (*)(const uint8_t* data, int32_t* acc, int frames, int64_t step,
                          int64_t dstep, int volume, int dvolume, int left_factor, int right_factor,
                          int depth, mix_state& m);

// The loop for mono or stereo data of 8 (unsigned) or 16 (signed) bits.
steady_fn pick_steady(int channels, int bits);
ramped_fn pick_ramped(int channels, int bits);

// A silent voice only moves on, by frames steps. 1 when a one-shot reached its end.
int advance(uint64_t step, int frames, mix_state& m);

// 4 bits of headroom off, saturated to 16 bits; acc is cleared as it is read.
void to_output(int32_t* acc, int16_t* out, int samples);

}  // namespace softmix
