// The state of a KvSimSearchResult and the operations the search engines use
// on it.
//
// A search runs: Prepare (target count, options; new hit list, valid), then
// SetStatus(InProgress), then each worker scores its records into the hit list
// and histogram from NewWorkerHitList() / NewWorkerHistogram(), raises the
// searched count with AddSearched after every chunk and hands both to Merge
// once at its end; finally SetStatus(Finished).
//
// Locking: the hit list, the histogram and the options copy are guarded by
// one mutex (Prepare, Merge and the readers take it). The status, the valid
// flag and the counters are atomics, so readers on other threads see them
// without a lock; they are written by the searching thread only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "database/hitlist.h"
#include "varnex/dboptions.h"
#include "varnex/histogram.h"
#include "varnex/searchresult.h"

namespace Varnex {

class KvSimSearchResultImpl {
 public:
  KvSimSearchResultImpl(std::size_t nbins, double min, double max);

  // Readies the result for a search over `targetCount` records: searched
  // count 0, a copy of `options`, a new hit list (limit = the options' limit,
  // or targetCount when that is 0; the options' order and cutoff), valid. The
  // histogram is kept, so a second search adds to its counts.
  void Prepare(std::uint64_t targetCount, const KvFPDatabaseOptions& options);

  unsigned int GetStatus() const { return status_.load(std::memory_order_acquire); }
  void SetStatus(unsigned int status) { status_.store(status, std::memory_order_release); }
  bool IsValid() const { return valid_.load(std::memory_order_acquire); }
  std::uint64_t NumTargets() const { return targets_.load(std::memory_order_acquire); }
  std::uint64_t NumSearched() const { return searched_.load(std::memory_order_acquire); }
  // Raises the searched count by `count` (atomic; any thread).
  void AddSearched(std::uint64_t count) { searched_.fetch_add(count, std::memory_order_acq_rel); }

  // The limit of the hit list made by Prepare (0 before any search).
  std::size_t GetLimit() const;
  // An empty hit list with the result's limit, order and cutoff, for one
  // worker. REQUIRES: Prepare was called.
  HitList<KvSimScore> NewWorkerHitList() const;
  // An empty histogram with the result histogram's bins and range.
  KvFPHistogram NewWorkerHistogram() const;

  // Under the lock: adds `histogram` to the result's (histogram merge rules),
  // then offers every record of `hits`, in buffer order, to the result's hit
  // list, which compacts whenever it holds more than twice its limit.
  void Merge(const HitList<KvSimScore>& hits, const KvFPHistogram& histogram);

  // The readers of KvSimSearchResult.
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores();
  KvFPHistogram GetHistogram() const;

 private:
  const std::uint64_t numBins_;
  const double min_;
  const double max_;
  std::atomic<bool> valid_{false};
  std::atomic<std::uint64_t> targets_{0};
  std::atomic<std::uint64_t> searched_{0};
  std::atomic<unsigned int> status_{KvSimSearchStatus::Uninitialized};

  mutable std::mutex mutex_;  // guards everything below
  std::unique_ptr<KvFPDatabaseOptions> options_;
  KvFPHistogram histogram_;
  std::optional<HitList<KvSimScore>> hits_;
};

}  // namespace Varnex
