// Arbitrary bytes through the stream layer: the first byte picks a script of reads,
// the rest is the stream. Only the stream exceptions may come out of a read.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "stream/stream.h"

namespace {

void drive(TStream& s, uint8_t script) {
  uint8_t buf[64];
  // Seeks may move back, so the number of steps is bounded, not the position.
  for (int step = 0; step < 256 && !s.Eof(); ++step) {
    switch (script % 8) {
      case 0: s.ReadInt(); break;
      case 1:
        s.ReadShort();
        s.ReadByte();
        break;
      case 2:
        s.ReadLong();
        s.ReadDouble();
        break;
      case 3: s.ReadLine(); break;
      case 4: s.ReadString(s.ReadByte()); break;
      case 5: s.SkipBytes(s.ReadShort()); break;
      case 6: s.ReadBytes(buf, s.ReadByte() % static_cast<int>(sizeof buf)); break;
      case 7:
        s.Seek(s.ReadInt());
        s.ReadFloat();
        break;
    }
    script = static_cast<uint8_t>(script * 5 + 1);
    if (s.Pos() < 0 || s.Pos() > s.Size()) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t script = data[0];
  std::vector<uint8_t> bytes(data + 1, data + size);

  // Read-only view: every read must stay inside the bytes.
  auto ro = TRamStream::CreateFromBytes(bytes);
  try {
    drive(*ro, script);
  } catch (const TStreamException&) {
  }

  // Writable view of a copy: writes stop at the end of the buffer, never past it.
  std::vector<uint8_t> copy = bytes;
  auto rw = TRamStream::Create(copy.data(), static_cast<int>(copy.size()), 1, 1);
  try {
    while (true) {
      rw->WriteInt(rw->ReadInt() ^ script);
      rw->WriteString(rw->ReadString(script % 7));
    }
  } catch (const TStreamException&) {
  }

  // The embedded-file lookup with a fuzzed name.
  static const bool ready = (init_stream_module(), add_embedded_file("fuzz.bin", "abc", 3), true);
  (void)ready;
  std::string name(bytes.begin(), bytes.end());
  if (auto s = open_stream("incbin::" + name, 1, 0)) {
    if (s->Size() != 3) __builtin_trap();
  }
  return 0;
}
