// The file-order loops of the engines: records are counted in blocks by the
// active kernel, then scored by a measure functor chosen once per query, so
// there is no indirect call per record. (The pruned searches are in
// pruned_scan.h.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "database/hitlist.h"
#include "fastdb/engine/engine.h"
#include "fastdb/kernels/kernels.h"
#include "fastdb/kernels/scoring.h"

namespace Varnex {

// Records per kernel call; the counts stay in a small stack array.
inline constexpr std::size_t kScanBlock = 128;

// sink(position, score) for every record in [begin, end), in order.
template <typename Score, typename Sink>
void ScanRange(const ScanKernel& kernel, const RecordView& view, std::uint64_t begin, std::uint64_t end,
                 const std::uint64_t* query, const Score& score, Sink&& sink) {
  std::uint32_t common[kScanBlock];
  for (std::uint64_t block = begin; block < end; block += kScanBlock) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kScanBlock, end - block));
    kernel.intersectRun(RecordWords(view.At(block)), view.stride, count, query, static_cast<std::size_t>(view.words),
                        common);
    for (std::size_t r = 0; r < count; ++r) {
      const std::uint64_t position = block + r;
      sink(position, score(static_cast<double>(common[r]), static_cast<double>(view.Count(position))));
    }
  }
}

// Offers every record of [begin, end) to `hits` (only scores the list would
// admit are built into records).
template <typename Score>
void ScanIntoHitList(const ScanKernel& kernel, const RecordView& view, std::uint64_t begin, std::uint64_t end,
                       const std::uint64_t* query, const Score& score, HitList<KvSimScore>& hits) {
  ScanRange(kernel, view, begin, end, query, score, [&](std::uint64_t position, double value) {
    if (hits.Admits(value)) hits.Offer(KvSimScore(view.MolIdx(position), value));
  });
}

}  // namespace Varnex
