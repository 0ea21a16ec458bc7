// The prime table behind GetBitModulus, built by the compiler.

#include "generators/modulus.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace Varnex {
namespace {

constexpr unsigned kLargestTablePrime = 65521;  // the largest prime below 2^16
constexpr std::size_t kNumPrimes = 6542 + 1;    // primes up to 65521, then 65537

constexpr std::array<std::uint32_t, kNumPrimes> MakePrimeTable() {
  std::array<bool, kLargestTablePrime + 1> composite{};
  std::array<std::uint32_t, kNumPrimes> primes{};
  std::size_t count = 0;
  for (unsigned n = 2; n <= kLargestTablePrime; ++n) {
    if (composite[n]) continue;
    primes[count++] = n;
    for (unsigned long m = static_cast<unsigned long>(n) * n; m <= kLargestTablePrime; m += n) composite[m] = true;
  }
  primes[count++] = 65537;
  return primes;
}

constexpr std::array<std::uint32_t, kNumPrimes> kPrimes = MakePrimeTable();
static_assert(kPrimes[0] == 2 && kPrimes[kNumPrimes - 2] == 65521 && kPrimes[kNumPrimes - 1] == 65537);

}  // namespace

unsigned GetBitModulus(unsigned bits) {
  switch (bits) {
    case 64: return 61;
    case 128: return 127;
    case 256: return 251;
    case 512: return 509;
    case 1024: return 1021;
    case 2048: return 2039;
    case 4096: return 4093;
    case 8192: return 8191;
    case 16384: return 16381;
    default: break;
  }
  if (bits < 2) return 1;
  // The last entry not above `bits`: one before the first entry above it.
  const auto above = std::upper_bound(kPrimes.begin(), kPrimes.end(), bits);
  return *(above - 1);
}

}  // namespace Varnex
