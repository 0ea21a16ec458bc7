// The inner loops of the engines: records are counted in blocks by the active
// kernel, then scored by a measure functor chosen once per query, so there
// is no indirect call per record.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "database/hitlist.h"
#include "fastdb/count_index.h"
#include "fastdb/engine.h"
#include "fastdb/scan_kernels.h"
#include "fastdb/scoring.h"

namespace Varnex {

// Records per kernel call; the counts stay in a small stack array.
inline constexpr std::size_t kKvScanBlock = 128;

// sink(position, score) for every record in [begin, end), in order.
template <typename Score, typename Sink>
void KvScanRange(const KvScanKernel& kernel, const KvRecordView& view, std::uint64_t begin, std::uint64_t end,
                 const std::uint64_t* query, const Score& score, Sink&& sink) {
  std::uint32_t common[kKvScanBlock];
  for (std::uint64_t block = begin; block < end; block += kKvScanBlock) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kKvScanBlock, end - block));
    kernel.intersectRun(view.At(block), view.stride, count, query, static_cast<std::size_t>(view.words), common);
    for (std::size_t r = 0; r < count; ++r) {
      const std::uint64_t position = block + r;
      sink(position, score(static_cast<double>(common[r]), static_cast<double>(view.Count(position))));
    }
  }
}

// Offers every record of [begin, end) to `hits` (only scores the list would
// admit are built into records).
template <typename Score>
void KvScanIntoHitList(const KvScanKernel& kernel, const KvRecordView& view, std::uint64_t begin, std::uint64_t end,
                       const std::uint64_t* query, const Score& score, KvHitList<KvSimScore>& hits) {
  KvScanRange(kernel, view, begin, end, query, score, [&](std::uint64_t position, double value) {
    if (hits.Admits(value)) hits.Offer(KvSimScore(view.MolIdx(position), value));
  });
}

// The pruned form: bins of the count index in order of the best score their
// records can reach, stopping at the first bin that cannot beat the hit
// list's threshold (the threshold only ever tightens). Admits exactly the
// records the full scan would, up to the order among equal scores.
template <typename Score>
void KvScanIntoHitListPruned(const KvScanKernel& kernel, const KvRecordView& view, const KvCountIndex& index,
                             const std::uint64_t* query, const Score& score, KvHitList<KvSimScore>& hits) {
  struct Bin {
    double best;
    std::uint32_t count;
  };
  const bool descending = hits.IsDescending();
  std::vector<Bin> bins;
  bins.reserve(index.NumBins());
  for (std::size_t p = 0; p < index.NumBins(); ++p) {
    if (index.Bin(p).empty()) continue;
    bins.push_back({KvBestScore(score, static_cast<double>(p), descending), static_cast<std::uint32_t>(p)});
  }
  std::stable_sort(bins.begin(), bins.end(),
                   [&](const Bin& a, const Bin& b) { return hits.IsBetter(a.best, b.best); });

  std::uint32_t common[kKvScanBlock];
  for (const Bin& bin : bins) {
    const std::span<const std::uint32_t> positions = index.Bin(bin.count);
    const double p = static_cast<double>(bin.count);
    for (std::size_t first = 0; first < positions.size(); first += kKvScanBlock) {
      if (!hits.Admits(bin.best)) return;
      const std::size_t count = std::min(kKvScanBlock, positions.size() - first);
      kernel.intersectAt(view.records, view.stride, positions.data() + first, count, query,
                         static_cast<std::size_t>(view.words), common);
      for (std::size_t r = 0; r < count; ++r) {
        const double value = score(static_cast<double>(common[r]), p);
        if (hits.Admits(value)) hits.Offer(KvSimScore(view.MolIdx(positions[first + r]), value));
      }
    }
  }
}

}  // namespace Varnex
