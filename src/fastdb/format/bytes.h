// Little-endian 64-bit words of the fast database file, independent of the
// host's byte order. Unaligned addresses are fine.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace Varnex {

// The value of the 8 bytes at `p`, byte k holding bits 8k to 8k + 7.
inline std::uint64_t LoadLE64(const std::uint8_t* p) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t value;
    std::memcpy(&value, p, sizeof value);
    return value;
  } else {
    std::uint64_t value = 0;
    for (int k = 7; k >= 0; --k) value = (value << 8) | p[k];
    return value;
  }
}

// Stores `value` as 8 little-endian bytes at `p`.
inline void StoreLE64(std::uint8_t* p, std::uint64_t value) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, &value, sizeof value);
  } else {
    for (int k = 0; k < 8; ++k) p[k] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

}  // namespace Varnex
