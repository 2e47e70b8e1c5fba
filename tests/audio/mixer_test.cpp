// The mixing engine on fragments, with a clock moved by hand and no device.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio_testing.h"

using namespace audio_testing;

namespace {

struct Mixer : ::testing::Test {
  manual_engine engine;
  std::vector<engine_sound*> sounds;

  ~Mixer() override {
    for (auto* s : sounds) engine_free_sound(s);
  }

  engine_sound* make(const void* data, int frames, int bits, int channels, int hertz,
                     int loop = 0) {
    engine_sound* s = engine_create_sound(frames, bits, channels, hertz, data, loop);
    sounds.push_back(s);
    return s;
  }
  engine_sound* mono(const std::vector<int16_t>& d, int hertz = MIX_RATE, int loop = 0) {
    return make(d.data(), static_cast<int>(d.size()), 16, 1, hertz, loop);
  }
  // Plays with the start delay already served.
  int start(engine_sound* s, int paused = 0, int handle = 0) {
    const int h = engine_play(s, paused, handle);
    fake_ms += MIX_START_DELAY_MS;
    return h;
  }
  static int left(const std::vector<int16_t>& out, int frame) { return out[2 * frame]; }
  static int right(const std::vector<int16_t>& out, int frame) { return out[2 * frame + 1]; }
  static int first_sound(const std::vector<int16_t>& out) {
    for (size_t i = 0; i < out.size(); ++i)
      if (out[i] != 0) return static_cast<int>(i / 2);
    return -1;
  }
};

TEST_F(Mixer, VoiceStartsTwentyMillisecondsAfterItWasQueued) {
  auto* s = mono(constant16(4000, 1000));
  engine_play(s, 0, 0);
  // Mixed at once: 20 ms = 882 frames of silence, across the first fragment.
  auto out = engine.fragments(3);
  EXPECT_EQ(first_sound(out), 882);
  EXPECT_EQ(left(out, 882), 1000);
  EXPECT_EQ(right(out, 882), 1000);

  // A tick 10 ms late still starts the voice 20 ms after it was asked for.
  engine.fragments(20);
  engine_play(s, 0, 0);
  fake_ms += 10;
  EXPECT_EQ(first_sound(engine.fragment()), 441);
}

TEST_F(Mixer, OneShotEndsAndItsAutoFreeVoiceIsRecycled) {
  auto* s = mono(constant16(1000, 500));
  const int h = start(s);
  ASSERT_NE(h, 0);
  softmix::sound* v = engine_voice(h);
  auto out = engine.fragments(3);
  int sounding = 0;
  for (size_t f = 0; f < out.size() / 2; ++f) sounding += out[2 * f] == 500;
  EXPECT_EQ(sounding, 1000);
  EXPECT_EQ(engine_status(h), VOICE_FREE);

  // The next voice reuses the recycled one, which lets go of its old handle.
  const int h2 = start(s);
  EXPECT_EQ(engine_voice(h2), v);
  EXPECT_EQ(engine_voice(h), nullptr);
  EXPECT_EQ(engine_status(h), 0);
}

TEST_F(Mixer, VoiceOnCallersHandleStaysStoppedAndIsRecycledOnceFreed) {
  auto* s = mono(constant16(600, 500));
  const int h = engine_alloc_channel();
  EXPECT_EQ(start(s, 0, h), h);
  engine.fragments(4);
  EXPECT_EQ(engine_status(h), VOICE_STOPPED);
  EXPECT_EQ(engine_position(h), 600);
  engine.fragments(4);
  EXPECT_EQ(engine_status(h), VOICE_STOPPED);

  // Once the caller lets the handle go, the stopped voice goes back for reuse.
  softmix::sound* v = engine_voice(h);
  engine_free_channel(h);
  engine.fragment();
  const int h2 = start(s);
  EXPECT_EQ(engine_voice(h2), v);
}

TEST_F(Mixer, PlayingAgainOnAHandleWhoseVoiceWasRecycledKeepsTheHandle) {
  auto* s = mono(constant16(100, 700));
  const int h = start(s);  // no handle given: the voice is recycled at its end
  engine.fragments(2);
  EXPECT_EQ(engine_status(h), VOICE_FREE);
  EXPECT_EQ(start(s, 0, h), h);
  EXPECT_EQ(engine_status(h), VOICE_ONESHOT);
  EXPECT_EQ(left(engine.fragment(), 10), 700);
}

TEST_F(Mixer, LoopWrapsThroughItsGuardFrameWithoutAStep) {
  // A fractional step lands between the last frame and the guard frame on every pass.
  auto* s = mono(constant16(300, 5000), 30000, 1);
  const int h = start(s);
  auto out = engine.fragments(6);
  for (size_t f = 0; f < out.size() / 2; ++f) ASSERT_EQ(out[2 * f], 5000) << "frame " << f;
  EXPECT_EQ(engine_status(h), VOICE_LOOPING);
  engine_stop(h);
  engine.fragment();

  // A triangle that repeats seamlessly: at half speed every output frame moves by
  // exactly half a step, the one between the last frame and the first included.
  const std::vector<int16_t> tri{0, 1000, 2000, 3000, 2000, 1000};
  const int t = start(mono(tri, 22050, 1));
  out = engine.fragments(2);
  for (size_t f = 1; f < out.size() / 2; ++f)
    ASSERT_EQ(std::abs(out[2 * f] - out[2 * f - 2]), 500) << "frame " << f;
  engine_stop(t);
  engine.fragment();

  // A one-shot's guard holds its last frame, so its tail does not dip either.
  std::vector<int16_t> ramp(64);
  for (int i = 0; i < 64; ++i) ramp[i] = static_cast<int16_t>(100 * i);
  start(mono(ramp, 22050));
  out = engine.fragment();
  EXPECT_EQ(left(out, 125), 6250);  // halfway between frames 62 and 63
  EXPECT_EQ(left(out, 126), 6300);
  EXPECT_EQ(left(out, 127), 6300);  // last frame against its guard copy
  EXPECT_EQ(left(out, 128), 0);
}

TEST_F(Mixer, VolumeRampsOverOneFragmentButAppliesAtOnceWhilePaused) {
  auto* s = mono(constant16(44100, 16000), MIX_RATE, 1);
  const int h = start(s);
  engine.fragment();
  engine_set_volume(h, 0);
  auto out = engine.fragment();
  EXPECT_EQ(left(out, 0), 16000);
  EXPECT_EQ(left(out, 256), 8000);
  EXPECT_EQ(left(out, 511), 31);
  EXPECT_EQ(first_sound(engine.fragment()), -1);

  // Cued, then set: the first sample already has the new volume.
  const int c = start(s, 1);
  engine_set_volume(c, 2048);
  engine_set_pan(c, 0);
  EXPECT_EQ(engine_status(c), VOICE_LOOPING | VOICE_PAUSED);
  EXPECT_EQ(first_sound(engine.fragment()), -1);
  engine_set_paused(c, 0);
  out = engine.fragment();
  EXPECT_EQ(left(out, 0), 8000);
  EXPECT_EQ(left(out, 511), 8000);
}

TEST_F(Mixer, PanAndDepthShapeTheTwoSides) {
  auto* s = mono(constant16(44100, 4000), MIX_RATE, 1);
  const int h = engine_alloc_channel();
  engine_set_pan(h, 4096);
  start(s, 0, h);  // settings made before the play are kept
  auto out = engine.fragment();
  EXPECT_EQ(left(out, 5), 0);
  EXPECT_EQ(right(out, 5), 4000);

  engine_set_pan(h, -2048);
  out = engine.fragment();  // pan is never ramped
  EXPECT_EQ(left(out, 0), 4000);
  EXPECT_EQ(right(out, 0), 2000);

  engine_set_pan(h, 0);
  engine_set_depth(h, -4096);
  out = engine.fragment();
  EXPECT_EQ(left(out, 0), 4000);
  EXPECT_EQ(right(out, 0), -4000);
}

TEST_F(Mixer, RateZeroHoldsTheVoiceSilentAndAlive) {
  auto* s = mono(constant16(100, 3000));
  const int h = engine_alloc_channel();
  engine_set_rate(h, 0);
  start(s, 0, h);
  EXPECT_EQ(first_sound(engine.fragments(50)), -1);
  EXPECT_EQ(engine_status(h), VOICE_ONESHOT);
  EXPECT_EQ(engine_position(h), 0);

  // A negative rate cannot run an unsigned position backwards: it holds still too.
  engine_set_rate(h, -65536);
  engine.fragments(5);
  EXPECT_EQ(engine_status(h), VOICE_ONESHOT);

  engine_set_rate(h, 65536);
  engine.fragments(2);
  EXPECT_EQ(engine_status(h), VOICE_STOPPED);
  EXPECT_EQ(engine_position(h), 100);
}

TEST_F(Mixer, OutputSaturatesAtBothEnds) {
  auto* hi = mono(constant16(44100, 30000), MIX_RATE, 1);
  auto* lo = mono(constant16(44100, -30000), MIX_RATE, 1);
  const int a = start(hi);
  start(hi);
  auto out = engine.fragment();
  EXPECT_EQ(left(out, 0), 32767);
  EXPECT_EQ(right(out, 511), 32767);
  engine_stop(a);
  engine.fragments(2);

  start(lo);
  start(lo);
  start(lo);
  out = engine.fragment();
  EXPECT_EQ(left(out, 100), -32768);
}

TEST_F(Mixer, EightBitAndStereoData) {
  const uint8_t mono8[] = {0, 255, 0, 255, 0, 255, 0, 255};
  start(make(mono8, 8, 8, 1, 22050));
  auto out = engine.fragment();
  EXPECT_EQ(left(out, 0), -32768);
  EXPECT_EQ(left(out, 1), -128);  // halfway from 0 to 255
  EXPECT_EQ(left(out, 2), 32512);
  EXPECT_EQ(right(out, 2), 32512);

  // Stereo at half rate: the fraction comes from the bit above the fractional part.
  const int16_t st16[] = {0, 0, 10000, -10000, 20000, -20000, 20000, -20000};
  start(make(st16, 4, 16, 2, 22050));
  out = engine.fragment();
  EXPECT_EQ(left(out, 1), 5000);
  EXPECT_EQ(right(out, 1), -5000);
  EXPECT_EQ(left(out, 2), 10000);
  EXPECT_EQ(right(out, 3), -15000);

  const uint8_t st8[] = {255, 0, 255, 0};
  start(make(st8, 2, 8, 2, MIX_RATE));
  out = engine.fragment();
  EXPECT_EQ(left(out, 0), 32512);
  EXPECT_EQ(right(out, 0), -32768);
}

TEST_F(Mixer, StaleHandlesDoNothing) {
  auto* s = mono(constant16(44100, 1200), MIX_RATE, 1);
  const int old = engine_alloc_channel();
  engine_free_channel(old);
  const int now = engine_alloc_channel();  // the same slot, a new serial
  ASSERT_NE(now, old);
  ASSERT_EQ(now & (ENGINE_SLOTS - 1), old & (ENGINE_SLOTS - 1));
  start(s, 0, now);

  engine_set_volume(old, 0);
  engine_set_paused(old, 1);
  engine_stop(old);
  engine_free_channel(old);
  EXPECT_EQ(engine_status(old), 0);
  EXPECT_EQ(engine_position(old), 0);
  EXPECT_EQ(left(engine.fragment(), 0), 1200);
  EXPECT_EQ(engine_status(now), VOICE_LOOPING);

  // Playing on a stale handle leaves that slot alone and gives a fresh handle.
  const int other = start(s, 0, old);
  EXPECT_NE(other, old);
  EXPECT_NE(other, now);
  EXPECT_EQ(engine_status(now), VOICE_LOOPING);

  // Freeing twice must not put the slot on the free list twice.
  engine_free_channel(now);
  engine_free_channel(now);
  const int a = engine_alloc_channel(), b = engine_alloc_channel();
  EXPECT_NE(a & (ENGINE_SLOTS - 1), b & (ENGINE_SLOTS - 1));
}

TEST_F(Mixer, HandlesRunOutAtFourThousandNinetyFive) {
  std::vector<int> handles;
  while (const int h = engine_alloc_channel()) handles.push_back(h);
  EXPECT_EQ(handles.size(), 4095u);
  // A play without a handle still sounds, but the caller gets none.
  auto* s = mono(constant16(2000, 900));
  EXPECT_EQ(start(s), 0);
  EXPECT_EQ(left(engine.fragment(), 0), 900);
}

TEST_F(Mixer, SoundsOutliveTheirOwnerWhileVoicesPlayThem) {
  engine_sound* s = engine_create_sound(3000, 16, 1, MIX_RATE, constant16(3000, 1500).data(), 0);
  start(s);
  engine_free_sound(s);  // the voice still holds a reference
  EXPECT_EQ(left(engine.fragment(), 0), 1500);
  engine.fragments(10);

  // A sound without frames ends at once instead of dividing by its length.
  EXPECT_NE(start(mono({}, MIX_RATE, 1)), 0);
  EXPECT_EQ(first_sound(engine.fragments(2)), -1);
}

TEST(SettingPair, TheMixerNeverUndoesWhatTheGameSetMeanwhile) {
  // Mixer reads a due ramp; game pauses the voice and sets it; mixer stores the ramp's end.
  softmix::setting_pair volume(4096);
  volume.set_target(0);
  int cur, tgt;
  volume.read(&cur, &tgt);
  volume.set(2048);
  volume.reach(cur, tgt);
  EXPECT_EQ(volume.current(), 2048);
  EXPECT_EQ(volume.target(), 2048);
  // Only the target moved meanwhile: the next ramp starts where this one ended.
  volume.set_target(1000);
  volume.read(&cur, &tgt);
  volume.set_target(3000);
  volume.reach(cur, tgt);
  EXPECT_EQ(volume.current(), 1000);
  EXPECT_EQ(volume.target(), 3000);
}

}  // namespace
