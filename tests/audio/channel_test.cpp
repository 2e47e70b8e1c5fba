// Drivers, sounds and channels over the mixing engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "audio/audio.h"
#include "audio/sample.h"
#include "audio_testing.h"

using namespace audio_testing;

namespace {

struct Drivers : ::testing::Test {
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    init_audio_module();
  }
  void TearDown() override { shutdown_audio_driver(); }
};

TEST_F(Drivers, RegistryRunsNewestFirstAndMatchesAnyCase) {
  const std::vector<std::string> want{"SoftMix", "SoftMix Multimedia", "Null"};
  EXPECT_EQ(audio_driver_names(), want);
  init_audio_module();  // a second call registers nothing more
  EXPECT_EQ(audio_driver_names(), want);
  EXPECT_TRUE(audio_driver_exists("softmix MULTIMEDIA"));
  EXPECT_FALSE(audio_driver_exists("OpenAL"));

  EXPECT_EQ(set_audio_driver("nothing like it"), 0);
  EXPECT_EQ(audio_driver()->Name(), "Null");
  EXPECT_FALSE(engine_running());

  EXPECT_EQ(set_audio_driver("SOFTMIX multimedia"), 1);
  EXPECT_EQ(audio_driver()->Name(), "SoftMix Multimedia");
  EXPECT_TRUE(engine_running());
  // Switching shuts the engine down first.
  EXPECT_EQ(set_audio_driver("null"), 1);
  EXPECT_FALSE(engine_running());
}

TEST_F(Drivers, FirstUseChoosesSoftMixAndFallsSilentWithoutACard) {
  shutdown_audio_driver();
  EXPECT_EQ(audio_driver()->Name(), "SoftMix");
  shutdown_audio_driver();

  // No card: every call works and nothing plays.
  setenv("SDL_AUDIODRIVER", "no-such-card", 1);
  EXPECT_EQ(audio_driver()->Name(), "Null");
  auto sound = load_sound(constant_sample(100, 1000));
  ASSERT_NE(sound, nullptr);
  auto chan = cue_sound(sound);
  ASSERT_NE(chan, nullptr);
  EXPECT_EQ(set_channel_volume(chan, 0.5f), 0);
  EXPECT_EQ(resume_channel(chan), 0);
  EXPECT_EQ(channel_playing(chan), 0);
  EXPECT_NE(alloc_channel(), nullptr);
  EXPECT_EQ(load_sound(std::string("no/such/file.ogg")), nullptr);
}

// The channel layer on an engine without output, heard through the mixer.
struct Channels : ::testing::Test {
  manual_engine engine;
  TSoftMixAudioDriver driver;  // registered for this test only
  std::shared_ptr<TSound> tone = driver.CreateSound(constant_sample(44100, 16000), SOUND_LOOP);

  struct heard_t {
    int left, right, played;
  };
  // The tone on a channel given these settings while cued: its first frame, and the
  // frames played after n fragments.
  heard_t heard(float volume, float pan, float depth, float rate, int fragments = 1) {
    auto c = cue_sound(tone);
    set_channel_volume(c, volume);
    set_channel_pan(c, pan);
    set_channel_depth(c, depth);
    set_channel_rate(c, rate);
    resume_channel(c);
    fake_ms += MIX_START_DELAY_MS;
    const auto out = engine.fragments(fragments);
    const int played = std::static_pointer_cast<TSoftMixChannel>(c)->Position();
    stop_channel(c);
    return {out[0], out[1], played};
  }
  // The first fragment of a sound started on a new channel.
  std::vector<int16_t> opening(const std::shared_ptr<TSound>& sound) {
    play_sound(sound);
    fake_ms += MIX_START_DELAY_MS;
    return engine.fragment();
  }
};

TEST_F(Channels, SettingsAreScaledAndTruncated) {
  // Volume 1 is unity, pan -1 the left alone (-4095 would leave 3 on the right), rate 1
  // the sound's own speed to the frame (65535 or 65537 would be one off).
  auto h = heard(1.0f, -1.0f, 0.0f, 1.0f, 128);
  EXPECT_EQ(h.left, 16000);
  EXPECT_EQ(h.right, 0);
  EXPECT_EQ(h.played, 65536);
  // Towards zero (4095 of 4096; pan 0, -15993 at -1); of the depth only the sign counts.
  h = heard(0.99999f, -0.00001f, -0.5f, 1.0f);
  EXPECT_EQ(h.left, 15996);
  EXPECT_EQ(h.right, -15997);
  // Out of range stops at the ends instead of wrapping round: volume 8 is 32767 (at pan
  // -0.875 the right side would be 16000 from 32768) and a huge rate stays positive. A
  // depth just below zero is zero.
  h = heard(8.0f, -0.875f, -0.00001f, 1e9f);
  EXPECT_EQ(h.left, 32767);
  EXPECT_EQ(h.right, 15996);
  EXPECT_EQ(h.played, 16777215);
  EXPECT_EQ(heard(std::nanf(""), 0.0f, 0.0f, 1.0f).left, 0);  // NaN is 0
  EXPECT_EQ(heard(1.0f, std::nanf(""), 0.0f, 1.0f).right, 16000);
}

TEST_F(Channels, CuePlayStopAndTheChannelsTheyReturn) {
  auto cued = cue_sound(tone);
  ASSERT_NE(cued, nullptr);
  EXPECT_EQ(channel_playing(cued), 0);  // paused until resumed
  set_channel_volume(cued, 0.5f);
  resume_channel(cued);
  EXPECT_EQ(channel_playing(cued), 1);
  fake_ms += MIX_START_DELAY_MS;
  EXPECT_EQ(engine.fragment()[0], 8000);
  pause_channel(cued);
  EXPECT_EQ(channel_playing(cued), 0);

  // Playing on a channel the caller holds returns that very object.
  auto own = driver.AllocChannel();
  EXPECT_EQ(play_sound(tone, own), own);
  EXPECT_EQ(channel_playing(own), 1);
  // A channel of another driver is refused.
  EXPECT_EQ(play_sound(tone, std::make_shared<TChannel>()), nullptr);

  stop_channel(own);
  EXPECT_EQ(std::static_pointer_cast<TSoftMixChannel>(own)->sm_channel, 0);
  EXPECT_EQ(channel_playing(own), 0);
  stop_channel(own);  // again: nothing left to stop
  // A stopped channel object plays again on a fresh handle.
  auto again = play_sound(tone, own);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, own);
  EXPECT_EQ(channel_playing(again), 1);
}

TEST_F(Channels, DroppedChannelFreesItsHandleWhileTheVoicePlaysOn) {
  const int handle = std::static_pointer_cast<TSoftMixChannel>(play_sound(tone))->sm_channel;
  EXPECT_EQ(engine_status(handle), 0);  // the handle is gone ...
  fake_ms += MIX_START_DELAY_MS;
  EXPECT_EQ(engine.fragment()[0], 16000);  // ... the sound is not
}

TEST_F(Channels, BigEndianMonoPlaysLikeItsLittleEndianConversion) {
  int16_t values[] = {100, -200, 30000, -32768};
  auto le = TAudioSample::CreateStatic(values, 4, 22050, SF_MONO16LE);
  const auto from_le = opening(driver.CreateSound(le, 0));
  EXPECT_EQ(from_le[8], 30000);  // the third frame, at half the output rate
  EXPECT_EQ(opening(driver.CreateSound(le->Convert(SF_MONO16BE), 0)), from_le);

  // Stereo 8-bit and looping: both sides heard, long after its three frames.
  auto stereo8 = TAudioSample::Create(3, 8000, SF_STEREO8);
  for (int i = 0; i < 6; ++i) stereo8->samples[i] = i % 2 ? 0 : 255;
  const auto out = opening(driver.CreateSound(stereo8, SOUND_LOOP));
  EXPECT_EQ(out[1000], 32512);
  EXPECT_EQ(out[1001], -32768);
}

}  // namespace
