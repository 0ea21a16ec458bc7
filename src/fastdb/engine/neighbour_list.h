// A record's list of nearest neighbours as the neighbour matrix defines
// it, and the bit counts of the records that may still enter such a list.
//
// A list takes the first k candidates it is offered, then lets a candidate
// replace its lowest entry (the first minimum) only when strictly higher; so
// which of several equal scores it keeps depends on every candidate offered
// before, and every list must see its candidates in record order.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/least_passing.h"
#include "fastdb/kernels/scoring.h"

namespace Varnex {

inline constexpr float kNoFloor = -std::numeric_limits<float>::infinity();

// One record's neighbour list, held in k entries of one array shared by
// all lists (one allocation for the matrix, not one per record).
class RowNeighbours {
 public:
  struct Entry {
    float score;
    std::uint32_t position;
  };

  void Reset(Entry* storage, std::size_t k) {
    held_ = storage;
    k_ = k;
    size_ = 0;
    minimum_ = 0;
  }

  // The lowest held score once the list is full; kNoFloor before.
  float Floor() const { return size_ < k_ || k_ == 0 ? kNoFloor : held_[minimum_].score; }

  void Offer(float score, std::uint32_t position) {
    if (size_ < k_) {
      held_[size_++] = {score, position};
      if (size_ == k_) minimum_ = FirstMinimum();
      return;
    }
    if (k_ == 0 || !(score > held_[minimum_].score)) return;
    held_[minimum_] = {score, position};
    minimum_ = FirstMinimum();
  }

  std::span<Entry> Held() { return {held_, size_}; }

 private:
  std::size_t FirstMinimum() const {
    std::size_t at = 0;
    for (std::size_t e = 1; e < size_; ++e) {
      if (held_[e].score < held_[at].score) at = e;
    }
    return at;
  }

  Entry* held_ = nullptr;
  std::size_t k_ = 0;
  std::size_t size_ = 0;
  std::size_t minimum_ = 0;  // the first minimum, valid while full
};

// The lists of all n records, k entries each, in one array (one allocation
// for the matrix, not one per record).
class NeighbourLists {
 public:
  NeighbourLists(std::uint64_t n, std::size_t k)
      : held_(std::make_unique_for_overwrite<RowNeighbours::Entry[]>(static_cast<std::size_t>(n) * k)),
        rows_(static_cast<std::size_t>(n)) {
    for (std::size_t i = 0; i < rows_.size(); ++i) rows_[i].Reset(held_.get() + i * k, k);
  }

  RowNeighbours& operator[](std::uint64_t i) { return rows_[static_cast<std::size_t>(i)]; }

  // The pairs of every row, row by row: best first, equal scores by the
  // larger molecule index first, at or above the cutoff when there is one.
  void AppendPairs(const RecordView& view, const KvFPDatabaseOptions& options, std::vector<KvSimScorePair>& pairs) {
    const bool hasCutoff = options.HasCutoff();
    const float cutoff = options.GetCutoff();
    for (std::uint64_t i = 0; i < view.n; ++i) {
      const std::span<RowNeighbours::Entry> held = rows_[i].Held();
      std::sort(held.begin(), held.end(), [&](const auto& a, const auto& b) {
        if (a.score != b.score) return a.score > b.score;
        return view.MolIdx(a.position) > view.MolIdx(b.position);
      });
      const std::uint64_t rowIdx = view.MolIdx(i);
      for (const auto& entry : held) {
        if (hasCutoff && !(entry.score >= cutoff)) continue;
        pairs.emplace_back(rowIdx, view.MolIdx(entry.position), static_cast<double>(entry.score));
      }
    }
  }

 private:
  std::unique_ptr<RowNeighbours::Entry[]> held_;
  std::vector<RowNeighbours> rows_;
};

// The counts lo to lo + span of records that may beat `floor` for a row
// whose functor is `score` (one unsigned comparison per test).
struct CountRange {
  std::uint32_t lo;
  std::uint32_t span;
  bool Holds(std::uint32_t p) const { return p - lo <= span; }
};
inline constexpr CountRange kNoCounts = {0xFFFFFFFFu, 0};

template <typename Score>
CountRange AdmissibleCounts(const Score& score, float floor, std::uint32_t maxCount) {
  if (floor == kNoFloor) return {0, maxCount};
  // For similarities the range only screens pairs before their signature
  // bound is compared in doubles: widened, so rounding never drops a pair.
  auto beats = [&](std::uint32_t p) {
    const double best = BestScore(score, static_cast<double>(p), true);
    if constexpr (kIncreasingInCommonBits<Score>) return best + 1e-7 * std::fabs(best) + 1e-300 > floor;
    return static_cast<float>(best) > floor;
  };
  const auto peak = static_cast<std::uint32_t>(std::clamp(BestScorePeak(score), 0.0, double(maxCount)));
  if (!beats(peak)) return kNoCounts;
  // The least p <= peak that beats, and the largest p >= peak that does
  // (one below the least p > peak that does not).
  const auto first = static_cast<std::uint32_t>(LeastPassing(0, peak, beats));
  const auto last = static_cast<std::uint32_t>(
      LeastPassing(std::uint64_t{peak} + 1, std::uint64_t{maxCount} + 1, [&](std::uint64_t p) {
        return !beats(static_cast<std::uint32_t>(p));
      }) - 1);
  return {first, last - first};
}

// Fills every record's list by one pruned search of its own
// (neighbour_rows.cpp) on options.GetNumProcessors() threads, reporting each
// row to the options' progress display. Returns false, having done nothing,
// where that does not apply: fewer than MatrixRowsFrom() records, no search
// index, Manhattan, a limit of 0 or above an eighth of the records.
bool SearchNeighbourRows(const KvFastFPDatabaseImplBase& engine, const KvFPDatabaseOptions& options, std::size_t k,
                         NeighbourLists& lists);

}  // namespace Varnex
