// Sound effects and the engine loop, synthesised from oscillators, noise and
// filters and written as Ogg Vorbis with a fixed stream serial, so every run
// writes the same bytes.
#include "sound.h"

#include "canvas.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace ag {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRate = 44100;

using Wave = std::vector<double>;

Wave silence(double seconds) { return Wave(static_cast<size_t>(seconds * kRate), 0.0); }

void mix_in(Wave& dst, const Wave& src, double at, double gain = 1.0) {
  size_t off = static_cast<size_t>(at * kRate);
  if (dst.size() < off + src.size()) dst.resize(off + src.size(), 0.0);
  for (size_t i = 0; i < src.size(); ++i) dst[off + i] += src[i] * gain;
}

// Chamberlin state-variable filter; cutoff may change per sample.
struct Svf {
  double low = 0, band = 0;
  double q = 0.7;
  double run(double x, double cutoff, double* band_out = nullptr) {
    double f = 2 * std::sin(kPi * std::min(cutoff, kRate / 6.0) / kRate);
    low += f * band;
    double high = x - low - band / q;
    band += f * high;
    if (band_out) *band_out = band;
    return low;
  }
};

double env_ad(double t, double attack, double decay) {
  if (t < attack) return t / attack;
  return std::exp(-(t - attack) / decay);
}

// Rich brass-like tone: a few harmonics, a soft attack and a little vibrato.
Wave brass(double freq, double seconds, double vib = 0.0) {
  Wave w = silence(seconds);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double f = freq * (1 + vib * std::sin(2 * kPi * 5.5 * t) * std::min(1.0, t * 4));
    phase += f / kRate;
    double p = 2 * kPi * phase;
    double v = std::sin(p) + 0.55 * std::sin(2 * p) + 0.35 * std::sin(3 * p) +
               0.2 * std::sin(4 * p) + 0.1 * std::sin(5 * p);
    double a = std::min(1.0, t / 0.02) * std::min(1.0, (seconds - t) / 0.06);
    w[i] = v * 0.4 * a * (0.85 + 0.15 * std::exp(-t / 0.08));
  }
  return w;
}

// Filtered noise burst with a falling cutoff: the body of every bang.
Wave boom(double seconds, double cutoff0, double cutoff1, double decay, uint64_t seed) {
  Wave w = silence(seconds);
  Rng rng(seed);
  Svf f;
  f.q = 0.6;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double cut = cutoff1 + (cutoff0 - cutoff1) * std::exp(-t / (decay * 0.6));
    double n = rng.real(-1, 1);
    w[i] = f.run(n, cut) * env_ad(t, 0.004, decay);
  }
  return w;
}

// Burning debris: scattered little pops of muffled noise.
Wave crackle(double seconds, double rate, double decay, uint64_t seed) {
  Wave w = silence(seconds);
  Rng rng(seed);
  std::vector<double> pops(w.size(), 0.0);
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    if (rng.real() < rate / kRate) pops[i] = rng.real(0.3, 1.0) * std::exp(-t / decay);
  }
  Svf lp;
  lp.q = 0.9;
  double level = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    level = std::max(level * 0.994, pops[i]);  // each pop dies away in a few ms
    w[i] = lp.run(rng.real(-1, 1) * level, 1800) * 2.0;
  }
  return w;
}

Wave sweep_tone(double seconds, double f0, double f1, double decay, double buzz) {
  Wave w = silence(seconds);
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double f = f1 + (f0 - f1) * std::exp(-t * 3.0 / seconds);
    phase += f / kRate;
    double s = std::sin(2 * kPi * phase);
    double v = s + buzz * (std::fmod(phase, 1.0) * 2 - 1);
    w[i] = v * env_ad(t, 0.003, decay);
  }
  return w;
}

// Short, sharp shot: a click, a band of noise and a small thump.
Wave make_fire() {
  Wave w = silence(0.2);
  Rng rng(7001);
  Svf hp, top;
  hp.q = 1.2;
  top.q = 0.7;
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double band = 0;
    hp.run(rng.real(-1, 1), 2600, &band);
    double f = 60 + 140 * std::exp(-t / 0.02);
    phase += f / kRate;
    double crack = top.run(band, 7000);
    w[i] = crack * 1.6 * env_ad(t, 0.001, 0.025) +
           std::sin(2 * kPi * phase) * 0.8 * env_ad(t, 0.002, 0.035);
  }
  return w;
}

Wave make_balloonpop() {
  Wave w = silence(0.5);
  Rng rng(7101);
  Svf bp, air;
  bp.q = 2.0;
  air.q = 0.5;
  double phase = 0;
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double band = 0;
    double n = rng.real(-1, 1);
    bp.run(n, 3200, &band);
    double f = 280 + 700 * std::exp(-t / 0.025);
    phase += f / kRate;
    double hiss = air.run(n, 5000);
    w[i] = band * 1.6 * env_ad(t, 0.0005, 0.012) +
           std::sin(2 * kPi * phase) * 0.5 * env_ad(t, 0.001, 0.04) +
           hiss * 0.25 * env_ad(t, 0.01, 0.14);
  }
  return w;
}

Wave make_explode(uint64_t seed) {
  Wave w = boom(1.1, 3200, 120, 0.32, seed);
  for (double& v : w) v *= 1.8;
  Wave thump = sweep_tone(0.5, 90, 40, 0.18, 0.0);
  mix_in(w, thump, 0, 0.9);
  mix_in(w, crackle(1.0, 90, 0.3, seed + 1), 0.02, 0.25);
  return w;
}

Wave make_blimphit() {
  Wave w = make_explode(7301);
  // The envelope tears and groans as it deflates.
  Wave groan = silence(1.3);
  double phase = 0;
  Svf lp;
  for (size_t i = 0; i < groan.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double f = 200 * std::exp(-t * 0.9) + 55 + 6 * std::sin(2 * kPi * 7 * t);
    phase += f / kRate;
    double saw = std::fmod(phase, 1.0) * 2 - 1;
    groan[i] = lp.run(saw, 900) * env_ad(t, 0.05, 0.5);
  }
  mix_in(w, groan, 0.05, 0.7);
  mix_in(w, crackle(1.2, 60, 0.5, 7302), 0.1, 0.3);
  return w;
}

// Rising bugle call: the stage begins.
Wave make_startstage() {
  const double C5 = 523.25, E5 = 659.25, G5 = 783.99, C6 = 1046.5;
  Wave w;
  mix_in(w, brass(C5 / 2, 0.14), 0.00);
  mix_in(w, brass(E5 / 2, 0.14), 0.16);
  mix_in(w, brass(G5 / 2, 0.14), 0.32);
  mix_in(w, brass(C6 / 2, 0.75, 0.008), 0.48);
  mix_in(w, brass(E5 / 2, 0.75, 0.008), 0.48, 0.5);
  return w;
}

// A cheerful little cadence for a cleared stage.
Wave make_endstage() {
  const double G4 = 392.0, C5 = 523.25, E5 = 659.25, G5 = 783.99, A5 = 880.0, B5 = 987.77,
               C6 = 1046.5;
  Wave w;
  const double notes[][3] = {{E5, 0.0, 0.13},  {G5, 0.15, 0.13}, {C6, 0.30, 0.28},
                             {A5, 0.62, 0.13}, {B5, 0.77, 0.13}, {C6, 0.92, 0.9}};
  for (const auto& n : notes) mix_in(w, brass(n[0] / 2, n[2], n[2] > 0.5 ? 0.01 : 0), n[1]);
  mix_in(w, brass(G4 / 2, 0.9, 0.01), 0.92, 0.5);
  mix_in(w, brass(C5 / 2, 0.9, 0.01), 0.92, 0.45);
  return w;
}

// The player's plane: a sputtering dive whine, then the crash.
Wave make_pldeath() {
  Wave w = silence(1.4);
  double phase = 0;
  Svf lp;
  Rng rng(7501);
  for (size_t i = 0; i < w.size(); ++i) {
    double t = static_cast<double>(i) / kRate;
    double f = 140 + 760 * std::exp(-t / 0.55);
    phase += f / kRate;
    double saw = std::fmod(phase, 1.0) * 2 - 1;
    double sputter =
        0.62 + 0.38 * std::tanh(4 * (std::sin(2 * kPi * 11 * t) + 0.3));  // a missing engine
    w[i] = lp.run(saw + rng.real(-0.3, 0.3), 1800) * sputter * std::min(1.0, t / 0.05) * 0.8;
  }
  mix_in(w, make_explode(7502), 1.25, 1.1);
  return w;
}

// One second and a fifth of a rotary engine: cylinder firings at 25 Hz, the
// propeller's 50 Hz beat and a low rumble. Every component repeats a whole
// number of times per loop, and the filters run through two laps before the
// lap that is kept, so the end leads straight back into the start.
Wave make_bploop() {
  const int L = kRate * 6 / 5;  // 52920 samples
  const int firings = 30, P = L / firings;
  std::vector<double> noise(L);
  Rng rng(7601);
  for (double& v : noise) v = rng.real(-1, 1);
  Svf body, rumble, tone;
  body.q = 1.5;
  rumble.q = 0.7;
  tone.q = 0.7;
  Wave out(L);
  for (int lap = 0; lap < 3; ++lap)
    for (int i = 0; i < L; ++i) {
      double t = static_cast<double>(i) / L;  // 0..1 over the loop
      int k = i % P;
      int cyl = (i / P) % 5;
      double accent = 0.75 + 0.25 * ((cyl * 3) % 5) / 4.0;
      double attack = std::min(1.0, k / 60.0);  // about 1.4 ms, no click at each firing
      double pulse = attack * std::exp(-k / (P * 0.12)) * accent;
      double band = 0;
      body.run(noise[i] * pulse, 700, &band);
      double bang = band * 2.2 + std::sin(2 * kPi * k / P) * pulse * 0.6;
      double prop = std::sin(2 * kPi * 60 * t) * 0.35 + std::sin(2 * kPi * 120 * t) * 0.12;
      double low = rumble.run(noise[(i * 7) % L], 160) * 1.2;
      double wobble = 0.9 + 0.1 * std::sin(2 * kPi * 3 * t);
      double v = tone.run((bang + prop + low) * wobble, 2600);
      if (lap == 2) out[i] = v;
    }
  return out;
}

void normalise(Wave& w, double peak) {
  double m = 0;
  for (double v : w) m = std::max(m, std::fabs(v));
  if (m > 0)
    for (double& v : w) v *= peak / m;
}

// Short fades keep the edges of one-shot effects free of clicks.
void fade_edges(Wave& w) {
  size_t in = 32, out = std::min<size_t>(w.size() / 4, 441);
  for (size_t i = 0; i < in && i < w.size(); ++i) w[i] *= static_cast<double>(i) / in;
  for (size_t i = 0; i < out; ++i) w[w.size() - 1 - i] *= static_cast<double>(i) / out;
}

}  // namespace

void write_ogg(const std::vector<double>& samples, int rate, const std::string& path, int serial) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot write " + path);
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 1, rate, 0.4f) != 0) {
    std::fclose(f);
    throw std::runtime_error("Vorbis encoder refused its settings");
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", "Aerovane");
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, serial);
  ogg_packet hdr, hdr_comm, hdr_code;
  vorbis_analysis_headerout(&vd, &vc, &hdr, &hdr_comm, &hdr_code);
  ogg_stream_packetin(&os, &hdr);
  ogg_stream_packetin(&os, &hdr_comm);
  ogg_stream_packetin(&os, &hdr_code);
  ogg_page og;
  bool ok = true;
  auto put = [&](const ogg_page& page) {
    ok = ok && std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), f) ==
                   static_cast<size_t>(page.header_len);
    ok = ok && std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), f) ==
                   static_cast<size_t>(page.body_len);
  };
  while (ogg_stream_flush(&os, &og) != 0) put(og);

  const size_t chunk = 4096;
  size_t pos = 0;
  bool eos = false;
  while (!eos) {
    size_t n = std::min(chunk, samples.size() - pos);
    if (n == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (size_t i = 0; i < n; ++i) buf[0][i] = static_cast<float>(samples[pos + i]);
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      pos += n;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet op;
      while (vorbis_bitrate_flushpacket(&vd, &op)) {
        ogg_stream_packetin(&os, &op);
        while (ogg_stream_pageout(&os, &og) != 0) {
          put(og);
          if (ogg_page_eos(&og)) eos = true;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

std::vector<SoundFile> make_sounds() {
  std::vector<SoundFile> s = {
      {"fire.ogg", make_fire(), 0.7},         {"balloonpop.ogg", make_balloonpop(), 0.75},
      {"blimphit.ogg", make_blimphit(), 0.8}, {"startstage.ogg", make_startstage(), 0.7},
      {"endstage.ogg", make_endstage(), 0.7}, {"explode.ogg", make_explode(7201), 0.8},
      {"pldeath.ogg", make_pldeath(), 0.8},   {"bploop.ogg", make_bploop(), 0.6},
  };
  for (SoundFile& f : s) {
    if (f.name != "bploop.ogg") fade_edges(f.samples);
    normalise(f.samples, f.peak);
  }
  return s;
}

int sample_rate() { return kRate; }

}  // namespace ag
