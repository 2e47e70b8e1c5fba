// Audio samples, format conversion and the loader chain.
#include "audio/sample.h"

#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "stream/stream.h"

const int audio_sample_bytes_per_frame[7] = {0, 1, 2, 2, 2, 4, 4};
const int audio_sample_channels[7] = {0, 1, 1, 1, 2, 2, 2};

namespace {

bool valid_format(int format) { return format >= SF_MONO8 && format <= SF_STEREO16BE; }

int16_t from_u8(uint8_t u) { return static_cast<int16_t>(((u ^ 0x80) << 8) | u); }
uint8_t to_u8(int v) { return static_cast<uint8_t>((v + 32768) / 257); }
int16_t read_le(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
int16_t read_be(const uint8_t* p) { return static_cast<int16_t>((p[0] << 8) | p[1]); }
void write_le(uint8_t* p, int16_t v) {
  p[0] = static_cast<uint8_t>(v & 0xFF);
  p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}
void write_be(uint8_t* p, int16_t v) {
  p[0] = static_cast<uint8_t>((v >> 8) & 0xFF);
  p[1] = static_cast<uint8_t>(v & 0xFF);
}

TAudioSampleLoader* g_loaders = nullptr;

}  // namespace

// ---- samples ----

int TAudioSample::ByteCount() const {
  return valid_format(format) ? length * audio_sample_bytes_per_frame[format] : 0;
}

std::shared_ptr<TAudioSample> TAudioSample::Create(int length, int hertz, int format) {
  if (!valid_format(format) || length < 0) return nullptr;
  const int bpf = audio_sample_bytes_per_frame[format];
  if (length > INT_MAX / bpf) return nullptr;
  auto sample = std::make_shared<TAudioSample>();
  const int bytes = length * bpf;
  sample->_owned.reset(new (std::nothrow) uint8_t[bytes > 0 ? bytes : 1]);
  if (!sample->_owned) return nullptr;
  sample->samples = sample->_owned.get();
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = bytes;
  return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::CreateStatic(void* data, int length, int hertz,
                                                         int format) {
  if (!valid_format(format) || length < 0) return nullptr;
  auto sample = std::make_shared<TAudioSample>();
  sample->samples = static_cast<uint8_t*>(data);
  sample->length = length;
  sample->hertz = hertz;
  sample->format = format;
  sample->capacity = -1;
  return sample;
}

std::shared_ptr<TAudioSample> TAudioSample::Copy() const {
  auto copy = Create(length, hertz, format);
  if (copy && ByteCount() > 0)
    std::memcpy(copy->samples, samples, static_cast<size_t>(ByteCount()));
  return copy;
}

std::shared_ptr<TAudioSample> TAudioSample::Convert(int to_format) const {
  if (!valid_format(format) || !valid_format(to_format))
    throw std::runtime_error("Unimplemented sample format conversion");
  if (to_format == format) return Copy();
  auto out = Create(length, hertz, to_format);
  if (!out) return nullptr;
  const int in_bpf = audio_sample_bytes_per_frame[format];
  const int out_bpf = audio_sample_bytes_per_frame[to_format];
  for (int i = 0; i < length; ++i) {
    const uint8_t* src = samples + static_cast<size_t>(i) * in_bpf;
    uint8_t* dst = out->samples + static_cast<size_t>(i) * out_bpf;
    // Every frame passes through 16-bit stereo.
    int16_t l = 0, r = 0;
    switch (format) {
      case SF_MONO8: l = r = from_u8(src[0]); break;
      case SF_MONO16LE: l = r = read_le(src); break;
      case SF_MONO16BE: l = r = read_be(src); break;
      case SF_STEREO8:
        l = from_u8(src[0]);
        r = from_u8(src[1]);
        break;
      case SF_STEREO16LE:
        l = read_le(src);
        r = read_le(src + 2);
        break;
      case SF_STEREO16BE:
        l = read_be(src);
        r = read_be(src + 2);
        break;
    }
    switch (to_format) {
      case SF_MONO8: dst[0] = to_u8(l); break;
      case SF_MONO16LE: write_le(dst, l); break;
      case SF_MONO16BE: write_be(dst, l); break;
      case SF_STEREO8:
        dst[0] = to_u8(l);
        dst[1] = to_u8(r);
        break;
      case SF_STEREO16LE:
        write_le(dst, l);
        write_le(dst + 2, r);
        break;
      case SF_STEREO16BE:
        write_be(dst, l);
        write_be(dst + 2, r);
        break;
    }
  }
  return out;
}

// ---- the loader chain ----

TAudioSampleLoader::TAudioSampleLoader() {
  _succ = g_loaders;
  g_loaders = this;
}

TAudioSampleLoader::~TAudioSampleLoader() {
  for (TAudioSampleLoader** p = &g_loaders; *p; p = &(*p)->_succ) {
    if (*p == this) {
      *p = _succ;
      break;
    }
  }
}

void init_sample_loaders() {
  // The Ogg loader first, so the WAVE loader, made after it, is asked first.
  static const auto ogg = std::make_unique<TAudioSampleLoaderOGG>();
  static const auto wav = std::make_unique<TAudioSampleLoaderWAV>();
}

std::shared_ptr<TAudioSample> load_audio_sample(const std::shared_ptr<TStream>& stream) {
  if (!stream) return nullptr;
  const int64_t start = stream->Pos();
  if (start == -1) throw std::runtime_error("Stream is not seekable");
  for (TAudioSampleLoader* loader = g_loaders; loader; loader = loader->_succ) {
    stream->Seek(start);
    std::shared_ptr<TAudioSample> sample;
    try {
      sample = loader->LoadAudioSample(stream);
    } catch (const TStreamException&) {
      sample = nullptr;
    } catch (const std::bad_alloc&) {
      sample = nullptr;  // a damaged header asking for the moon
    }
    if (sample) return sample;
  }
  return nullptr;
}

std::shared_ptr<TAudioSample> load_audio_sample(const std::string& url) {
  init_sample_loaders();
  std::shared_ptr<TStream> stream = read_file(url);
  if (!stream) return nullptr;
  struct closer {
    TStream* s;
    ~closer() {
      try {
        s->Close();
      } catch (...) {
      }
    }
  } close_at_end{stream.get()};
  return load_audio_sample(stream);
}
