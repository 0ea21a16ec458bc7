// The two scans of the in-memory database, shared by its implementations:
// every score in index order within a cutoff, and the best scores through the
// bounded hit list. `scoreAt(i)` gives the float score of entry i.
#pragma once

#include <cstddef>
#include <vector>

#include "database/hitlist.h"
#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// How a scan filters and orders: the cutoff (when in force) and the order.
struct ScanRule {
  bool hasCutoff = false;
  float cutoff = 0.0f;
  bool descending = true;
};

// Entries [begin, end) in index order; with a cutoff only scores >= cutoff
// (descending) or <= cutoff (ascending). Empty results give the empty iterator.
template <typename ScoreAt>
KvSystem::KvIterBase<KvSimScore>* ScanRecordScores(ScoreAt&& scoreAt, std::size_t begin, std::size_t end,
                                               const ScanRule& rule) {
  if (begin >= end) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  std::vector<KvSimScore> scores;
  if (!rule.hasCutoff) {
    scores.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) scores.emplace_back(i, static_cast<double>(scoreAt(i)));
  } else if (rule.descending) {
    for (std::size_t i = begin; i < end; ++i) {
      const float score = scoreAt(i);
      if (score >= rule.cutoff) scores.emplace_back(i, static_cast<double>(score));
    }
  } else {
    for (std::size_t i = begin; i < end; ++i) {
      const float score = scoreAt(i);
      if (score <= rule.cutoff) scores.emplace_back(i, static_cast<double>(score));
    }
  }
  if (scores.empty()) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return KvSystem::KvMakeVectorIter(std::move(scores));
}

// A caller-owned iterator that reads a vector of fingerprints in place.
class FingerPrintViewIter final : public KvSystem::KvIterBase<const KvFingerPrint> {
 public:
  explicit FingerPrintViewIter(const std::vector<KvFingerPrint>& fps) : fps_(fps) {}
  explicit operator bool() const override { return pos_ < fps_.size(); }
  const KvFingerPrint& operator*() override { return fps_[pos_]; }
  FingerPrintViewIter& operator++() override {
    if (pos_ < fps_.size()) ++pos_;
    return *this;
  }

 private:
  const std::vector<KvFingerPrint>& fps_;
  std::size_t pos_ = 0;
};

// The best `limit` entries of [begin, end), best first; only scores strictly
// better than the hit list's threshold are kept.
template <typename ScoreAt>
KvSystem::KvIterBase<KvSimScore>* ScanSortedRecordScores(ScoreAt&& scoreAt, std::size_t begin, std::size_t end,
                                                     std::size_t limit, const ScanRule& rule) {
  if (begin >= end) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  HitList<KvSimScore> hits(limit, rule.descending, rule.hasCutoff, static_cast<double>(rule.cutoff), end - begin);
  for (std::size_t i = begin; i < end; ++i) {
    hits.Offer(KvSimScore(i, static_cast<double>(scoreAt(i))));
  }
  return MakeHitListIter(std::move(hits));
}

}  // namespace Varnex
