// Drivers, sounds and channels over the mixing engine.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

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

// The channel layer on an engine without output, so the test can look at the voices.
struct Channels : ::testing::Test {
  manual_engine engine;
  TSoftMixAudioDriver driver;  // registered for this test only

  softmix::sound* voice(const std::shared_ptr<TChannel>& c) {
    return engine_voice(std::static_pointer_cast<TSoftMixChannel>(c)->sm_channel);
  }
};

TEST_F(Channels, SettingsAreScaledAndTruncated) {
  auto c = driver.AllocChannel();
  ASSERT_NE(c, nullptr);
  set_channel_volume(c, 1.0f);
  set_channel_pan(c, -1.0f);
  set_channel_depth(c, -0.5f);
  set_channel_rate(c, 1.0f);
  EXPECT_EQ(voice(c)->get_volume(1), 4096);
  EXPECT_EQ(voice(c)->get_pan(1), -4096);
  EXPECT_EQ(voice(c)->get_depth(1), -2048);
  EXPECT_EQ(voice(c)->get_rate(1), 65536);

  set_channel_volume(c, 0.99999f);
  EXPECT_EQ(voice(c)->get_volume(1), 4095);
  set_channel_pan(c, -0.00001f);
  EXPECT_EQ(voice(c)->get_pan(1), 0);  // towards zero
  // Out of range stops at the ends instead of wrapping round.
  set_channel_volume(c, 8.0f);
  EXPECT_EQ(voice(c)->get_volume(1), 32767);
  set_channel_rate(c, 1e9f);
  EXPECT_EQ(voice(c)->get_rate(1), std::numeric_limits<int>::max());
  set_channel_volume(c, std::nanf(""));
  EXPECT_EQ(voice(c)->get_volume(1), 0);
}

TEST_F(Channels, CuePlayStopAndTheChannelsTheyReturn) {
  auto sound = driver.CreateSound(constant_sample(44100, 2000), SOUND_LOOP);
  ASSERT_NE(sound, nullptr);

  auto cued = cue_sound(sound);
  ASSERT_NE(cued, nullptr);
  EXPECT_EQ(channel_playing(cued), 0);  // paused until resumed
  set_channel_volume(cued, 0.5f);
  resume_channel(cued);
  EXPECT_EQ(channel_playing(cued), 1);
  fake_ms += MIX_START_DELAY_MS;
  EXPECT_EQ(engine.fragment()[0], 1000);
  pause_channel(cued);
  EXPECT_EQ(channel_playing(cued), 0);

  // Playing on a channel the caller holds returns that very object.
  auto own = driver.AllocChannel();
  EXPECT_EQ(play_sound(sound, own), own);
  EXPECT_EQ(channel_playing(own), 1);
  // A channel of another driver is refused.
  EXPECT_EQ(play_sound(sound, std::make_shared<TChannel>()), nullptr);

  stop_channel(own);
  EXPECT_EQ(std::static_pointer_cast<TSoftMixChannel>(own)->sm_channel, 0);
  EXPECT_EQ(channel_playing(own), 0);
  stop_channel(own);  // again: nothing left to stop
  // A stopped channel object plays again on a fresh handle.
  auto again = play_sound(sound, own);
  ASSERT_NE(again, nullptr);
  EXPECT_NE(again, own);
  EXPECT_EQ(channel_playing(again), 1);
}

TEST_F(Channels, DroppedChannelFreesItsHandleWhileTheVoicePlaysOn) {
  auto sound = driver.CreateSound(constant_sample(2000, 3000), 0);
  int handle;
  {
    auto c = play_sound(sound);
    handle = std::static_pointer_cast<TSoftMixChannel>(c)->sm_channel;
  }
  EXPECT_EQ(engine_status(handle), 0);  // the handle is gone ...
  fake_ms += MIX_START_DELAY_MS;
  EXPECT_EQ(engine.fragment()[0], 3000);  // ... the sound is not
}

TEST_F(Channels, BigEndianMonoPlaysLikeItsLittleEndianConversion) {
  auto le = TAudioSample::Create(4, 22050, SF_MONO16LE);
  const int16_t values[] = {100, -200, 30000, -32768};
  std::memcpy(le->samples, values, sizeof values);
  auto be = le->Convert(SF_MONO16BE);
  auto from_le = std::static_pointer_cast<TSoftMixSound>(driver.CreateSound(le, 0));
  auto from_be = std::static_pointer_cast<TSoftMixSound>(driver.CreateSound(be, 0));
  ASSERT_NE(from_be, nullptr);
  EXPECT_EQ(from_be->sm_sound->bits, 16);
  EXPECT_EQ(from_be->sm_sound->channels, 1);
  EXPECT_EQ(std::memcmp(from_be->sm_sound->data, from_le->sm_sound->data, 10), 0);

  auto stereo8 = TAudioSample::Create(3, 8000, SF_STEREO8);
  auto s8 = std::static_pointer_cast<TSoftMixSound>(driver.CreateSound(stereo8, SOUND_LOOP));
  EXPECT_EQ(s8->sm_sound->bits, 8);
  EXPECT_EQ(s8->sm_sound->channels, 2);
  EXPECT_EQ(s8->sm_sound->loop, 1);
}

}  // namespace
