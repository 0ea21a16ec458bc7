// The bit modulus of the hashed fingerprints: the largest prime not above the
// fingerprint size. Identifiers set bit (identifier mod modulus), so the bits
// from the modulus up to the size stay clear.
//
// Thread safety: pure functions over a read-only compile-time table.
#pragma once

#include <cstdint>

namespace Varnex {

// The largest prime not above `bits`, from a direct table for the powers of
// two from 64 to 16384 and otherwise by binary search over all primes up to
// 65521 followed by 65537. Sizes above 65537 give 65537; sizes below 2 give 1.
unsigned GetBitModulus(unsigned bits);

// Exact `value mod divisor` for a fixed divisor without a hardware division
// per call (Lemire's multiply-high reduction). REQUIRES: divisor > 0.
class FastModulus {
 public:
  explicit FastModulus(std::uint32_t divisor)
      : divisor_(divisor), magic_(UINT64_C(0xFFFFFFFFFFFFFFFF) / divisor + 1) {}
  std::uint32_t operator()(std::uint32_t value) const {
    // The high 64 bits of the 96-bit product low * divisor, in two halves.
    const std::uint64_t low = magic_ * value;
    const std::uint64_t upper = (low >> 32) * divisor_;
    const std::uint64_t lower = ((low & 0xFFFFFFFFu) * divisor_) >> 32;
    return static_cast<std::uint32_t>((upper + lower) >> 32);
  }
  std::uint32_t Divisor() const { return divisor_; }

 private:
  std::uint32_t divisor_;
  std::uint64_t magic_;
};

}  // namespace Varnex
