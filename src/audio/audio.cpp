// The driver registry, the game-facing sound and channel operations, and the
// software-mixer driver over the mixing engine.
#include "audio/audio.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "audio/engine.h"
#include "audio/sample.h"

// ---- base classes: the silent driver's sounds and channels ----

std::shared_ptr<TChannel> TSound::Play(const std::shared_ptr<TChannel>&) {
  return std::make_shared<TChannel>();
}

std::shared_ptr<TChannel> TSound::Cue(const std::shared_ptr<TChannel>&) {
  return std::make_shared<TChannel>();
}

std::shared_ptr<TSound> TSound::Load(const std::shared_ptr<TAudioSample>& sample, int flags) {
  if (!sample) return nullptr;
  return audio_driver()->CreateSound(sample, flags);
}

std::shared_ptr<TSound> TSound::Load(const std::string& url, int flags) {
  return Load(load_audio_sample(url), flags);
}

int TChannel::Stop() { return 0; }
int TChannel::SetPaused(int) { return 0; }
int TChannel::SetVolume(float) { return 0; }
int TChannel::SetPan(float) { return 0; }
int TChannel::SetDepth(float) { return 0; }
int TChannel::SetRate(float) { return 0; }
int TChannel::Playing() { return 0; }

// ---- the registry ----

namespace {

TAudioDriver* g_drivers = nullptr;  // newest first
TAudioDriver* g_current = nullptr;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TAudioDriver& silent_driver() {
  static TAudioDriver driver;
  return driver;
}

}  // namespace

TAudioDriver::TAudioDriver() {
  _succ = g_drivers;
  g_drivers = this;
}

TAudioDriver::~TAudioDriver() {
  if (g_current == this) g_current = nullptr;
  for (TAudioDriver** p = &g_drivers; *p; p = &(*p)->_succ) {
    if (*p == this) {
      *p = _succ;
      break;
    }
  }
}

std::string TAudioDriver::Name() { return "Null"; }
int TAudioDriver::Startup() { return 1; }
int TAudioDriver::Shutdown() { return 0; }

std::shared_ptr<TSound> TAudioDriver::CreateSound(const std::shared_ptr<TAudioSample>&, int) {
  return std::make_shared<TSound>();
}

std::shared_ptr<TChannel> TAudioDriver::AllocChannel() { return std::make_shared<TChannel>(); }

void init_audio_module() {
  static bool done = false;
  if (done) return;
  done = true;
  silent_driver();
  // The fallback output of the original platform does not exist here, so only the
  // sound-card driver and the either-device driver, which tries the card first.
  TSoftMixAudioDriver::Create("SoftMix Multimedia", 0);
  TSoftMixAudioDriver::Create("SoftMix", -1);
  init_sample_loaders();
  std::atexit(shutdown_audio_driver);
}

void shutdown_audio_driver() {
  if (g_current) g_current->Shutdown();
  g_current = nullptr;
}

int set_audio_driver(const std::string& name) {
  init_audio_module();
  if (g_current) g_current->Shutdown();
  g_current = &silent_driver();
  const std::string want = lower(name);
  for (TAudioDriver* d = g_drivers; d; d = d->_succ) {
    if (lower(d->Name()) != want) continue;
    if (!d->Startup()) return 0;
    g_current = d;
    return 1;
  }
  return 0;
}

TAudioDriver* audio_driver() {
  if (!g_current) {
    if (!set_audio_driver("SoftMix")) set_audio_driver("Null");
  }
  return g_current;
}

int audio_driver_exists(const std::string& name) {
  init_audio_module();
  const std::string want = lower(name);
  for (TAudioDriver* d = g_drivers; d; d = d->_succ) {
    if (lower(d->Name()) == want) return 1;
  }
  return 0;
}

std::vector<std::string> audio_driver_names() {
  init_audio_module();
  std::vector<std::string> names;
  for (TAudioDriver* d = g_drivers; d && names.size() < 100; d = d->_succ)
    names.push_back(d->Name());
  return names;
}

// ---- the game's operations ----

std::shared_ptr<TSound> load_sound(const std::string& url, int flags) {
  return TSound::Load(url, flags);
}

std::shared_ptr<TSound> load_sound(const std::shared_ptr<TAudioSample>& sample, int flags) {
  return TSound::Load(sample, flags);
}

std::shared_ptr<TChannel> play_sound(const std::shared_ptr<TSound>& sound,
                                     const std::shared_ptr<TChannel>& channel) {
  return sound ? sound->Play(channel) : nullptr;
}

std::shared_ptr<TChannel> cue_sound(const std::shared_ptr<TSound>& sound,
                                    const std::shared_ptr<TChannel>& channel) {
  return sound ? sound->Cue(channel) : nullptr;
}

std::shared_ptr<TChannel> alloc_channel() { return audio_driver()->AllocChannel(); }

int stop_channel(const std::shared_ptr<TChannel>& channel) { return channel ? channel->Stop() : 0; }

int pause_channel(const std::shared_ptr<TChannel>& channel) {
  return channel ? channel->SetPaused(1) : 0;
}

int resume_channel(const std::shared_ptr<TChannel>& channel) {
  return channel ? channel->SetPaused(0) : 0;
}

int set_channel_volume(const std::shared_ptr<TChannel>& channel, float volume) {
  return channel ? channel->SetVolume(volume) : 0;
}

int set_channel_pan(const std::shared_ptr<TChannel>& channel, float pan) {
  return channel ? channel->SetPan(pan) : 0;
}

int set_channel_depth(const std::shared_ptr<TChannel>& channel, float depth) {
  return channel ? channel->SetDepth(depth) : 0;
}

int set_channel_rate(const std::shared_ptr<TChannel>& channel, float rate) {
  return channel ? channel->SetRate(rate) : 0;
}

int channel_playing(const std::shared_ptr<TChannel>& channel) {
  return channel ? channel->Playing() : 0;
}

// ---- the software-mixer driver ----

namespace {

// Scales and truncates towards zero. Out-of-range values stop at the ends of the
// integer instead of wrapping round (volume 8 must not turn into -8), and NaN is 0.
int scaled(float value, double scale, double lo, double hi) {
  const double v = static_cast<double>(value) * scale;
  if (std::isnan(v)) return 0;
  if (v <= lo) return static_cast<int>(lo);
  if (v >= hi) return static_cast<int>(hi);
  return static_cast<int>(v);
}

int to_16(float value) { return scaled(value, 4096.0, -32768.0, 32767.0); }
int to_rate(float value) { return scaled(value, 65536.0, -2147483648.0, 2147483647.0); }

}  // namespace

TSoftMixSound::~TSoftMixSound() { engine_free_sound(sm_sound); }

std::shared_ptr<TSoftMixSound> TSoftMixSound::CreateWithSound(
    engine_sound* sound, const std::shared_ptr<TAudioSample>&) {
  if (!sound) return nullptr;
  auto s = std::make_shared<TSoftMixSound>();
  s->sm_sound = sound;
  return s;
}

std::shared_ptr<TChannel> TSoftMixSound::Start(const std::shared_ptr<TChannel>& channel,
                                               int paused) {
  int handle = 0;
  std::shared_ptr<TSoftMixChannel> mine;
  if (channel) {
    mine = std::dynamic_pointer_cast<TSoftMixChannel>(channel);
    if (!mine) return nullptr;  // a channel of another driver
    handle = mine->sm_channel;
  }
  const int result = engine_play(sm_sound, paused, handle);
  if (result == 0) return nullptr;
  if (mine && result == handle) return mine;
  return TSoftMixChannel::CreateWithChannel(result);
}

std::shared_ptr<TChannel> TSoftMixSound::Play(const std::shared_ptr<TChannel>& channel) {
  return Start(channel, 0);
}

std::shared_ptr<TChannel> TSoftMixSound::Cue(const std::shared_ptr<TChannel>& channel) {
  return Start(channel, 1);
}

TSoftMixChannel::~TSoftMixChannel() {
  if (sm_channel) engine_free_channel(sm_channel);
}

std::shared_ptr<TSoftMixChannel> TSoftMixChannel::CreateWithChannel(int handle) {
  auto c = std::make_shared<TSoftMixChannel>();
  c->sm_channel = handle;
  return c;
}

int TSoftMixChannel::Stop() {
  engine_stop(sm_channel);
  sm_channel = 0;
  return 0;
}

int TSoftMixChannel::SetPaused(int paused) {
  engine_set_paused(sm_channel, paused);
  return 0;
}

int TSoftMixChannel::SetVolume(float volume) {
  engine_set_volume(sm_channel, to_16(volume));
  return 0;
}

int TSoftMixChannel::SetPan(float pan) {
  engine_set_pan(sm_channel, to_16(pan));
  return 0;
}

int TSoftMixChannel::SetDepth(float depth) {
  engine_set_depth(sm_channel, to_16(depth));
  return 0;
}

int TSoftMixChannel::SetRate(float rate) {
  engine_set_rate(sm_channel, to_rate(rate));
  return 0;
}

int TSoftMixChannel::Playing() {
  const int s = engine_status(sm_channel);
  return s != 0 && !(s & (VOICE_STOPPED | VOICE_PAUSED)) ? 1 : 0;
}

int TSoftMixChannel::Position() { return engine_position(sm_channel); }

TSoftMixAudioDriver* TSoftMixAudioDriver::Create(const std::string& name, int mode) {
  static std::vector<std::unique_ptr<TSoftMixAudioDriver>> made;
  made.push_back(std::make_unique<TSoftMixAudioDriver>());
  made.back()->_name = name;
  made.back()->_mode = mode;
  return made.back().get();
}

std::string TSoftMixAudioDriver::Name() { return _name; }

int TSoftMixAudioDriver::Startup() {
  if (_mode == -1) return engine_init(0) == 0 || engine_init(1) == 0 ? 1 : 0;
  return engine_init(_mode) == 0 ? 1 : 0;
}

int TSoftMixAudioDriver::Shutdown() {
  engine_close();
  return 0;
}

std::shared_ptr<TSound> TSoftMixAudioDriver::CreateSound(
    const std::shared_ptr<TAudioSample>& sample, int flags) {
  if (!sample) return nullptr;
  std::shared_ptr<TAudioSample> s = sample;
  // The engine takes little-endian data only.
  if (s->format == SF_MONO16BE) s = s->Convert(SF_MONO16LE);
  else if (s->format == SF_STEREO16BE) s = s->Convert(SF_STEREO16LE);
  if (!s || s->format < SF_MONO8 || s->format > SF_STEREO16BE) return nullptr;
  const int channels = audio_sample_channels[s->format];
  if (channels == 0) return nullptr;
  const int bits = audio_sample_bytes_per_frame[s->format] * 8 / channels;
  engine_sound* es =
      engine_create_sound(s->length, bits, channels, s->hertz, s->samples, flags & SOUND_LOOP);
  return TSoftMixSound::CreateWithSound(es, sample);
}

std::shared_ptr<TChannel> TSoftMixAudioDriver::AllocChannel() {
  const int handle = engine_alloc_channel();
  if (handle == 0) return nullptr;
  return TSoftMixChannel::CreateWithChannel(handle);
}
