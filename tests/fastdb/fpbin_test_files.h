// Test helpers for .fpbin files: a private temporary directory, byte-level
// file reads and writes, little-endian words.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace FpbinTest {

// A directory of its own, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("varnex_fpbin_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string Path(const std::string& name) const { return (path_ / name).string(); }
  // Writes `bytes` to a new file `name`; returns its path.
  std::string File(const std::string& name, const std::string& bytes) const {
    const std::string p = Path(name);
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The little-endian word at byte `offset` of `bytes`.
inline std::uint64_t WordAt(const std::string& bytes, std::size_t offset) {
  std::uint64_t value = 0;
  for (int k = 7; k >= 0; --k) value = (value << 8) | static_cast<unsigned char>(bytes.at(offset + k));
  return value;
}

// Overwrites the 8 bytes at `offset` with `value`, little-endian.
inline void SetWordAt(std::string& bytes, std::size_t offset, std::uint64_t value) {
  for (int k = 0; k < 8; ++k) bytes.at(offset + k) = static_cast<char>((value >> (8 * k)) & 0xFF);
}

}  // namespace FpbinTest
