// File streams over stdio, and the mapping of the game's Windows-style names onto
// a case-sensitive file system.
#include <dirent.h>
#include <sys/stat.h>

#include <cstring>

#include "stream/stream.h"

namespace {

bool same_ignoring_case(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    const char ca = (*a >= 'A' && *a <= 'Z') ? *a - 'A' + 'a' : *a;
    const char cb = (*b >= 'A' && *b <= 'Z') ? *b - 'A' + 'a' : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

std::string join(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

// The entry of dir whose name equals name without regard to case; the smallest such
// name when there are several, so the choice does not depend on directory order.
bool find_ignoring_case(const std::string& dir, const std::string& name, std::string* found) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return false;
  bool any = false;
  while (const dirent* e = readdir(d)) {
    if (!same_ignoring_case(e->d_name, name.c_str())) continue;
    if (!any || std::strcmp(e->d_name, found->c_str()) < 0) *found = e->d_name;
    any = true;
  }
  closedir(d);
  return any;
}

}  // namespace

std::string map_file_path(const std::string& path) {
  std::string p = path;
  for (char& c : p) {
    if (c == '\\') c = '/';
  }
  if (p.empty()) return p;

  std::string out = p[0] == '/' ? "/" : "";
  bool lost = false;  // once a component is missing, nothing below it can exist
  size_t i = 0;
  while (i < p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    const std::string comp = p.substr(i, j - i);
    i = j + 1;
    if (comp.empty()) continue;
    struct stat st;
    const std::string exact = join(out, comp);
    if (lost || comp == "." || comp == ".." || lstat(exact.c_str(), &st) == 0) {
      out = exact;
      continue;
    }
    std::string found;
    if (find_ignoring_case(out, comp, &found)) {
      out = join(out, found);
    } else {
      out = exact;
      lost = true;
    }
  }
  if (p.back() == '/' && !out.empty() && out.back() != '/') out += '/';
  return out;
}

int file_type(const std::string& path) {
  if (path.empty()) return 0;
  struct stat st;
  if (stat(map_file_path(path).c_str(), &st) != 0) return 0;
  if (S_ISREG(st.st_mode)) return 1;
  if (S_ISDIR(st.st_mode)) return 2;
  return 0;
}

static_assert(sizeof(off_t) >= 8, "file positions past 2 GiB need a 64-bit off_t");

TCStream::~TCStream() { Close(); }

int64_t TCStream::Pos() { return _pos; }
int64_t TCStream::Size() { return _size; }

int64_t TCStream::Seek(int64_t pos) {
  if (!_cstream || pos < 0 || fseeko(_cstream, static_cast<off_t>(pos), SEEK_SET) != 0) return -1;
  _pos = pos;
  _last_op = 0;
  return _pos;
}

void TCStream::Flush() {
  // Buffered writes fail only here (a full disk, say); saying so lets a caller keep
  // its old file instead of trusting a lost one.
  if (_cstream && std::fflush(_cstream) != 0 && (_mode & MODE_WRITE)) throw TStreamWriteException();
}

void TCStream::Close() {
  if (!_cstream) return;
  std::fflush(_cstream);
  std::fclose(_cstream);
  _cstream = nullptr;
}

int TCStream::Read(void* buf, int count) {
  if (!_cstream || count <= 0 || !(_mode & MODE_READ)) return 0;
  // stdio wants a positioning call between a write and a read on the same file.
  if (_last_op == MODE_WRITE) fseeko(_cstream, static_cast<off_t>(_pos), SEEK_SET);
  _last_op = MODE_READ;
  const int n = static_cast<int>(std::fread(buf, 1, static_cast<size_t>(count), _cstream));
  _pos += n;
  return n;
}

int TCStream::Write(const void* buf, int count) {
  if (!_cstream || count <= 0 || !(_mode & MODE_WRITE)) return 0;
  if (_last_op == MODE_READ) fseeko(_cstream, static_cast<off_t>(_pos), SEEK_SET);
  _last_op = MODE_WRITE;
  const int n = static_cast<int>(std::fwrite(buf, 1, static_cast<size_t>(count), _cstream));
  _pos += n;
  if (_pos > _size) _size = _pos;
  return n;
}

std::shared_ptr<TCStream> TCStream::CreateWithCStream(FILE* file, int mode) {
  if (!file) return nullptr;
  auto s = std::make_shared<TCStream>();
  s->_cstream = file;
  s->_mode = mode;
  const off_t here = ftello(file);
  s->_pos = here < 0 ? 0 : here;
  if (fseeko(file, 0, SEEK_END) == 0) {
    const off_t end = ftello(file);
    s->_size = end < 0 ? 0 : end;
  }
  fseeko(file, static_cast<off_t>(s->_pos), SEEK_SET);
  return s;
}

std::shared_ptr<TCStream> TCStream::OpenFile(const std::string& path, int readable, int writeable) {
  if (!readable && !writeable) return nullptr;
  const std::string real = map_file_path(path);
  if (real.empty()) return nullptr;
  const char* mode = readable && writeable ? "r+b" : writeable ? "wb" : "rb";
  FILE* f = std::fopen(real.c_str(), mode);
  if (!f) return nullptr;
  // stdio opens a folder for reading here; it is not a file to read from.
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return CreateWithCStream(f, (readable ? MODE_READ : 0) | (writeable ? MODE_WRITE : 0));
}
