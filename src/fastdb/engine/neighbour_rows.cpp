// The neighbour matrix row by row: each record's list from one pruned search
// of its own. Its cost grows with the records a search visits, not with n²
// as the tiles of matrix.cpp do, so it serves large databases whenever the
// pruned search applies (every measure but Manhattan, whose highest scores
// are the farthest records) and the limit is small against the database.
//
// A row's search keeps every record that scores at least the k-th highest
// score of the row (equal scores included: its threshold admits ties, at the
// float precision of the lists). When there are exactly k, they are the
// list whatever the order of the offers. When there are more, which of the
// equal ones the list keeps depends on that order, so the row is replayed
// in record order, but only up to the position of the k-th record the
// search found: from there on the list's lowest entry is the k-th highest
// score, which only the records found above it can still beat, and they are
// offered last. Before it, the replay compares only the records whose bit
// count and signature let them beat the list's lowest entry; it reads the
// signatures in record order, from a copy made when the matrix starts.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "fastdb/engine/engine.h"
#include "fastdb/engine/neighbour_list.h"
#include "fastdb/engine/pruned_scan.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/dots.h"

namespace Varnex {
namespace {

// Rows per claim of a worker, taken in bit-count order so that a thread's
// consecutive searches visit the same bins.
constexpr std::uint64_t kRowsPerClaim = 64;
// Rows are searched one by one for limits of at most n / kRowLimitShare.
constexpr std::uint64_t kRowLimitShare = 8;
// Records per run of a replay (one kernel call).
constexpr std::size_t kRun = 128;

// The records scoring at least the k-th highest score offered so far, as
// floats (a sink of pruned_scan.h).
class TieSink {
 public:
  void Reset(std::size_t k) {
    k_ = k;
    room_ = 2 * k;
    floor_ = kNoFloor;
    entries_.clear();
  }
  double Threshold() const { return floor_; }
  bool Admits(double score) const { return static_cast<float>(score) >= floor_; }
  void Take(std::uint64_t position, double score) {
    entries_.push_back({static_cast<float>(score), static_cast<std::uint32_t>(position)});
    if (entries_.size() > room_) Compact();
  }
  // The records at or above the k-th highest score, in record order.
  std::vector<RowNeighbours::Entry>& Finish() {
    Compact();
    std::sort(entries_.begin(), entries_.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
    return entries_;
  }

 private:
  void Compact() {
    if (entries_.size() < k_ || k_ == 0) return;
    const auto kth = entries_.begin() + static_cast<std::ptrdiff_t>(k_ - 1);
    std::nth_element(entries_.begin(), kth, entries_.end(),
                     [](const auto& a, const auto& b) { return a.score > b.score; });
    floor_ = kth->score;
    std::erase_if(entries_, [&](const auto& e) { return e.score < floor_; });
    // Many equal scores may stay: room for as many again before the next pass.
    room_ = std::max(2 * k_, 2 * entries_.size());
  }

  std::size_t k_ = 0;
  std::size_t room_ = 0;
  float floor_ = kNoFloor;
  std::vector<RowNeighbours::Entry> entries_;
};

template <typename Score>
class NeighbourRows {
 public:
  NeighbourRows(const KvFastFPDatabaseImplBase& engine, const KvFPDatabaseOptions& options, std::size_t k,
                NeighbourLists& lists)
      : engine_(engine),
        view_(engine.View()),
        index_(engine.Index()),
        options_(options),
        k_(k),
        lists_(lists),
        counts_(index_.Counts().data()),
        maxCount_(static_cast<std::uint32_t>(64 * view_.words)),
        sigWords_(index_.SignatureWords()),
        sigs_(static_cast<std::size_t>(view_.n) * sigWords_),
        sigBits_(static_cast<std::size_t>(view_.n)) {
    // The replays read records in record order: the signatures too.
    const std::span<const std::uint32_t> order = index_.Order();
    for (std::uint64_t slot = 0; slot < view_.n; ++slot) {
      const std::uint32_t position = order[slot];
      std::memcpy(sigs_.data() + position * sigWords_, index_.Signature(slot), 8 * sigWords_);
      sigBits_[position] = index_.SignatureBits()[slot];
    }
  }

  void Run(unsigned threads) {
    const std::uint64_t n = view_.n;
    std::atomic<std::uint64_t> next{0};
    KvRunWorkers(threads, [&](unsigned) {
      RowScratch scratch(sigWords_);
      for (std::uint64_t first = KvClaim(next, n, kRowsPerClaim); first < n; first = KvClaim(next, n, kRowsPerClaim)) {
        const std::uint64_t last = std::min(n, first + kRowsPerClaim);
        for (std::uint64_t slot = first; slot < last; ++slot) Row(index_.Order()[slot], scratch);
        if (KvSystem::KvDots* progress = options_.GetProgress(); progress != nullptr) progress->Update(last - first);
      }
    });
  }

 private:
  // A worker's buffers, reused row after row.
  struct RowScratch {
    explicit RowScratch(std::size_t sigWords) : signature(sigWords) {}
    TieSink sink;
    QueryWords query;
    std::vector<std::uint64_t> signature;  // the row's own, folded
  };

  void Row(std::uint64_t row, RowScratch& scratch) const {
    QueryWords& query = scratch.query;
    engine_.RecordAsQuery(row, query);
    const Score score{MakeScoreContext(query.bits, view_.words, options_)};
    scratch.sink.Reset(k_);
    {
      const PrunedQuery<Score> pruned(index_, view_, query, score, true);
      bool complete = false;
      Seed(pruned, index_, scratch.sink, ~std::uint64_t{0}, [] { return true; }, complete);
    }
    const std::vector<RowNeighbours::Entry>& found = scratch.sink.Finish();
    RowNeighbours& list = lists_[row];
    if (found.size() <= k_) {
      for (const auto& entry : found) list.Offer(entry.score, entry.position);
      return;
    }
    const std::uint32_t last = found[k_ - 1].position;
    Replay(list, score, scratch, std::uint64_t{last} + 1);
    for (const auto& entry : found) {
      if (entry.position > last) list.Offer(entry.score, entry.position);
    }
  }

  // Offers records [0, end) in record order: the first k every one, the
  // rest in runs whose records are compared only when their bit count and
  // then their signature let them beat the list's lowest entry as the run
  // starts (the others would be refused anyway: that entry only rises).
  void Replay(RowNeighbours& list, const Score& score, RowScratch& scratch, std::uint64_t end) const {
    const ScanKernel& kernel = GetActiveScanKernel();
    const QueryWords& query = scratch.query;
    const std::size_t w = static_cast<std::size_t>(view_.words);
    std::uint32_t near[kRun];
    std::uint32_t positions[kRun];
    std::uint32_t common[kRun];
    std::uint64_t first = std::min<std::uint64_t>(end, k_);
    for (std::uint64_t j = 0; j < first; j += kRun) {
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kRun, first - j));
      kernel.intersectRun(RecordWords(view_.At(j)), view_.stride, count, query.words.data(), w, common);
      for (std::size_t r = 0; r < count; ++r)
        list.Offer(static_cast<float>(score(static_cast<double>(common[r]), static_cast<double>(counts_[j + r]))),
                   static_cast<std::uint32_t>(j + r));
    }
    if (first >= end) return;
    index_.Fold(query.words.data(), w, scratch.signature.data());
    const std::uint32_t queryBits = static_cast<std::uint32_t>(query.bits);
    const std::uint32_t queryExcess =
        queryBits - static_cast<std::uint32_t>(kernel.popCount(scratch.signature.data(), sigWords_));
    CountRange range{0, maxCount_};
    float rangeFloor = kNoFloor;
    for (; first < end; first += kRun) {
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kRun, end - first));
      const float floor = list.Floor();
      if (floor != rangeFloor) {
        rangeFloor = floor;
        range = AdmissibleCounts(score, floor, maxCount_);
      }
      std::size_t m = 0;
      for (std::size_t r = 0; r < count; ++r) {
        near[m] = static_cast<std::uint32_t>(first + r);
        m += range.Holds(counts_[first + r]);
      }
      if (m == 0) continue;
      kernel.intersectAt(reinterpret_cast<const std::uint8_t*>(sigs_.data()), 8 * sigWords_, near, m,
                         scratch.signature.data(), sigWords_, common);
      // (A score that rounds to a float above the floor is above it as a
      // double too, so comparing the doubles keeps every candidate.)
      std::size_t kept = 0;
      for (std::size_t e = 0; e < m; ++e) {
        const std::uint32_t j = near[e];
        const std::uint32_t p = counts_[j];
        const std::uint32_t bound = CommonBitsBound<std::uint32_t>(common[e], p, sigBits_[j], queryBits, queryExcess);
        const double reach =
            WithBoundMargin<Score>(score(static_cast<double>(bound), static_cast<double>(p)), true);
        positions[kept] = j;
        kept += reach > static_cast<double>(floor);
      }
      if (kept == 0) continue;
      kernel.intersectAt(view_.records + 16, view_.stride, positions, kept, query.words.data(), w, common);
      for (std::size_t e = 0; e < kept; ++e) {
        const double value = score(static_cast<double>(common[e]), static_cast<double>(counts_[positions[e]]));
        list.Offer(static_cast<float>(value), positions[e]);
      }
    }
  }

  const KvFastFPDatabaseImplBase& engine_;
  const RecordView view_;
  const SearchIndex& index_;
  const KvFPDatabaseOptions& options_;
  const std::size_t k_;
  NeighbourLists& lists_;
  const std::uint32_t* counts_;  // bit counts by position
  const std::uint32_t maxCount_;
  const std::size_t sigWords_;
  std::vector<std::uint64_t> sigs_;     // the index's signatures by position
  std::vector<std::uint16_t> sigBits_;  // and the bits they set
};

}  // namespace

bool SearchNeighbourRows(const KvFastFPDatabaseImplBase& engine, const KvFPDatabaseOptions& options, std::size_t k,
                         NeighbourLists& lists) {
  const RecordView view = engine.View();
  if (view.n < MatrixRowsFrom() || engine.Index().Empty() || k == 0 || k > view.n / kRowLimitShare) return false;
  bool done = false;
  WithScoreFunctor(options.GetSimFunc(), ScoreContext{}, [&](const auto& prototype) {
    using Score = std::decay_t<decltype(prototype)>;
    if constexpr (kIncreasingInCommonBits<Score>) {
      NeighbourRows<Score>(engine, options, k, lists).Run(options.GetNumProcessors());
      done = true;
    }
  });
  return done;
}

}  // namespace Varnex
