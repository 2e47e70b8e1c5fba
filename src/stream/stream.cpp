// The stream base: byte loops and the typed reads and writes, all little-endian.
#include "stream/stream.h"

#include <algorithm>
#include <cstring>

int TStream::Eof() { return Pos() == Size() ? 1 : 0; }

int64_t TStream::Pos() { return -1; }
int64_t TStream::Size() { return 0; }
int64_t TStream::Seek(int64_t) { return -1; }
void TStream::Flush() {}
void TStream::Close() {}
int TStream::Read(void*, int) { return 0; }
int TStream::Write(const void*, int) { return 0; }

int TStream::ReadBytes(void* buf, int count) {
  auto* p = static_cast<uint8_t*>(buf);
  int left = count;
  while (left > 0 && !Eof()) {
    const int n = Read(p, left);
    if (n <= 0) throw TStreamReadException();
    p += n;
    left -= n;
  }
  return count;
}

int TStream::WriteBytes(const void* buf, int count) {
  const auto* p = static_cast<const uint8_t*>(buf);
  int left = count;
  while (left > 0) {
    const int n = Write(p, left);
    if (n <= 0) throw TStreamWriteException();
    p += n;
    left -= n;
  }
  return count;
}

int TStream::SkipBytes(int count) {
  uint8_t scratch[4096];
  int skipped = 0;
  while (skipped < count && !Eof()) {
    const int n = Read(scratch, std::min<int>(count - skipped, sizeof scratch));
    if (n <= 0) throw TStreamReadException();
    skipped += n;
  }
  return skipped;
}

namespace {

// Reads n little-endian bytes; missing bytes at the end stay zero.
uint64_t read_le(TStream& s, int n) {
  uint8_t b[8] = {};
  s.ReadBytes(b, n);
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

void write_le(TStream& s, uint64_t v, int n) {
  uint8_t b[8];
  for (int i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
  s.WriteBytes(b, n);
}

}  // namespace

int TStream::ReadByte() { return static_cast<int>(read_le(*this, 1)); }
void TStream::WriteByte(int value) { write_le(*this, static_cast<uint32_t>(value), 1); }
int TStream::ReadShort() { return static_cast<int>(read_le(*this, 2)); }
void TStream::WriteShort(int value) { write_le(*this, static_cast<uint32_t>(value), 2); }
int TStream::ReadInt() { return static_cast<int>(static_cast<uint32_t>(read_le(*this, 4))); }
void TStream::WriteInt(int value) { write_le(*this, static_cast<uint32_t>(value), 4); }
int64_t TStream::ReadLong() { return static_cast<int64_t>(read_le(*this, 8)); }
void TStream::WriteLong(int64_t value) { write_le(*this, static_cast<uint64_t>(value), 8); }

float TStream::ReadFloat() {
  const auto bits = static_cast<uint32_t>(read_le(*this, 4));
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void TStream::WriteFloat(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  write_le(*this, bits, 4);
}

double TStream::ReadDouble() {
  const uint64_t bits = read_le(*this, 8);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

void TStream::WriteDouble(double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  write_le(*this, bits, 8);
}

std::string TStream::ReadLine() {
  std::string line;
  while (!Eof()) {
    uint8_t c;
    if (Read(&c, 1) != 1) throw TStreamReadException();
    if (c == '\n') break;
    if (c != '\r') line.push_back(static_cast<char>(c));
  }
  return line;
}

void TStream::WriteLine(const std::string& text) {
  WriteString(text);
  WriteByte('\n');
}

std::string TStream::ReadString(int length) {
  // Grows with the bytes really there, so a hostile length cannot make a huge string.
  std::string text;
  char chunk[4096];
  while (static_cast<int>(text.size()) < length && !Eof()) {
    const int want = std::min<int>(length - static_cast<int>(text.size()), sizeof chunk);
    const int n = Read(chunk, want);
    if (n <= 0) throw TStreamReadException();
    text.append(chunk, n);
  }
  return text;
}

void TStream::WriteString(const std::string& text) {
  if (!text.empty()) WriteBytes(text.data(), static_cast<int>(text.size()));
}

std::shared_ptr<void> TStream::ReadObject() { throw TStreamReadException(); }
void TStream::WriteObject(const std::shared_ptr<void>&) { throw TStreamWriteException(); }
