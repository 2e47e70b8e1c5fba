// Sounds and channels: the driver-neutral audio interface the game talks to.
//
// A registry of named drivers supplies the implementation; the game ends up on
// "SoftMix", the software mixer over the sound card, or on the silent "Null"
// driver when no output device opens. Every call is made on the game thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

class TAudioSample;
class TChannel;

// A loaded sound. The base class is what the silent driver hands out.
class TSound {
 public:
  virtual ~TSound() = default;

  // Starts the sound on channel (or on a new channel when null).
  virtual std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel);
  // Like Play, but the channel starts paused: set it up, then resume it.
  virtual std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel);

  // Loads through the sample loaders and the current driver; none when unreadable.
  static std::shared_ptr<TSound> Load(const std::string& url, int flags);
  static std::shared_ptr<TSound> Load(const std::shared_ptr<TAudioSample>& sample, int flags);
};

// One voice slot. In the base class every operation does nothing and returns 0.
class TChannel {
 public:
  virtual ~TChannel() = default;

  virtual int Stop();
  virtual int SetPaused(int paused);
  virtual int SetVolume(float volume);  // 0..1
  virtual int SetPan(float pan);        // -1 left .. 1 right
  virtual int SetDepth(float depth);    // -1..1, only the sign matters
  virtual int SetRate(float rate);      // 1 = the sample's own rate
  virtual int Playing();
};

// A named audio driver. The base class is the silent driver "Null".
// Each driver links itself at the head of the registry when constructed.
class TAudioDriver {
 public:
  TAudioDriver();
  virtual ~TAudioDriver();
  TAudioDriver(const TAudioDriver&) = delete;
  TAudioDriver& operator=(const TAudioDriver&) = delete;

  TAudioDriver* _succ = nullptr;  // next (older) driver in the registry

  virtual std::string Name();
  virtual int Startup();
  virtual int Shutdown();
  virtual std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                              int flags);
  virtual std::shared_ptr<TChannel> AllocChannel();
};

// Sound flags: the sound loops. Other bits are ignored by the software mixer.
constexpr int SOUND_LOOP = 1;

// Registers the drivers and the sample loaders; safe to call twice.
void init_audio_module();

std::shared_ptr<TSound> load_sound(const std::string& url, int flags = 0);
std::shared_ptr<TSound> load_sound(const std::shared_ptr<TAudioSample>& sample, int flags = 0);
std::shared_ptr<TChannel> play_sound(const std::shared_ptr<TSound>& sound,
                                     const std::shared_ptr<TChannel>& channel = nullptr);
std::shared_ptr<TChannel> cue_sound(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel = nullptr);
std::shared_ptr<TChannel> alloc_channel();

// The channel operations accept a null channel and then do nothing (result 0).
int stop_channel(const std::shared_ptr<TChannel>& channel);
int pause_channel(const std::shared_ptr<TChannel>& channel);
int resume_channel(const std::shared_ptr<TChannel>& channel);
int set_channel_volume(const std::shared_ptr<TChannel>& channel, float volume);
int set_channel_pan(const std::shared_ptr<TChannel>& channel, float pan);
int set_channel_depth(const std::shared_ptr<TChannel>& channel, float depth);
int set_channel_rate(const std::shared_ptr<TChannel>& channel, float rate);
int channel_playing(const std::shared_ptr<TChannel>& channel);

// The current driver; on first use "SoftMix", or "Null" when that does not start.
TAudioDriver* audio_driver();
// Shuts the current driver down and starts the named one (any letter case); 1 on success.
// On failure the silent driver is current.
int set_audio_driver(const std::string& name);
int audio_driver_exists(const std::string& name);
// Registered driver names, newest first, at most 100.
std::vector<std::string> audio_driver_names();
// Shuts the current driver down and forgets it (done at program exit too).
void shutdown_audio_driver();

// ---- The software-mixer driver ----

// A sound held by the mixing engine.
class TSoftMixSound : public TSound {
 public:
  struct engine_sound* sm_sound = nullptr;  // one engine reference, released on destruction

  ~TSoftMixSound() override;
  std::shared_ptr<TChannel> Play(const std::shared_ptr<TChannel>& channel) override;
  std::shared_ptr<TChannel> Cue(const std::shared_ptr<TChannel>& channel) override;

  // Takes over the caller's reference on sound.
  static std::shared_ptr<TSoftMixSound> CreateWithSound(
      struct engine_sound* sound, const std::shared_ptr<TAudioSample>& sample);

 private:
  std::shared_ptr<TChannel> Start(const std::shared_ptr<TChannel>& channel, int paused);
};

// A channel handle of the mixing engine; the handle is freed on destruction, while
// the voice behind it plays on to its end.
class TSoftMixChannel : public TChannel {
 public:
  int sm_channel = 0;  // engine handle, 0 when none

  ~TSoftMixChannel() override;
  int Stop() override;
  int SetPaused(int paused) override;
  int SetVolume(float volume) override;
  int SetPan(float pan) override;
  int SetDepth(float depth) override;
  int SetRate(float rate) override;
  int Playing() override;
  int Position();  // frames played

  static std::shared_ptr<TSoftMixChannel> CreateWithChannel(int handle);
};

class TSoftMixAudioDriver : public TAudioDriver {
 public:
  std::string _name;
  int _mode = -1;  // 0 the sound card, 1 the fallback output (not built here), -1 either

  std::string Name() override;
  int Startup() override;
  int Shutdown() override;
  std::shared_ptr<TSound> CreateSound(const std::shared_ptr<TAudioSample>& sample,
                                      int flags) override;
  std::shared_ptr<TChannel> AllocChannel() override;

  // Makes and registers a driver that lives for the rest of the program.
  static TSoftMixAudioDriver* Create(const std::string& name, int mode);
};
