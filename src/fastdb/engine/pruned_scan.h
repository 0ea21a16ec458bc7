// The pruned scan of one query over the search index (search_index.h).
//
// Three filters, each exact, run before a record's score is computed:
//
// 1. Per bin (records of one bit count p), the best score any record of p
//    bits can reach (BestScore); a bin that cannot beat the sink's
//    threshold is skipped whole.
// 2. Per bin, an integer threshold: the least intersection count c whose
//    score beats the threshold (found by bisection with the score functor
//    itself, so it agrees with the double arithmetic bit for bit). Every
//    measure is monotone in c for fixed p and q, so a record with fewer
//    common bits cannot be admitted; no division is spent on it.
// 3. Per record, the signature bound on c (search_index.h), compared with
//    that integer threshold, before the record's own words are read: the
//    coarse signature's bound first where the index has them, then the
//    full signature's for the records it lets through.
//
// Filters 2 and 3 apply where the best scores need many common bits
// (similarities searched descending, Manhattan ascending); searches the
// other way round use filter 1 alone. A threshold read before it last rose
// makes the filters weaker, never wrong: the sink checks every score it is
// offered.
//
// A PrunedQuery is immutable after construction, so the threads of a
// search share one per query; each thread brings its own sink.
//
// A sink supplies the threshold and takes the admitted scores:
//   bool Admits(double score) const;   // strictly better than its threshold
//   double Threshold() const;          // changes whenever Admits may change
//   void Take(std::uint64_t position, double score);
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/least_passing.h"
#include "fastdb/kernels/kernels.h"
#include "fastdb/kernels/scoring.h"
#include "fastdb/engine/search_index.h"
#include "kvsystem/call_context.h"

namespace Varnex {

template <typename Score>
class PrunedQuery {
 public:
  // Slots per kernel call; the counts stay in small stack arrays.
  static constexpr std::size_t kBlock = 128;
  static_assert(kBlock <= kScreenRuns, "a block is screened in one kernel call");

  PrunedQuery(const SearchIndex& index, const RecordView& view, const QueryWords& query, const Score& score,
                bool descending)
      : index_(index),
        view_(view),
        query_(query),
        score_(score),
        descending_(descending),
        needsManyCommonBits_(descending == kIncreasingInCommonBits<Score>),
        signature_(index.SignatureWords()) {
    index_.Fold(query_.words.data(), query_.words.size(), signature_.data());
    signatureBits_ = GetActiveScanKernel().popCount(signature_.data(), signature_.size());
    if (index_.CoarseWords() > 0) {
      coarse_.resize(index_.CoarseWords());
      index_.FoldCoarse(signature_.data(), coarse_.data());
      coarseBits_ = GetActiveScanKernel().popCount(coarse_.data(), coarse_.size());
    }
  }

  bool IsDescending() const { return descending_; }
  // The best score a record of bin p can reach.
  double Best(std::size_t p) const { return BestScore(score_, static_cast<double>(p), descending_); }
  bool IsBetter(double a, double b) const { return descending_ ? a > b : a < b; }

  // Offers the records of slots [begin, end), all of bin p, to the sink.
  // Returns the number of records whose words were read.
  template <typename Sink>
  std::uint64_t ScanSlots(std::size_t p, std::uint64_t begin, std::uint64_t end, Sink& sink) const {
    const std::span<const std::uint32_t> order = index_.Order();
    const double pd = static_cast<double>(p);
    std::uint32_t positions[kBlock];
    std::uint64_t read = 0;
    std::uint64_t minCommon = 0;
    double minCommonFor = std::numeric_limits<double>::quiet_NaN();  // the threshold minCommon was found for
    for (std::uint64_t first = begin; first < end; first += kBlock) {
      if (!sink.Admits(Best(p))) break;
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, end - first));
      std::size_t kept = 0;
      if (needsManyCommonBits_) {
        if (!(sink.Threshold() == minCommonFor)) {
          minCommonFor = sink.Threshold();
          minCommon = MinCommon(p, sink);
        }
        if (minCommon > MaxCommon(p)) break;  // no record of this bin can enter
        kept = Screen(p, first, count, minCommon, positions);
      } else {
        for (std::size_t r = 0; r < count; ++r) positions[r] = order[first + r];
        kept = count;
      }
      if (kept == 0) continue;
      read += kept;
      ScoreKept(pd, positions, kept, minCommon, sink);
    }
    return read;
  }

  // Whether ScanSlots screens records by their signatures (filters 2 and 3),
  // so that a batch may screen them for it (ScreenFor, OfferPassed).
  bool ScreensSignatures() const { return needsManyCommonBits_; }
  // The most common bits a record of bin p can have.
  std::uint64_t MaxCommon(std::size_t p) const { return std::min<std::uint64_t>(p, query_.bits); }
  // The screen (kernels.h) of filter 3 for records needing `minCommon`
  // common bits, with slack[r] = p - |fold(record r)|; exact when
  // minCommon <= MaxCommon(p).
  ScreenQuery ScreenFor(std::uint64_t minCommon) const {
    return ScreenOf(signature_.data(), signatureBits_, minCommon);
  }
  // Offers the records of slots first + r, r < count, whose bit r of `mask`
  // is set (all of bin p; at most kBlock of them), as ScanSlots does once
  // they passed the screen for `minCommon`.
  template <typename Sink>
  void OfferPassed(std::size_t p, std::uint64_t first, const std::uint64_t* mask, std::size_t count,
                   std::uint64_t minCommon, Sink& sink) const {
    const std::uint32_t* order = index_.Order().data() + first;
    std::uint32_t positions[kBlock];
    const std::size_t kept = SetBits(mask, count, positions);
    for (std::size_t k = 0; k < kept; ++k) positions[k] = order[positions[k]];
    if (kept > 0) ScoreKept(static_cast<double>(p), positions, kept, minCommon, sink);
  }

  // The least c that can be admitted in bin p under the sink's threshold
  // now (one more than the largest feasible c when none can).
  template <typename Sink>
  std::uint64_t MinCommon(std::size_t p, const Sink& sink) const {
    const double pd = static_cast<double>(p);
    const double q = static_cast<double>(query_.bits);
    const auto lo = static_cast<std::uint64_t>(std::max(0.0, pd + q - score_.k.n));
    const std::uint64_t hi = MaxCommon(p) + 1;  // past the largest feasible c
    // Tversky's rounded products are not exactly monotone in c: admit with
    // the same relative margin as its bin bound.
    auto admitted = [&](std::uint64_t c) {
      return sink.Admits(WithBoundMargin<Score>(score_(static_cast<double>(c), pd), descending_));
    };
    return LeastPassing(lo, hi, admitted);
  }

 private:
  // Filter 3 for the `count` (at most kBlock) records from slot `first` on,
  // all of bin p: stores the positions of those whose signature bounds
  // allow `minCommon` common bits in `positions` and returns their number.
  // With coarse signatures, the records they let through are checked again
  // on their full signatures (most never are). REQUIRES minCommon <=
  // MaxCommon(p): the bounds here leave out that cap.
  std::size_t Screen(std::size_t p, std::uint64_t first, std::size_t count, std::uint64_t minCommon,
                     std::uint32_t* positions) const {
    const std::uint32_t* order = index_.Order().data() + first;
    const std::size_t s = index_.SignatureWords();
    const std::uint64_t* signatures = index_.Signature(first);
    const std::uint16_t* sigBits = index_.SignatureBits().data() + first;
    std::uint32_t passed[kBlock];  // slots relative to first
    if (coarse_.empty()) {
      const std::size_t kept =
          Passing(signatures, s, sigBits, p, count, signature_.data(), signatureBits_, minCommon, passed);
      for (std::size_t k = 0; k < kept; ++k) positions[k] = order[passed[k]];
      return kept;
    }
    const std::size_t candidates = Passing(index_.Coarse(first), coarse_.size(), index_.CoarseBits().data() + first,
                                           p, count, coarse_.data(), coarseBits_, minCommon, passed);
    if (candidates == 0) return 0;
    std::uint32_t common[kBlock];
    GetActiveScanKernel().intersectAtFar(reinterpret_cast<const std::uint8_t*>(signatures), 8 * s, passed,
                                         candidates, signature_.data(), s, common);
    const std::uint64_t queryExcess = query_.bits - signatureBits_;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < candidates; ++k) {
      const std::uint32_t r = passed[k];
      positions[kept] = order[r];
      kept += CommonBitsBound<std::uint64_t>(common[k], p, sigBits[r], query_.bits, queryExcess) >= minCommon;
    }
    return kept;
  }

  // The bound of filter 3 for `count` (at most kBlock) consecutive records
  // of bin p, on folds of `words` words (`folds`, with their bit counts
  // `foldBits`) against the query's fold `queryFold` of `queryFoldBits`
  // bits, compared in the kernel: stores in `passed` the indices of those
  // that allow `minCommon` common bits and returns their number.
  std::size_t Passing(const std::uint64_t* folds, std::size_t words, const std::uint16_t* foldBits, std::size_t p,
                      std::size_t count, const std::uint64_t* queryFold, std::uint64_t queryFoldBits,
                      std::uint64_t minCommon, std::uint32_t* passed) const {
    std::uint32_t slack[kBlock];
    for (std::size_t r = 0; r < count; ++r) slack[r] = static_cast<std::uint32_t>(p - foldBits[r]);
    const ScreenQuery screen = ScreenOf(queryFold, queryFoldBits, minCommon);
    std::uint64_t mask[2];
    GetActiveScanKernel().screenRuns(reinterpret_cast<const std::uint8_t*>(folds), 8 * words, count, slack, &screen,
                                     1, words, mask);
    return SetBits(mask, count, passed);
  }

  // The screen of the query's fold `queryFold` of `queryFoldBits` bits for
  // records needing `minCommon` common bits.
  ScreenQuery ScreenOf(const std::uint64_t* queryFold, std::uint64_t queryFoldBits, std::uint64_t minCommon) const {
    return {queryFold, static_cast<std::uint32_t>(query_.bits - queryFoldBits), static_cast<std::uint32_t>(minCommon)};
  }

  // Stores the indices r < count whose bit r of `mask` is set in
  // `indices`, in order, and returns their number.
  static std::size_t SetBits(const std::uint64_t* mask, std::size_t count, std::uint32_t* indices) {
    std::size_t n = 0;
    for (std::size_t word = 0; word * 64 < count; ++word) {
      for (std::uint64_t bits = mask[word]; bits != 0; bits &= bits - 1)
        indices[n++] = static_cast<std::uint32_t>(64 * word + static_cast<unsigned>(std::countr_zero(bits)));
    }
    return n;
  }

  // Reads the `kept` records at `positions` in full and offers the scores
  // of those with at least `minCommon` common bits to the sink.
  template <typename Sink>
  void ScoreKept(double pd, const std::uint32_t* positions, std::size_t kept, std::uint64_t minCommon,
                 Sink& sink) const {
    std::uint32_t common[kBlock];
    GetActiveScanKernel().intersectAtFar(view_.records + 16, view_.stride, positions, kept, query_.words.data(),
                                         static_cast<std::size_t>(view_.words), common);
    for (std::size_t r = 0; r < kept; ++r) {
      if (common[r] < minCommon) continue;
      const double value = score_(static_cast<double>(common[r]), pd);
      if (sink.Admits(value)) sink.Take(positions[r], value);
    }
  }

  const SearchIndex& index_;
  const RecordView& view_;
  const QueryWords& query_;
  Score score_;
  bool descending_;
  bool needsManyCommonBits_;
  std::vector<std::uint64_t> signature_;
  std::uint64_t signatureBits_ = 0;
  std::vector<std::uint64_t> coarse_;  // the query's coarse signature (empty when the index has none)
  std::uint64_t coarseBits_ = 0;
};

// The slot range of bins [lo, hi].
struct BinRange {
  std::size_t lo;
  std::size_t hi;
};

// The filled bin with the best reachable score (the first of equals), or
// NumBins() when every bin is empty.
template <typename Score>
std::size_t PeakBin(const PrunedQuery<Score>& query, const SearchIndex& index) {
  std::size_t peak = index.NumBins();
  double peakBest = 0.0;
  for (const std::uint32_t p : index.FilledBins()) {
    const double best = query.Best(p);
    if (peak == index.NumBins() || query.IsBetter(best, peakBest)) {
      peak = p;
      peakBest = best;
    }
  }
  return peak;
}

// Searches bins outwards from the one with the best reachable score,
// always to the neighbour whose best is better, until no neighbour can beat
// the sink's threshold or the bins done hold `budget` records and `ready()`
// is true.
// Returns the bins done; `complete` tells whether the bins outside them
// were checked too (so the search is finished).
template <typename Score, typename Sink, typename Ready>
BinRange Seed(const PrunedQuery<Score>& query, const SearchIndex& index, Sink& sink, std::uint64_t budget,
              Ready&& ready, bool& complete) {
  // Indices into the filled bins: empty ones are never visited.
  const std::span<const std::uint32_t> bins = index.FilledBins();
  complete = bins.empty();
  if (complete) return {0, 0};
  auto best = [&](std::size_t k) { return query.Best(bins[k]); };
  auto scan = [&](std::size_t k) {
    query.ScanSlots(bins[k], index.BinBegin(bins[k]), index.BinEnd(bins[k]), sink);
    return index.BinEnd(bins[k]) - index.BinBegin(bins[k]);
  };
  const std::size_t peak = std::lower_bound(bins.begin(), bins.end(), PeakBin(query, index)) - bins.begin();
  std::size_t lo = peak, hi = peak;
  std::uint64_t done = scan(peak);
  for (;;) {
    if (done >= budget && ready()) return {bins[lo], bins[hi]};
    if (KvSystem::KvCancelRequested()) return {bins[lo], bins[hi]};  // the (discarded) search ends at this bin
    const bool hasLeft = lo > 0 && sink.Admits(best(lo - 1));
    const bool hasRight = hi + 1 < bins.size() && sink.Admits(best(hi + 1));
    if (!hasLeft && !hasRight) break;
    const bool goLeft = hasLeft && (!hasRight || !query.IsBetter(best(hi + 1), best(lo - 1)));
    const std::size_t k = goLeft ? --lo : ++hi;
    done += scan(k);
  }
  // Bounds that are not single-peaked may leave better bins further out.
  for (std::size_t k = 0; k < bins.size(); ++k) {
    if ((k < lo || k > hi) && sink.Admits(best(k))) scan(k);
  }
  complete = true;
  return {bins[lo], bins[hi]};
}

}  // namespace Varnex
