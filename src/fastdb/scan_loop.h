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

// Scores the records at positions[0, count) (any order) into `hits`; all
// of them hold p bits when `p` is given, else each its stored count.
template <typename Score>
void KvScorePositions(const KvScanKernel& kernel, const KvRecordView& view, const std::uint32_t* positions,
                      std::size_t count, const std::uint64_t* query, const Score& score, KvHitList<KvSimScore>& hits) {
  std::uint32_t common[kKvScanBlock];
  for (std::size_t first = 0; first < count; first += kKvScanBlock) {
    const std::size_t block = std::min(kKvScanBlock, count - first);
    kernel.intersectAt(view.records, view.stride, positions + first, block, query, static_cast<std::size_t>(view.words),
                       common);
    for (std::size_t r = 0; r < block; ++r) {
      const std::uint64_t position = positions[first + r];
      const double value = score(static_cast<double>(common[r]), static_cast<double>(view.Count(position)));
      if (hits.Admits(value)) hits.Offer(KvSimScore(view.MolIdx(position), value));
    }
  }
}

// The pruned form, in two phases. First the bins of the count index in
// order of the best score their records can reach, which fills the hit list
// with good scores after few records; a search ends as soon as the next bin
// cannot beat the list's threshold (the threshold only ever tightens). When
// the bins still worth visiting hold more than a quarter of the records,
// scattered reads would cost more than streaming: the rest of the search
// then walks the file in order and scores only records of unvisited bins
// that can still beat the threshold. Either way exactly the records a full
// scan would admit are admitted, up to the order among equal scores.
template <typename Score>
void KvScanIntoHitListPruned(const KvScanKernel& kernel, const KvRecordView& view, const KvCountIndex& index,
                             const std::uint64_t* query, const Score& score, KvHitList<KvSimScore>& hits) {
  struct Bin {
    double best;
    std::uint32_t count;
  };
  const bool descending = hits.IsDescending();
  std::vector<double> bestOf(index.NumBins());
  std::vector<Bin> bins;
  bins.reserve(index.NumBins());
  for (std::size_t p = 0; p < index.NumBins(); ++p) {
    bestOf[p] = KvBestScore(score, static_cast<double>(p), descending);
    if (!index.Bin(p).empty()) bins.push_back({bestOf[p], static_cast<std::uint32_t>(p)});
  }
  std::stable_sort(bins.begin(), bins.end(), [&](const Bin& a, const Bin& b) { return hits.IsBetter(a.best, b.best); });

  // The records of bins[from, end) that can still beat the threshold.
  auto eligible = [&](std::size_t from) {
    std::uint64_t records = 0;
    for (std::size_t b = from; b < bins.size() && hits.Admits(bins[b].best); ++b)
      records += index.Bin(bins[b].count).size();
    return records;
  };

  std::uint64_t visited = 0;
  std::uint64_t nextCheck = std::max<std::uint64_t>(64, view.n / 64);
  std::size_t b = 0;
  for (; b < bins.size(); ++b) {
    if (!hits.Admits(bins[b].best)) return;
    if (visited >= nextCheck) {
      nextCheck *= 2;
      if (4 * eligible(b) > view.n) break;
    }
    const std::span<const std::uint32_t> positions = index.Bin(bins[b].count);
    for (std::size_t first = 0; first < positions.size(); first += kKvScanBlock) {
      if (!hits.Admits(bins[b].best)) return;
      const std::size_t count = std::min(kKvScanBlock, positions.size() - first);
      KvScorePositions(kernel, view, positions.data() + first, count, query, score, hits);
    }
    visited += positions.size();
  }
  if (b == bins.size()) return;

  // Streaming phase over the bins not yet visited, in file order. Records
  // are picked from the index's compact copy of the counts, so the ones
  // skipped are never read.
  std::vector<char> done(index.NumBins(), 0);
  for (std::size_t v = 0; v < b; ++v) done[bins[v].count] = 1;
  const std::span<const std::uint32_t> counts = index.Counts();
  std::uint32_t selected[kKvScanBlock];
  for (std::uint64_t block = 0; block < view.n; block += kKvScanBlock) {
    const std::uint64_t end = std::min<std::uint64_t>(view.n, block + kKvScanBlock);
    std::size_t count = 0;
    for (std::uint64_t position = block; position < end; ++position) {
      const std::uint32_t p = counts[position];
      if (!done[p] && hits.Admits(bestOf[p])) selected[count++] = static_cast<std::uint32_t>(position);
    }
    KvScorePositions(kernel, view, selected, count, query, score, hits);
  }
}

}  // namespace Varnex
