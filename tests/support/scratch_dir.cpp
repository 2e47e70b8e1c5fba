#include "scratch_dir.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

scratch_dir::scratch_dir() {
  std::string pattern = (fs::temp_directory_path() / "aerovane-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
  path_ = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string scratch_dir::file(const std::string& relative) const {
  return (path_ / relative).string();
}

void scratch_dir::write_bytes(const std::string& relative,
                              const std::vector<std::uint8_t>& bytes) const {
  std::ofstream out(path_ / relative, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> scratch_dir::read_bytes(const std::string& relative) const {
  return file_bytes(path_ / relative);
}

bool scratch_dir::exists(const std::string& relative) const {
  std::error_code ec;
  return fs::exists(path_ / relative, ec);
}

std::vector<std::uint8_t> file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
