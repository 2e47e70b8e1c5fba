// Arbitrary bytes as an Ogg Vorbis file, through the whole loader chain: a damaged
// file gives no sample, never a crash, a hang or a sample of the wrong shape.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/sample.h"
#include "stream/stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (init_sample_loaders(), true);
  (void)ready;
  auto stream = TRamStream::CreateFromBytes(std::vector<uint8_t>(data, data + size));
  auto sample = load_audio_sample(stream);
  if (!sample) return 0;
  // Whatever the file claims, the decoder's output is 16-bit mono or stereo.
  const bool riff =
      size >= 4 && data[0] == 'R' && data[1] == 'I' && data[2] == 'F' && data[3] == 'F';
  if (!riff && sample->format != SF_MONO16LE && sample->format != SF_STEREO16LE) __builtin_trap();
  if (sample->hertz <= 0 || sample->capacity != sample->ByteCount()) __builtin_trap();
  return 0;
}
