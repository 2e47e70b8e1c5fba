// The RIFF WAVE and Ogg Vorbis sample loaders. Both decline anything they cannot
// read whole, so a damaged sound file gives no sound rather than noise or a crash.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "audio/sample.h"
#include "stream/stream.h"

namespace {

bool read_tag(TStream& s, const char* want) {
  char tag[4] = {};
  s.ReadBytes(tag, 4);
  return std::memcmp(tag, want, 4) == 0;
}

int64_t remaining(TStream& s) { return s.Size() - s.Pos(); }

}  // namespace

std::shared_ptr<TAudioSample> TAudioSampleLoaderWAV::LoadAudioSample(
    const std::shared_ptr<TStream>& stream) {
  TStream& s = *stream;
  if (!read_tag(s, "RIFF")) return nullptr;
  s.ReadInt();
  if (!read_tag(s, "WAVE") || !read_tag(s, "fmt ")) return nullptr;

  const uint32_t fmt_size = static_cast<uint32_t>(s.ReadInt());
  if (fmt_size < 16) return nullptr;  // too short to hold what is read below
  if (s.ReadShort() != 1) return nullptr;
  const int channels = s.ReadShort();
  const int hertz = s.ReadInt();
  s.ReadInt();    // bytes per second
  s.ReadShort();  // block align
  const int bits = s.ReadShort();
  int format = 0;
  if (channels == 1 && bits == 8) format = SF_MONO8;
  if (channels == 2 && bits == 8) format = SF_STEREO8;
  if (channels == 1 && bits == 16) format = SF_MONO16LE;
  if (channels == 2 && bits == 16) format = SF_STEREO16LE;
  if (format == 0 || hertz <= 0) return nullptr;
  if (fmt_size > 16) {
    if (fmt_size - 16 > remaining(s)) return nullptr;
    s.Seek(s.Pos() + (fmt_size - 16));
  }

  while (!s.Eof()) {
    if (remaining(s) < 8) return nullptr;  // a chunk header cut in two
    char tag[4] = {};
    s.ReadBytes(tag, 4);
    const uint32_t size = static_cast<uint32_t>(s.ReadInt());
    // A chunk that claims more than the file holds means a cut-off file.
    if (size > remaining(s)) return nullptr;
    if (std::memcmp(tag, "data", 4) == 0) {
      const int bpf = audio_sample_bytes_per_frame[format];
      auto sample = TAudioSample::Create(static_cast<int>(size / bpf), hertz, format);
      if (!sample) return nullptr;
      // Only whole frames: a size that is not a multiple of the frame would overrun.
      s.ReadBytes(sample->samples, sample->ByteCount());
      return sample;
    }
    s.Seek(s.Pos() + size);
  }
  return nullptr;
}

namespace {

struct ogg_source {
  TStream* stream;
  bool failed = false;  // a stream error inside a callback
};

size_t ogg_read(void* buf, size_t size, size_t count, void* data) {
  auto* src = static_cast<ogg_source*>(data);
  if (size == 0 || count == 0) return 0;
  const size_t want = size * count > static_cast<size_t>(INT_MAX) ? INT_MAX : size * count;
  try {
    const int n = src->stream->Read(buf, static_cast<int>(want));
    return n > 0 ? static_cast<size_t>(n) / size : 0;
  } catch (...) {
    // Nothing may be thrown through the decoder; it sees a read error instead.
    src->failed = true;
    errno = EIO;
    return 0;
  }
}

int ogg_seek(void* data, ogg_int64_t offset, int whence) {
  auto* src = static_cast<ogg_source*>(data);
  try {
    int64_t to;
    switch (whence) {
      case SEEK_SET: to = offset; break;
      case SEEK_CUR: to = src->stream->Pos() + offset; break;
      case SEEK_END: to = src->stream->Size() + offset; break;
      default: return -1;
    }
    if (to < 0) return -1;
    return src->stream->Seek(to) < 0 ? -1 : 0;
  } catch (...) {
    src->failed = true;
    return -1;
  }
}

int ogg_close(void*) { return 0; }  // the stream belongs to the loading operation

long ogg_tell(void* data) {
  auto* src = static_cast<ogg_source*>(data);
  try {
    return src->stream->Pos();
  } catch (...) {
    src->failed = true;
    return -1;
  }
}

// True when every whole page of the stream belongs to one logical stream that begins
// only once. A chain of streams could change channels or rate on the way, which one
// sample cannot hold, and a damaged chain makes the decoder lose memory while it
// looks for the links. Leaves the stream anywhere.
bool one_logical_stream(TStream& s) {
  struct sync_state : ogg_sync_state {
    sync_state() { ogg_sync_init(this); }
    ~sync_state() { ogg_sync_clear(this); }
  } sync;
  bool first = true;
  int serial = 0;
  while (char* buf = ogg_sync_buffer(&sync, 4096)) {
    const int n = s.Read(buf, 4096);
    if (n <= 0) break;
    ogg_sync_wrote(&sync, n);
    ogg_page page;
    for (int got; (got = ogg_sync_pageout(&sync, &page)) != 0;) {
      if (got < 0) continue;  // bytes skipped to the next page
      if (!first && (ogg_page_serialno(&page) != serial || ogg_page_bos(&page))) return false;
      serial = ogg_page_serialno(&page);
      first = false;
    }
  }
  return true;
}

}  // namespace

std::shared_ptr<TAudioSample> TAudioSampleLoaderOGG::LoadAudioSample(
    const std::shared_ptr<TStream>& stream) {
  const int64_t start = stream->Pos();
  if (!one_logical_stream(*stream) || stream->Seek(start) != start) return nullptr;
  ogg_source src{stream.get()};
  const ov_callbacks callbacks{ogg_read, ogg_seek, ogg_close, ogg_tell};
  OggVorbis_File vf;
  if (ov_open_callbacks(&src, &vf, nullptr, 0, callbacks) < 0) return nullptr;
  struct clear_at_end {
    OggVorbis_File* vf;
    ~clear_at_end() { ov_clear(vf); }
  } clear{&vf};

  const vorbis_info* info = ov_info(&vf, -1);
  // More than two channels would not fit the stereo format.
  if (!info || info->channels < 1 || info->channels > 2 || info->rate <= 0 || info->rate > INT_MAX)
    return nullptr;
  const int channels = info->channels;
  const ogg_int64_t frames = ov_pcm_total(&vf, -1);
  if (frames < 0 || frames > INT_MAX / (2 * channels)) return nullptr;

  // The total is the last page's word, which a few damaged bytes can make a gigabyte:
  // memory grows with what really decodes, and the sample is made once it is all there.
  const int bytes = static_cast<int>(frames) * 2 * channels;
  std::vector<char> pcm;
  int filled = 0;
  while (filled < bytes) {
    pcm.resize(static_cast<size_t>(std::min(bytes - filled, 1 << 16) + filled));
    int section = 0;
    const long n =
        ov_read(&vf, pcm.data() + filled, static_cast<int>(pcm.size()) - filled, 0, 2, 1, &section);
    // An error, or an end before the promised length (a cut-off file), fails the load.
    if (n <= 0 || src.failed) return nullptr;
    filled += static_cast<int>(n);
  }
  auto sample = TAudioSample::Create(static_cast<int>(frames), static_cast<int>(info->rate),
                                     channels == 1 ? SF_MONO16LE : SF_STEREO16LE);
  if (sample && bytes > 0) std::memcpy(sample->samples, pcm.data(), static_cast<size_t>(bytes));
  return sample;
}
