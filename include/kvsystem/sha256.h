// SHA-256 (FIPS 180-4), for the checksums that tie a collection's catalog to
// its shard files.
//
// Thread safety: a KvSha256 is used by one thread at a time; distinct objects
// are independent.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace KvSystem {

class KvSha256 {
 public:
  KvSha256() { Reset(); }
  // Starts a new digest.
  void Reset();
  // Adds `size` bytes at `data`.
  void Update(const void* data, std::size_t size);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // The digest of everything added since the last Reset, as 64 lowercase
  // hexadecimal digits; the object then starts a new digest.
  std::string HexDigest();

 private:
  void Block(const std::uint8_t* block);

  std::array<std::uint32_t, 8> state_{};
  std::array<std::uint8_t, 64> buffer_{};
  std::size_t buffered_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};

// The SHA-256 digest of `bytes` in hexadecimal.
std::string KvSha256Hex(std::string_view bytes);

}  // namespace KvSystem
