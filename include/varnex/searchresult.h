// The result of a multi-threaded sorted search of the fast database.
//
// KvSimSearchResult receives what KvFastFPDatabase::SortedSearch finds: the
// best hits, a histogram of every score computed and progress counters. The
// search writes into it from several threads; the caller may read the status,
// the counters, the hits and the histogram from other threads while the search
// runs (hits read during a search are not yet in final order).
//
// Ownership: the result owns its implementation; it is neither copied nor
// assigned. Iterators handed out are owned by the caller.
// Thread safety: the readers below may run on any thread, also during a
// search. Starting two searches into one result at once is not supported.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "kvsystem/iterator.h"
#include "varnex/dboptions.h"
#include "varnex/histogram.h"

namespace Varnex {

// Search status codes (unsigned).
namespace KvSimSearchStatus {
inline constexpr unsigned int Uninitialized = 0;
inline constexpr unsigned int InProgress = 1;
inline constexpr unsigned int Finished = 2;
}  // namespace KvSimSearchStatus

// "Uninitialized", "InProgress", "Finished" for 0, 1, 2; "Invalid" otherwise.
// Thread-safe.
const std::string& KvSimSearchStatusToName(unsigned int status);

// The internal state shared with the search engines (src/database/searchresult_impl.h).
class KvSimSearchResultImpl;

class KvSimSearchResult {
 public:
  // 50 histogram bins over [0, 1].
  KvSimSearchResult() : KvSimSearchResult(50, 0.0, 1.0) {}
  // A histogram of max(nbins, 1) bins over [min, max]; status Uninitialized.
  KvSimSearchResult(std::size_t nbins, double min, double max);
  ~KvSimSearchResult();
  KvSimSearchResult(const KvSimSearchResult&) = delete;
  KvSimSearchResult& operator=(const KvSimSearchResult&) = delete;

  // A KvSimSearchStatus code.
  unsigned int GetSearchStatus() const;
  // True once a search has prepared the result.
  bool IsValid() const;
  // The number of records the search covers, and how many it has scored so far.
  std::uint64_t NumTargets() const;
  std::uint64_t NumSearched() const;

  // The hits, best first once the search has finished; during a search in
  // no particular order. Empty without warning when nothing was found or no
  // search prepared the result; with status Uninitialized after a search the
  // warning "KvSimSearchResult::GetSortedScores() : result object is
  // uninitialized!" and the empty iterator. The caller owns the iterator.
  KvSystem::KvIterBase<KvSimScore>* GetSortedScores();
  // A copy of the histogram of all scores. With status Uninitialized the
  // warning "KvSimSearchResult::GetHistogram() : result object is
  // uninitialized!" and an empty histogram of 200 bins over [0, 1].
  KvFPHistogram GetHistogram() const;

  // The state the engines write into. Never null.
  KvSimSearchResultImpl* GetImpl() { return impl_.get(); }
  const KvSimSearchResultImpl* GetImpl() const { return impl_.get(); }

 private:
  std::unique_ptr<KvSimSearchResultImpl> impl_;
};

}  // namespace Varnex
