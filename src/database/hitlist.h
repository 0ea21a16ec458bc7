// The bounded best-first hit list of the sorted searches.
//
// A hit list keeps the best `limit` (L) records offered to it. Records are
// appended to a buffer with room for 2L; when the buffer grows past 2L it is
// compacted by selection (std::nth_element) so that the L best come first with
// the L-th best at position L - 1, and that record becomes the threshold a
// new candidate must beat. Finish() sorts the best min(L, size) records best
// first and drops the rest. The order among equal scores is not defined.
//
// Before the first compaction the threshold is a record of index 0xFFFFFFFF
// whose score is the cutoff when one is in force, else the smallest positive
// normal double (descending) or the largest double (ascending). A candidate is
// admitted only when it is strictly better than the threshold, so a
// descending search without cutoff never keeps scores of 0.0 or below.
//
// `Record` is any small value with a constructor (index, score) and a
// `GetScore()` returning double (KvSimScore; flat pairs of a scan engine).
// Both the in-memory database, the fast search engines and the search result
// use this one class.
//
// Thread safety: none; each thread keeps its own list, and shared lists are
// guarded by their owner (the search result's mutex).
#pragma once

#include <algorithm>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"

namespace Varnex {

template <typename Record = KvSimScore>
class HitList {
 public:
  // The index of the initial threshold record.
  static constexpr std::uint64_t kThresholdIndex = 0xFFFFFFFFu;
  static constexpr std::size_t kMaxRoom = static_cast<std::size_t>(-1);

  // REQUIRES nothing: limit 0 makes a list that admits nothing. The buffer is
  // reserved for min(2 limit + 1, maxCandidates) records, so a huge limit over
  // a small range costs no memory.
  HitList(std::size_t limit, bool descending, bool hasCutoff, double cutoff,
            std::size_t maxCandidates = static_cast<std::size_t>(-1))
      : limit_(limit),
        descending_(descending),
        threshold_(kThresholdIndex, InitialThreshold(descending, hasCutoff, cutoff)),
        thresholdScore_(threshold_.GetScore()) {
    const std::size_t room = limit < kMaxRoom / 2 ? 2 * limit + 1 : kMaxRoom;
    buffer_.reserve(std::min(room, maxCandidates));
  }

  // The same rule as a search options object: its order, its cutoff (when in
  // force) and the given limit.
  HitList(std::size_t limit, const KvFPDatabaseOptions& options,
            std::size_t maxCandidates = static_cast<std::size_t>(-1))
      : HitList(limit, options.GetDescendingOrder(), true, KvGetScoreThreshold(options), maxCandidates) {}

  // The score of the threshold record before any compaction.
  static double InitialThreshold(bool descending, bool hasCutoff, double cutoff) {
    if (hasCutoff) return cutoff;
    return descending ? DBL_MIN : DBL_MAX;
  }

  // Whether a score is strictly better than another in this list's order.
  bool IsBetter(double a, double b) const { return descending_ ? a > b : a < b; }
  // Whether `score` would be admitted now. Never true with limit 0.
  bool Admits(double score) const { return limit_ != 0 && IsBetter(score, thresholdScore_); }

  // Appends `record` when it beats the threshold, compacting when the buffer
  // holds more than 2L records. Returns whether it was admitted.
  bool Offer(const Record& record) {
    if (!Admits(record.GetScore())) return false;
    buffer_.push_back(record);
    if (buffer_.size() > 2 * limit_) Compact();
    return true;
  }

  // Keeps the L best records (the L-th best at position L - 1, which becomes
  // the threshold) and drops the rest. Nothing happens with L records or fewer.
  void Compact() {
    if (buffer_.size() <= limit_ || limit_ == 0) return;
    const auto nth = buffer_.begin() + static_cast<std::ptrdiff_t>(limit_ - 1);
    if (descending_) {
      std::nth_element(buffer_.begin(), nth, buffer_.end(), Descending);
    } else {
      std::nth_element(buffer_.begin(), nth, buffer_.end(), Ascending);
    }
    buffer_.erase(buffer_.begin() + static_cast<std::ptrdiff_t>(limit_), buffer_.end());
    threshold_ = buffer_.back();
    thresholdScore_ = threshold_.GetScore();
  }

  // Compacts only when the buffer holds more than 2L records.
  void CompactIfOverfull() {
    if (buffer_.size() > 2 * limit_) Compact();
  }

  // Sorts the best min(L, size) records best first, drops the rest and trims
  // the storage. Finishing twice changes nothing.
  void Finish() {
    const std::size_t keep = std::min(limit_, buffer_.size());
    const auto middle = buffer_.begin() + static_cast<std::ptrdiff_t>(keep);
    if (descending_) {
      std::partial_sort(buffer_.begin(), middle, buffer_.end(), Descending);
    } else {
      std::partial_sort(buffer_.begin(), middle, buffer_.end(), Ascending);
    }
    buffer_.erase(middle, buffer_.end());
    buffer_.shrink_to_fit();
    if (keep == limit_ && keep > 0) {
      threshold_ = buffer_.back();
      thresholdScore_ = threshold_.GetScore();
    }
  }

  std::size_t Limit() const { return limit_; }
  bool IsDescending() const { return descending_; }
  std::size_t Size() const { return buffer_.size(); }
  bool Empty() const { return buffer_.empty(); }
  // The record a candidate must beat, and its score.
  const Record& Threshold() const { return threshold_; }
  double ThresholdScore() const { return thresholdScore_; }
  // The records in buffer order (comparator order only after Finish()).
  std::span<const Record> Entries() const { return {buffer_.data(), buffer_.size()}; }
  // Moves the records out; the list is left empty with its threshold.
  std::vector<Record> TakeEntries() { return std::move(buffer_); }

 private:
  static bool Descending(const Record& a, const Record& b) { return a.GetScore() > b.GetScore(); }
  static bool Ascending(const Record& a, const Record& b) { return a.GetScore() < b.GetScore(); }

  std::size_t limit_;
  bool descending_;
  Record threshold_;
  double thresholdScore_;
  std::vector<Record> buffer_;
};

// A caller-owned iterator that takes over a hit list's records and walks them
// in buffer order (finish the list first for best-first order).
template <typename Record = KvSimScore>
class HitListIter final : public KvSystem::KvIterBase<Record> {
 public:
  explicit HitListIter(HitList<Record>&& hits) : entries_(hits.TakeEntries()) {}
  explicit operator bool() const override { return pos_ < entries_.size(); }
  Record& operator*() override { return entries_[pos_]; }
  HitListIter& operator++() override {
    if (pos_ < entries_.size()) ++pos_;
    return *this;
  }

 private:
  std::vector<Record> entries_;
  std::size_t pos_ = 0;
};

// Finishes `hits` and hands it out as a caller-owned iterator; an empty list
// gives the empty iterator.
template <typename Record>
KvSystem::KvIterBase<Record>* MakeHitListIter(HitList<Record> hits) {
  hits.Finish();
  if (hits.Empty()) return KvSystem::KvMakeEmptyIter<Record>();
  return new HitListIter<Record>(std::move(hits));
}

}  // namespace Varnex
