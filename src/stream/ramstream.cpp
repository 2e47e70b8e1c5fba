// Memory streams, the embedded-file registry, the factory chain and open_stream.
#include <algorithm>
#include <cstring>
#include <forward_list>

#include "stream/stream.h"

int64_t TRamStream::Pos() { return _pos; }
int64_t TRamStream::Size() { return _size; }

int64_t TRamStream::Seek(int64_t pos) {
  _pos = static_cast<int>(std::clamp<int64_t>(pos, 0, _size));
  return _pos;
}

int TRamStream::Read(void* buf, int count) {
  if (!_read || count <= 0 || _pos >= _size) return 0;
  const int n = std::min(count, _size - _pos);
  std::memcpy(buf, _buf + _pos, static_cast<size_t>(n));
  _pos += n;
  return n;
}

int TRamStream::Write(const void* buf, int count) {
  if (!_write || count <= 0 || _pos >= _size) return 0;
  const int n = std::min(count, _size - _pos);
  std::memcpy(_buf + _pos, buf, static_cast<size_t>(n));
  _pos += n;
  return n;
}

std::shared_ptr<TRamStream> TRamStream::Create(void* buf, int size, int readable, int writeable) {
  if (size < 0 || (!buf && size > 0)) return nullptr;
  auto s = std::make_shared<TRamStream>();
  s->_buf = static_cast<uint8_t*>(buf);
  s->_size = size;
  s->_read = readable ? 1 : 0;
  s->_write = writeable ? 1 : 0;
  return s;
}

std::shared_ptr<TRamStream> TRamStream::CreateFromBytes(std::vector<uint8_t> bytes) {
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  auto keep = std::make_shared<std::vector<uint8_t>>(std::move(bytes));
  auto s = Create(keep->data(), static_cast<int>(keep->size()), 1, 0);
  s->_keep = keep;
  return s;
}

namespace {

struct EmbeddedFile {
  std::string name;
  const uint8_t* bytes;
  int length;
};

std::forward_list<EmbeddedFile>& embedded_files() {
  static std::forward_list<EmbeddedFile> files;
  return files;
}

std::shared_ptr<TStreamFactory>& factory_head() {
  static std::shared_ptr<TStreamFactory> head;
  return head;
}

}  // namespace

int add_embedded_file(const std::string& name, const void* bytes, int length) {
  if (length < 0 || (!bytes && length > 0)) return 0;
  const uint8_t* b;
  int n;
  if (find_embedded_file(name, &b, &n)) return 0;
  embedded_files().push_front({name, static_cast<const uint8_t*>(bytes), length});
  return 1;
}

bool find_embedded_file(const std::string& name, const uint8_t** bytes, int* length) {
  for (const EmbeddedFile& f : embedded_files()) {
    if (f.name == name) {
      *bytes = f.bytes;
      *length = f.length;
      return true;
    }
  }
  return false;
}

std::shared_ptr<TStream> TRamStreamFactory::CreateStream(const std::string&,
                                                         const std::string& protocol,
                                                         const std::string& path, int,
                                                         int writeable) {
  if (protocol != "incbin" || writeable) return nullptr;
  const uint8_t* bytes;
  int length;
  if (!find_embedded_file(path, &bytes, &length)) return nullptr;
  // The registry's bytes are never written: the stream is read-only.
  return TRamStream::Create(const_cast<uint8_t*>(bytes), length, 1, 0);
}

void register_stream_factory(std::shared_ptr<TStreamFactory> factory) {
  if (!factory) return;
  factory->_succ = factory_head();
  factory_head() = std::move(factory);
}

void init_stream_module() {
  static bool done = false;
  if (done) return;
  done = true;
  register_stream_factory(std::make_shared<TRamStreamFactory>());
}

std::shared_ptr<TStream> open_stream(const std::string& name, int readable, int writeable) {
  const size_t sep = name.find("::");
  if (sep == std::string::npos) return TCStream::OpenFile(name, readable, writeable);
  std::string protocol = name.substr(0, sep);
  for (char& c : protocol) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const std::string path = name.substr(sep + 2);
  for (TStreamFactory* f = factory_head().get(); f; f = f->_succ.get()) {
    if (auto s = f->CreateStream(name, protocol, path, readable, writeable)) return s;
  }
  return nullptr;
}

std::shared_ptr<TStream> read_file(const std::string& name) { return open_stream(name, 1, 0); }
std::shared_ptr<TStream> write_file(const std::string& name) { return open_stream(name, 0, 1); }

void close_stream(const std::shared_ptr<TStream>& stream) {
  if (stream) stream->Close();
}
