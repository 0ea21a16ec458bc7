// KvSimSearchResult: status names, preparation, the locked merge of worker
// results and the readers that may run during a search.

#include <algorithm>
#include <array>

#include "database/searchresult_impl.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {

const std::string& KvSimSearchStatusToName(unsigned int status) {
  // Built once; function-local statics are initialised thread-safely.
  static const std::array<std::string, 4> names = {"Uninitialized", "InProgress", "Finished", "Invalid"};
  return names[std::min(status, 3u)];
}

KvSimSearchResultImpl::KvSimSearchResultImpl(std::size_t nbins, double min, double max)
    : numBins_(nbins), min_(min), max_(max), histogram_(std::max<std::size_t>(nbins, 1), min, max) {}

void KvSimSearchResultImpl::Prepare(std::uint64_t targetCount, const KvFPDatabaseOptions& options) {
  const std::size_t limit = options.GetLimit() != 0 ? options.GetLimit() : targetCount;
  HitList<KvSimScore> hits(limit, options, targetCount);
  auto copy = std::make_unique<KvFPDatabaseOptions>(options);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    options_ = std::move(copy);
    hits_.reset();
    hits_.emplace(std::move(hits));
  }
  targets_.store(targetCount, std::memory_order_release);
  searched_.store(0, std::memory_order_release);
  valid_.store(true, std::memory_order_release);
}

std::size_t KvSimSearchResultImpl::GetLimit() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return hits_ ? hits_->Limit() : 0;
}

HitList<KvSimScore> KvSimSearchResultImpl::NewWorkerHitList() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!hits_ || !options_) return HitList<KvSimScore>(0, true, false, 0.0);
  return HitList<KvSimScore>(hits_->Limit(), *options_, NumTargets());
}

KvFPHistogram KvSimSearchResultImpl::NewWorkerHistogram() const {
  return KvFPHistogram(std::max<std::size_t>(numBins_, 1), min_, max_);
}

void KvSimSearchResultImpl::Merge(const HitList<KvSimScore>& hits, const KvFPHistogram& histogram) {
  std::lock_guard<std::mutex> lock(mutex_);
  histogram_ += histogram;
  if (!hits_) return;
  for (const KvSimScore& hit : hits.Entries()) hits_->Offer(hit);
}

KvSystem::KvIterBase<KvSimScore>* KvSimSearchResultImpl::GetSortedScores() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!IsValid() || !hits_ || hits_->Empty()) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const unsigned int status = GetStatus();
  if (status == KvSimSearchStatus::Uninitialized) {
    KvSystem::KvThrow()->Warning(Msg::kResultUninitialized, "KvSimSearchResult::GetSortedScores()");
    return KvSystem::KvMakeEmptyIter<KvSimScore>();
  }
  if (status == KvSimSearchStatus::Finished) {
    hits_->Finish();
  } else {
    hits_->CompactIfOverfull();
  }
  const auto entries = hits_->Entries();
  std::vector<KvSimScore> copy(entries.begin(), entries.end());
  return KvSystem::KvMakeVectorIter(std::move(copy));
}

KvFPHistogram KvSimSearchResultImpl::GetHistogram() const {
  if (GetStatus() == KvSimSearchStatus::Uninitialized) {
    KvSystem::KvThrow()->Warning(Msg::kResultUninitialized, "KvSimSearchResult::GetHistogram()");
    return KvFPHistogram(200, 0.0, 1.0);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return histogram_;
}

KvSimSearchResult::KvSimSearchResult(std::size_t nbins, double min, double max)
    : impl_(std::make_unique<KvSimSearchResultImpl>(nbins, min, max)) {}

KvSimSearchResult::~KvSimSearchResult() = default;

unsigned int KvSimSearchResult::GetSearchStatus() const { return impl_->GetStatus(); }
bool KvSimSearchResult::IsValid() const { return impl_->IsValid(); }
std::uint64_t KvSimSearchResult::NumTargets() const { return impl_->NumTargets(); }
std::uint64_t KvSimSearchResult::NumSearched() const { return impl_->NumSearched(); }

KvSystem::KvIterBase<KvSimScore>* KvSimSearchResult::GetSortedScores() { return impl_->GetSortedScores(); }
KvFPHistogram KvSimSearchResult::GetHistogram() const { return impl_->GetHistogram(); }

}  // namespace Varnex
