// Audio samples: blocks of PCM frames with a rate and a format, and the loaders
// that turn a file into one (RIFF WAVE asked first, then Ogg Vorbis).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class TStream;

// Sample formats; 0 is no format.
constexpr int SF_MONO8 = 1;       // 8-bit unsigned
constexpr int SF_MONO16LE = 2;    // 16-bit signed little-endian
constexpr int SF_MONO16BE = 3;    // 16-bit signed big-endian
constexpr int SF_STEREO8 = 4;     // 8-bit unsigned, left then right
constexpr int SF_STEREO16LE = 5;  // 16-bit signed little-endian, left then right
constexpr int SF_STEREO16BE = 6;  // 16-bit signed big-endian, left then right

// Indexed by format: bytes per frame and channels.
extern const int audio_sample_bytes_per_frame[7];
extern const int audio_sample_channels[7];

class TAudioSample {
 public:
  uint8_t* samples = nullptr;  // the PCM data
  int length = 0;              // frames
  int hertz = 0;               // frames per second
  int format = 0;
  int capacity = 0;  // bytes owned by the sample; -1 when the data is someone else's

  // length x bytes-per-frame bytes, uninitialised. None for a bad format or size.
  static std::shared_ptr<TAudioSample> Create(int length, int hertz, int format);
  // Wraps data the caller keeps alive for the sample's lifetime.
  static std::shared_ptr<TAudioSample> CreateStatic(void* data, int length, int hertz, int format);

  std::shared_ptr<TAudioSample> Copy() const;
  // Any format to any other, through 16-bit stereo big-endian. A format outside 1..6
  // raises "Unimplemented sample format conversion".
  std::shared_ptr<TAudioSample> Convert(int to_format) const;

  int ByteCount() const;  // length x bytes per frame

 private:
  std::unique_ptr<uint8_t[]> _owned;
};

// A link of the loader chain; constructing one puts it at the head of the chain.
class TAudioSampleLoader {
 public:
  TAudioSampleLoader();
  virtual ~TAudioSampleLoader();
  TAudioSampleLoader(const TAudioSampleLoader&) = delete;
  TAudioSampleLoader& operator=(const TAudioSampleLoader&) = delete;

  TAudioSampleLoader* _succ = nullptr;

  // The sample, or none to let the next loader try. May leave the stream anywhere.
  virtual std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) = 0;
};

class TAudioSampleLoaderWAV : public TAudioSampleLoader {
 public:
  std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) override;
};

class TAudioSampleLoaderOGG : public TAudioSampleLoader {
 public:
  std::shared_ptr<TAudioSample> LoadAudioSample(const std::shared_ptr<TStream>& stream) override;
};

// Registers the Ogg loader and then the WAVE loader (so WAVE is asked first); safe twice.
void init_sample_loaders();

// Opens url and offers it to each loader, newest first. None when nothing reads it.
// A stream that cannot seek raises "Stream is not seekable".
std::shared_ptr<TAudioSample> load_audio_sample(const std::string& url);
std::shared_ptr<TAudioSample> load_audio_sample(const std::shared_ptr<TStream>& stream);
