#pragma once
// A folder of the test's own under the system's temporary folder, removed with all in it
// when the object goes: for the files a test writes and reads back.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / relative, as the string the library calls take.
  std::string file(const std::string& relative) const;
  void write_bytes(const std::string& relative, const std::vector<std::uint8_t>& bytes) const;
  // Empty when there is no such file.
  std::vector<std::uint8_t> read_bytes(const std::string& relative) const;
  bool exists(const std::string& relative) const;

 private:
  std::filesystem::path path_;
};

// The bytes of any file; empty when there is no such file.
std::vector<std::uint8_t> file_bytes(const std::filesystem::path& path);
