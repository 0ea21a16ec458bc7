// The best score a shard's bit count range allows: the pruned search's
// per-bit-count bound, taken over the range.

#include <algorithm>
#include <cmath>
#include <limits>

#include "fastdb/kernels/scoring.h"
#include "varnex/shards.h"

namespace Varnex {

double KvGetShardBestScore(const KvFPDatabaseOptions& options, std::uint64_t queryBits, std::uint64_t words,
                           std::uint64_t minBits, std::uint64_t maxBits) {
  const bool descending = options.GetDescendingOrder();
  double best = std::numeric_limits<double>::quiet_NaN();
  WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(queryBits, words, options), [&](const auto& score) {
    const auto lo = static_cast<double>(minBits);
    const auto hi = static_cast<double>(maxBits);
    if (descending) {
      // The descending bound rises up to its peak and falls after it.
      best = BestScore(score, std::clamp(BestScorePeak(score), lo, hi), true);
      return;
    }
    // Ascending orders have no such shape for every measure: take every
    // bit count of the range (at most 64W + 1 of them).
    best = std::numeric_limits<double>::infinity();
    for (std::uint64_t p = minBits; p <= maxBits; ++p)
      best = std::min(best, BestScore(score, static_cast<double>(p), false));
  });
  return best;
}

}  // namespace Varnex
