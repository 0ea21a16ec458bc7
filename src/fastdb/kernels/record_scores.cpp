// One query against records in memory, through the active scan kernel.

#include "varnex/recordscores.h"

#include <cstring>

#include "fastdb/kernels/kernels.h"
#include "fastdb/kernels/scoring.h"

namespace Varnex {

bool KvGetRecordScores(const std::uint64_t* query, std::size_t words, const std::uint8_t* records,
                       std::size_t stride, std::size_t count, const KvFPDatabaseOptions& options, double* out) {
  if (stride < (words + 2) * 8) return false;
  const ScanKernel& kernel = GetActiveScanKernel();
  const ScoreContext context = MakeScoreContext(kernel.popCount(query, words), words, options);
  return WithScoreFunctor(options.GetSimFunc(), context, [&](const auto& score) {
    // Intersections a block at a time, then the scores from the stored counts.
    constexpr std::size_t kBlock = 256;
    std::uint32_t both[kBlock];
    for (std::size_t first = 0; first < count; first += kBlock) {
      const std::size_t n = count - first < kBlock ? count - first : kBlock;
      const std::uint8_t* block = records + first * stride;
      kernel.intersectRun(RecordWords(block), stride, n, query, words, both);
      for (std::size_t r = 0; r < n; ++r) {
        std::uint64_t stored;
        std::memcpy(&stored, block + r * stride + 8, sizeof stored);
        out[first + r] = score(static_cast<double>(both[r]), static_cast<double>(stored));
      }
    }
  });
}

}  // namespace Varnex
