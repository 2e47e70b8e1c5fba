// Arbitrary bytes as a sound file, through the loader chain as the game loads one
// (the WAVE loader is asked first). A sample that comes back must be whole and must
// survive conversion into every format.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/sample.h"
#include "stream/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (init_sample_loaders(), true);
  (void)ready;
  auto sample =
      load_audio_sample(TRamStream::CreateFromBytes(std::vector<uint8_t>(data, data + size)));
  if (!sample) return 0;
  const int f = sample->format;
  if (f < SF_MONO8 || f > SF_STEREO16BE || sample->length < 0 || sample->hertz <= 0 ||
      sample->capacity != sample->ByteCount())
    __builtin_trap();
  for (int to = SF_MONO8; to <= SF_STEREO16BE; ++to) {
    auto there = sample->Convert(to);
    if (!there || there->length != sample->length) __builtin_trap();
    if (there->Convert(f)->length != sample->length) __builtin_trap();
  }
  return 0;
}
