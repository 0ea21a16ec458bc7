// The multi-threaded sorted search into a KvSimSearchResult.
//
// Workers claim chunks of records from one atomic counter, score them into
// a private hit list and histogram (every score goes into the histogram, so
// nothing is pruned here) and merge both into the result once, under its
// lock. The lists share their threshold (a lock-free maximum each raises
// when its own rises), so no list keeps records that another list already
// holds `limit` better ones than. The calling thread is one of the workers.

#include <algorithm>
#include <atomic>
#include <exception>
#include <vector>

#include "database/searchresult_impl.h"
#include "fastdb/engine/engine.h"
#include "fastdb/engine/scan_loop.h"
#include "fastdb/engine/workers.h"
#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {
namespace {

constexpr const char* kSortedSearch = "KvFastFPDatabase::SortedSearch()";
// Records per claim: enough claims for an even split, few enough that the
// shared counters stay quiet.
std::uint64_t ChunkRecords(std::uint64_t n) { return std::clamp<std::uint64_t>(n / 128, 100, 8192); }
// Smaller databases are searched on the calling thread alone.
constexpr std::uint64_t kMinRecordsForThreads = 1000;

}  // namespace

unsigned KvFastFPDatabaseImplBase::SortedSearch(KvSimSearchResult& result, const KvFingerPrint& query,
                                                const KvFPDatabaseOptions& options) const {
  KvSimSearchResultImpl& state = *result.GetImpl();
  const RecordView view = View();
  state.Prepare(view.n, options);
  state.SetStatus(KvSimSearchStatus::InProgress);
  if (view.records == nullptr && view.n > 0) {
    KvSystem::KvThrow()->Warning(Msg::kNoFilePointer, kSortedSearch);
    return state.GetStatus();
  }

  const QueryWords q = MakeQuery(query);
  const ScanKernel& kernel = GetActiveScanKernel();
  const ScoreContext context = MakeScoreContext(q.bits, view.words, options);
  std::atomic<std::uint64_t> next{0};
  const std::uint64_t chunk = ChunkRecords(view.n);
  const bool descending = options.GetDescendingOrder();
  std::atomic<double> floor{KvGetScoreThreshold(options)};

  auto worker = [&](unsigned) {
    try {
      HitList<KvSimScore> hits = state.NewWorkerHitList();
      KvFPHistogram histogram = state.NewWorkerHistogram();
      WithScoreFunctor(options.GetSimFunc(), context, [&](const auto& score) {
        for (;;) {
          const std::uint64_t start = next.fetch_add(chunk, std::memory_order_relaxed);
          if (start >= view.n) break;
          const std::uint64_t end = std::min(view.n, start + chunk);
          ScanRange(kernel, view, start, end, q.words.data(), score, [&](std::uint64_t position, double value) {
            histogram.AddSample(value);
            if (!hits.Admits(value) || !hits.IsBetter(value, floor.load(std::memory_order_relaxed))) return;
            const double before = hits.ThresholdScore();
            hits.Offer(KvSimScore(view.MolIdx(position), value));
            if (hits.ThresholdScore() != before) RaiseShared(floor, hits.ThresholdScore(), descending);
          });
          state.AddSearched(end - start);
        }
      });
      state.Merge(hits, histogram);
    } catch (const std::exception& e) {
      KvSystem::KvThrow()->Warning(Msg::kOperationFailed, kSortedSearch, e.what());
    }
  };

  KvRunWorkers(view.n < kMinRecordsForThreads ? 1u : options.GetNumProcessors(), worker);
  state.SetStatus(KvSimSearchStatus::Finished);
  return state.GetStatus();
}

}  // namespace Varnex
