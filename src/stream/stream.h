// Streams: one interface over disk files and the files carried inside the program.
//
// A plain name opens a file; "protocol::path" is offered to the stream factories
// ("incbin::name" reaches the embedded files, read-only). Integers are little-endian.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Base of the two stream errors, so a loader can refuse on either with one catch.
class TStreamException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TStreamReadException : public TStreamException {
 public:
  TStreamReadException() : TStreamException("Error reading from stream") {}
};

class TStreamWriteException : public TStreamException {
 public:
  TStreamWriteException() : TStreamException("Error writing to stream") {}
};

class TStream {
 public:
  virtual ~TStream() = default;

  // 1 when Pos() == Size(). A stream sought past its end is not at the end: reads
  // there raise the read exception, where at the end they stop quietly.
  virtual int Eof();
  // Positions are 64-bit: a file may be larger than 2 GiB.
  virtual int64_t Pos();  // -1 when the stream cannot seek
  virtual int64_t Size();
  virtual int64_t Seek(int64_t pos);  // new position, or -1 when refused
  virtual void Flush();
  virtual void Close();                           // a second Close does nothing
  virtual int Read(void* buf, int count);         // bytes actually read
  virtual int Write(const void* buf, int count);  // bytes actually written
  // Loops over Read/Write; a Read or Write that makes no progress before the end
  // raises the stream exception. ReadBytes stops quietly at the end of the stream,
  // leaving the rest of the buffer as it was; both return count.
  virtual int ReadBytes(void* buf, int count);
  virtual int WriteBytes(const void* buf, int count);
  virtual int SkipBytes(int count);  // bytes skipped
  virtual int ReadByte();
  virtual void WriteByte(int value);
  virtual int ReadShort();  // 16 bits, unsigned
  virtual void WriteShort(int value);
  virtual int ReadInt();  // 32 bits; bytes missing at the end count as 0
  virtual void WriteInt(int value);
  virtual int64_t ReadLong();
  virtual void WriteLong(int64_t value);
  virtual float ReadFloat();
  virtual void WriteFloat(float value);
  virtual double ReadDouble();
  virtual void WriteDouble(double value);
  virtual std::string ReadLine();                   // up to '\n' or the end; '\r' dropped
  virtual void WriteLine(const std::string& text);  // text and "\n"
  virtual std::string ReadString(int length);
  virtual void WriteString(const std::string& text);
  // Plain byte streams carry no object encoding: both raise the stream exception.
  virtual std::shared_ptr<void> ReadObject();
  virtual void WriteObject(const std::shared_ptr<void>& object);
};

constexpr int MODE_READ = 1;
constexpr int MODE_WRITE = 2;

// A stream over a C library file.
class TCStream : public TStream {
 public:
  int64_t _pos = 0;
  int64_t _size = 0;
  FILE* _cstream = nullptr;
  int _mode = 0;

  ~TCStream() override;
  int64_t Pos() override;
  int64_t Size() override;
  int64_t Seek(int64_t pos) override;  // may go past the end, as the C library allows
  void Flush() override;  // raises the write exception when buffered bytes cannot be written
  void Close() override;
  int Read(void* buf, int count) override;
  int Write(const void* buf, int count) override;

  // Takes ownership of an open file; mode is MODE_READ, MODE_WRITE or both.
  static std::shared_ptr<TCStream> CreateWithCStream(FILE* file, int mode);
  // Opens a path (backslashes and letter case mapped, see map_file_path); none on failure.
  static std::shared_ptr<TCStream> OpenFile(const std::string& path, int readable, int writeable);

 private:
  int _last_op = 0;  // 1 read, 2 write: C files need a seek between the two
};

// A stream over memory it does not own (or keeps alive through _keep).
class TRamStream : public TStream {
 public:
  int _pos = 0;
  int _size = 0;
  uint8_t* _buf = nullptr;
  int _read = 0;
  int _write = 0;
  std::shared_ptr<void> _keep;  // whatever owns _buf, if anyone

  int64_t Pos() override;
  int64_t Size() override;
  int64_t Seek(int64_t pos) override;  // clamped to 0..Size()
  int Read(void* buf, int count) override;
  int Write(const void* buf, int count) override;  // never grows the buffer

  static std::shared_ptr<TRamStream> Create(void* buf, int size, int readable, int writeable);
  // A read-only stream over a copy of the bytes.
  static std::shared_ptr<TRamStream> CreateFromBytes(std::vector<uint8_t> bytes);
};

class TStreamFactory {
 public:
  std::shared_ptr<TStreamFactory> _succ;

  virtual ~TStreamFactory() = default;
  virtual std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                                const std::string& path, int readable,
                                                int writeable) = 0;
};

// "incbin::name": the embedded files, read-only, name matched exactly.
class TRamStreamFactory : public TStreamFactory {
 public:
  std::shared_ptr<TStream> CreateStream(const std::string& url, const std::string& protocol,
                                        const std::string& path, int readable,
                                        int writeable) override;
};

// Puts a factory at the head of the chain.
void register_stream_factory(std::shared_ptr<TStreamFactory> factory);
// Registers the library's factories; safe to call twice.
void init_stream_module();

// Embedded-file registry. Returns 1, or 0 (and keeps the first bytes) for a known name.
int add_embedded_file(const std::string& name, const void* bytes, int length);
// Looks a name up exactly; false when it was never registered.
bool find_embedded_file(const std::string& name, const uint8_t** bytes, int* length);

std::shared_ptr<TStream> open_stream(const std::string& name, int readable, int writeable);
std::shared_ptr<TStream> read_file(const std::string& name);   // open_stream(name, 1, 0)
std::shared_ptr<TStream> write_file(const std::string& name);  // open_stream(name, 0, 1)
void close_stream(const std::shared_ptr<TStream>& stream);

// 0 nothing there (or the query failed), 1 a regular file, 2 a folder.
int file_type(const std::string& path);

// The path the file system knows: backslashes become '/', and each component that does
// not exist exactly is matched without regard to case ("Data" finds "data"). Components
// with no match are kept as written, so the result also names a file still to be made.
std::string map_file_path(const std::string& path);

// Free forms of the integer operations, as the data-file code reads best.
inline int ReadInt(const std::shared_ptr<TStream>& stream) { return stream->ReadInt(); }
inline void WriteInt(const std::shared_ptr<TStream>& stream, int value) { stream->WriteInt(value); }
