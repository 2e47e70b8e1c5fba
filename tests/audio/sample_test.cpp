// Samples, their conversions, and the WAVE and Ogg loaders on files made here.
#include <gtest/gtest.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "audio/sample.h"
#include "scratch_dir.h"
#include "stream/stream.h"

namespace {

using bytes = std::vector<uint8_t>;

// An Ogg Vorbis file: channel 0 a 440 Hz tone, the other channels silent.
bytes encode_ogg(int channels, int rate, int frames) {
  bytes out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, 0.4f) != 0) return out;
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block vb;
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 77);
  ogg_page og;
  auto put = [&](const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
  };
  ogg_packet head, comm, code;
  vorbis_analysis_headerout(&vd, &vc, &head, &comm, &code);
  ogg_stream_packetin(&os, &head);
  ogg_stream_packetin(&os, &comm);
  ogg_stream_packetin(&os, &code);
  while (ogg_stream_flush(&os, &og)) put(og);

  float** buf = vorbis_analysis_buffer(&vd, frames);
  for (int i = 0; i < frames; ++i) {
    buf[0][i] = 0.5f * std::sin(2.0f * 3.14159265f * 440.0f * static_cast<float>(i) / rate);
    for (int c = 1; c < channels; ++c) buf[c][i] = 0.0f;
  }
  vorbis_analysis_wrote(&vd, frames);
  vorbis_analysis_wrote(&vd, 0);
  while (vorbis_analysis_blockout(&vd, &vb) == 1) {
    vorbis_analysis(&vb, nullptr);
    vorbis_bitrate_addblock(&vb);
    ogg_packet op;
    while (vorbis_bitrate_flushpacket(&vd, &op)) {
      ogg_stream_packetin(&os, &op);
      while (ogg_stream_pageout(&os, &og)) put(og);
    }
  }
  while (ogg_stream_flush(&os, &og)) put(og);
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return out;
}

void put16(bytes& b, int v) {
  b.push_back(static_cast<uint8_t>(v & 0xFF));
  b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}
void put32(bytes& b, uint32_t v) {
  put16(b, static_cast<int>(v & 0xFFFF));
  put16(b, static_cast<int>(v >> 16));
}
void tag(bytes& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

// A RIFF WAVE file; data_size < 0 declares the real size of data.
bytes make_wav(int channels, int bits, const bytes& data, int fmt_size = 16, bool list = false,
               int64_t data_size = -1) {
  bytes b;
  tag(b, "RIFF");
  put32(b, 0);
  tag(b, "WAVE");
  tag(b, "fmt ");
  put32(b, static_cast<uint32_t>(fmt_size));
  put16(b, 1);
  put16(b, channels);
  put32(b, 11025);
  put32(b, static_cast<uint32_t>(11025 * channels * bits / 8));
  put16(b, channels * bits / 8);
  put16(b, bits);
  for (int i = 16; i < fmt_size; ++i) b.push_back(0);
  if (list) {
    tag(b, "LIST");
    put32(b, 6);
    tag(b, "INFO");
    put16(b, 0);
  }
  tag(b, "data");
  put32(b, static_cast<uint32_t>(data_size < 0 ? static_cast<int64_t>(data.size()) : data_size));
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

struct Samples : ::testing::Test {
  scratch_dir dir;
  void SetUp() override {
    init_stream_module();
    init_sample_loaders();
  }

  std::shared_ptr<TAudioSample> load(const bytes& file) {
    dir.write_bytes("sound.bin", file);
    return load_audio_sample(dir.file("sound.bin"));
  }
};

int16_t at16(const std::shared_ptr<TAudioSample>& s, int index) {
  int16_t v;
  std::memcpy(&v, s->samples + 2 * index, 2);
  return v;
}

TEST_F(Samples, OggMonoAndStereoDecodeToSixteenBitLittleEndian) {
  auto mono = load(encode_ogg(1, 22050, 5000));
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->format, SF_MONO16LE);
  EXPECT_EQ(mono->length, 5000);
  EXPECT_EQ(mono->hertz, 22050);
  int peak = 0;
  for (int i = 0; i < mono->length; ++i) peak = std::max(peak, std::abs(int{at16(mono, i)}));
  EXPECT_GT(peak, 12000);  // the tone came through at about half scale
  EXPECT_LT(peak, 20000);

  auto stereo = load(encode_ogg(2, 44100, 3000));
  ASSERT_NE(stereo, nullptr);
  EXPECT_EQ(stereo->format, SF_STEREO16LE);
  EXPECT_EQ(stereo->length, 3000);
  EXPECT_EQ(stereo->capacity, 3000 * 4);
  int left = 0, right = 0;
  for (int i = 0; i < stereo->length; ++i) {
    left = std::max(left, std::abs(int{at16(stereo, 2 * i)}));
    right = std::max(right, std::abs(int{at16(stereo, 2 * i + 1)}));
  }
  EXPECT_GT(left, 12000);
  EXPECT_LT(right, 2000);
}

TEST_F(Samples, DamagedOrUnsuitableOggGivesNone) {
  const bytes three = encode_ogg(3, 22050, 2000);  // more channels than stereo holds
  ASSERT_GT(three.size(), 100u);
  EXPECT_EQ(load(three), nullptr);

  const bytes good = encode_ogg(1, 22050, 20000);
  ASSERT_NE(load(good), nullptr);
  EXPECT_EQ(load(bytes(good.begin(), good.begin() + 10)), nullptr);
  // Cut short, a file never loads as more than it holds: a third gives nothing, and
  // without its last page what loads is shorter than the whole.
  EXPECT_EQ(load(bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 3))),
            nullptr);
  auto part = load(bytes(good.begin(), good.end() - 300));
  ASSERT_NE(part, nullptr);
  EXPECT_LT(part->length, 20000);
  // Scribbled over in the middle: a decoding error fails the whole load.
  bytes scribbled = good;
  for (size_t i = good.size() / 2; i < good.size() / 2 + 200; ++i) scribbled[i] ^= 0x5A;
  EXPECT_EQ(load(scribbled), nullptr);

  // A mono sound and then a stereo one: no one sample holds both.
  bytes chain = encode_ogg(2, 44100, 2000);
  chain.insert(chain.begin(), good.begin(), good.end());
  EXPECT_EQ(load(chain), nullptr);
  EXPECT_EQ(load(bytes{}), nullptr);
  EXPECT_EQ(load(bytes(1000, 0x4F)), nullptr);
  EXPECT_EQ(load_audio_sample(dir.file("missing.ogg")), nullptr);
}

TEST_F(Samples, WaveFilesLoadWithLongFormatChunksAndOtherChunks) {
  const bytes pcm{0x01, 0x02, 0x03, 0x04, 0xFF, 0x7F, 0x00, 0x80};
  auto s = load(make_wav(2, 16, pcm, 18, true));
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->format, SF_STEREO16LE);
  EXPECT_EQ(s->length, 2);
  EXPECT_EQ(s->hertz, 11025);
  EXPECT_EQ(bytes(s->samples, s->samples + pcm.size()), pcm);

  auto m8 = load(make_wav(1, 8, {10, 20, 30}));
  ASSERT_NE(m8, nullptr);
  EXPECT_EQ(m8->format, SF_MONO8);
  EXPECT_EQ(m8->length, 3);

  // Only whole frames are read: a ragged data size must not overrun the sample.
  auto ragged = load(make_wav(2, 16, {1, 2, 3, 4, 5, 6, 7}));
  ASSERT_NE(ragged, nullptr);
  EXPECT_EQ(ragged->length, 1);
}

TEST_F(Samples, UnsupportedOrCutOffWaveFilesGiveNone) {
  EXPECT_EQ(load(make_wav(1, 24, bytes(30, 1))), nullptr);
  EXPECT_EQ(load(make_wav(3, 16, bytes(30, 1))), nullptr);
  const bytes whole = make_wav(1, 16, bytes(400, 9));
  EXPECT_EQ(load(make_wav(1, 16, bytes(400, 9), 16, false, 100000)), nullptr);
  EXPECT_EQ(load(make_wav(1, 16, bytes(400, 9), 16, false, 0xFFFFFFF0u)), nullptr);
  for (size_t cut : {size_t{6}, size_t{20}, size_t{40}, whole.size() - 1})
    EXPECT_EQ(load(bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut))), nullptr)
        << "cut at " << cut;
  EXPECT_NE(load(whole), nullptr);
}

TEST_F(Samples, ConversionsGoThroughSixteenBitStereo) {
  int16_t mono[] = {0x0102, -2, 32767};
  auto le = TAudioSample::CreateStatic(mono, 3, 8000, SF_MONO16LE);
  EXPECT_EQ(le->capacity, -1);
  auto be = le->Convert(SF_MONO16BE);
  EXPECT_EQ(be->capacity, 6);
  EXPECT_EQ(be->samples[0], 0x01);
  EXPECT_EQ(be->samples[1], 0x02);
  EXPECT_EQ(be->samples[2], 0xFF);
  EXPECT_EQ(be->samples[3], 0xFE);
  auto back = be->Convert(SF_MONO16LE);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(at16(back, i), mono[i]) << "sample " << i;

  // Mono to stereo duplicates; 8-bit spreads over the 16-bit range.
  uint8_t u8[] = {0, 128, 255};
  auto wide = TAudioSample::CreateStatic(u8, 3, 8000, SF_MONO8)->Convert(SF_STEREO16LE);
  EXPECT_EQ(wide->length, 3);
  EXPECT_EQ(at16(wide, 0), -32768);
  EXPECT_EQ(at16(wide, 1), -32768);
  EXPECT_EQ(at16(wide, 2), 128);
  EXPECT_EQ(at16(wide, 4), 32767);
  EXPECT_EQ(at16(wide, 5), 32767);

  // Stereo to mono keeps the left side; 16 to 8 bits divides by 257.
  int16_t st[] = {32767, -32768, -32768, 32767, 0, 0};
  auto narrow = TAudioSample::CreateStatic(st, 3, 8000, SF_STEREO16LE)->Convert(SF_MONO8);
  EXPECT_EQ(narrow->samples[0], 255);
  EXPECT_EQ(narrow->samples[1], 0);
  EXPECT_EQ(narrow->samples[2], 127);
  auto s8 = TAudioSample::CreateStatic(st, 3, 8000, SF_STEREO16LE)->Convert(SF_STEREO8);
  EXPECT_EQ(s8->samples[0], 255);
  EXPECT_EQ(s8->samples[1], 0);

  auto copy = le->Copy();
  EXPECT_NE(copy->samples, le->samples);
  EXPECT_EQ(copy->capacity, 6);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(at16(copy, i), mono[i]) << "sample " << i;

  try {
    le->Convert(7);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Unimplemented sample format conversion");
  }
  EXPECT_EQ(TAudioSample::Create(-1, 8000, SF_MONO8), nullptr);
  EXPECT_EQ(TAudioSample::Create(10, 8000, 0), nullptr);
}

// A stream that cannot tell where it is.
struct Unseekable : TStream {
  int64_t Pos() override { return -1; }
};

TEST_F(Samples, UnseekableStreamIsAnError) {
  try {
    load_audio_sample(std::make_shared<Unseekable>());
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Stream is not seekable");
  }
}

}  // namespace
