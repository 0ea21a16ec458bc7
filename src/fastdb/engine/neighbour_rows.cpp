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
// count lets them beat the list's lowest entry.

#include <algorithm>
#include <atomic>
#include <cstdint>
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
// Records of the first window of a replay after the first k; each window
// is twice the one before.
constexpr std::uint64_t kFirstWindow = 1024;
// Records compared per kernel call where every record is.
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
    std::nth_element(entries_.begin(), kth, entries_.end(), [](const auto& a, const auto& b) { return a.score > b.score; });
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

// Collects the records scoring above a fixed floor, as floats (a sink of
// pruned_scan.h).
class WindowSink {
 public:
  WindowSink(float floor, std::vector<RowNeighbours::Entry>& taken) : floor_(floor), taken_(taken) { taken_.clear(); }
  double Threshold() const { return floor_; }
  bool Admits(double score) const { return static_cast<float>(score) > floor_; }
  void Take(std::uint64_t position, double score) {
    taken_.push_back({static_cast<float>(score), static_cast<std::uint32_t>(position)});
  }

 private:
  float floor_;
  std::vector<RowNeighbours::Entry>& taken_;
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
        maxCount_(static_cast<std::uint32_t>(64 * view_.words)) {}

  void Run(unsigned threads) {
    const std::uint64_t n = view_.n;
    std::atomic<std::uint64_t> next{0};
    KvRunWorkers(threads, [&](unsigned) {
      TieSink sink;
      QueryWords query;
      std::vector<RowNeighbours::Entry> candidates;
      for (std::uint64_t first = KvClaim(next, n, kRowsPerClaim); first < n; first = KvClaim(next, n, kRowsPerClaim)) {
        const std::uint64_t last = std::min(n, first + kRowsPerClaim);
        for (std::uint64_t slot = first; slot < last; ++slot) Row(index_.Order()[slot], query, sink, candidates);
        if (KvSystem::KvDots* progress = options_.GetProgress(); progress != nullptr) progress->Update(last - first);
      }
    });
  }

 private:
  void Row(std::uint64_t row, QueryWords& query, TieSink& sink, std::vector<RowNeighbours::Entry>& candidates) const {
    engine_.RecordAsQuery(row, query);
    const Score score{MakeScoreContext(query.bits, view_.words, options_)};
    const PrunedQuery<Score> pruned(index_, view_, query, score, true);
    sink.Reset(k_);
    bool complete = false;
    Seed(pruned, index_, sink, ~std::uint64_t{0}, [] { return true; }, complete);
    const std::vector<RowNeighbours::Entry>& found = sink.Finish();
    RowNeighbours& list = lists_[row];
    if (found.size() <= k_) {
      for (const auto& entry : found) list.Offer(entry.score, entry.position);
      return;
    }
    const std::uint32_t last = found[k_ - 1].position;
    Replay(list, score, pruned, query, last, candidates);
    for (const auto& entry : found) {
      if (entry.position > last) list.Offer(entry.score, entry.position);
    }
  }

  // Offers records [from, to) in record order, every one compared.
  void OfferAll(RowNeighbours& list, const Score& score, const QueryWords& query, std::uint64_t from,
                std::uint64_t to) const {
    const ScanKernel& kernel = GetActiveScanKernel();
    std::uint32_t common[kRun];
    for (; from < to; from += kRun) {
      const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kRun, to - from));
      kernel.intersectRun(RecordWords(view_.At(from)), view_.stride, count, query.words.data(),
                          static_cast<std::size_t>(view_.words), common);
      for (std::size_t r = 0; r < count; ++r) {
        const double value = score(static_cast<double>(common[r]), static_cast<double>(counts_[from + r]));
        list.Offer(static_cast<float>(value), static_cast<std::uint32_t>(from + r));
      }
    }
  }

  // Offers records 0 to `last` in record order: the first k in full, the
  // rest in windows of growing size. A window's candidates are those that
  // beat the list's lowest entry as the window starts (a pruned scan of the
  // window's records, bin by bin, over the counts that can beat it); the
  // others would be refused anyway, since that entry only rises.
  void Replay(RowNeighbours& list, const Score& score, const PrunedQuery<Score>& pruned, const QueryWords& query,
              std::uint32_t last, std::vector<RowNeighbours::Entry>& candidates) const {
    const std::uint64_t end = std::uint64_t{last} + 1;
    std::uint64_t first = std::min<std::uint64_t>(end, k_);
    OfferAll(list, score, query, 0, first);
    const std::span<const std::uint32_t> order = index_.Order();
    for (std::uint64_t window = kFirstWindow; first < end; first += window, window *= 2) {
      const std::uint64_t stop = std::min(end, first + window);
      WindowSink sink(list.Floor(), candidates);
      const CountRange counts = AdmissibleCounts(score, list.Floor(), maxCount_);
      if (counts.lo > maxCount_) continue;  // none can beat it
      for (std::uint64_t p = counts.lo; p <= std::uint64_t{counts.lo} + counts.span; ++p) {
        const auto bin = order.begin();
        const auto from = std::lower_bound(bin + index_.BinBegin(p), bin + index_.BinEnd(p), first);
        const auto to = std::lower_bound(from, bin + index_.BinEnd(p), stop);
        if (from != to) pruned.ScanSlots(p, from - bin, to - bin, sink);
      }
      std::sort(candidates.begin(), candidates.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
      for (const auto& entry : candidates) list.Offer(entry.score, entry.position);
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
