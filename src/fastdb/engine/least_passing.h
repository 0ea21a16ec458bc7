// The bisection the pruning bounds share: the least value of a range that
// passes a test that is false, then true, along the range.
#pragma once

#include <cstdint>

namespace Varnex {

// The least x in [lo, hi) for which passes(x) holds, or hi when none does,
// provided passes is monotone (false below some x, true from it on).
template <typename Test>
std::uint64_t LeastPassing(std::uint64_t lo, std::uint64_t hi, Test&& passes) {
  while (lo < hi) {
    const std::uint64_t mid = lo + (hi - lo) / 2;
    if (passes(mid)) {
      hi = mid;
    } else {
      lo = mid + 1;
    }
  }
  return lo;
}

}  // namespace Varnex
