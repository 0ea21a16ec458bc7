// The batch forms: many queries, one result each, on several threads.

#include <atomic>
#include <vector>

#include "fastdb/engine.h"
#include "fastdb/scan_loop.h"
#include "fastdb/workers.h"

namespace Varnex {
namespace {

// Calls answer(k) for every k < count on `threads` workers claiming one
// query at a time.
template <typename Answer>
void ForEachQueryOnThreads(std::size_t count, unsigned threads, Answer&& answer) {
  std::atomic<std::size_t> next{0};
  KvRunWorkers(std::min<unsigned>(threads, static_cast<unsigned>(count)), [&](unsigned) {
    for (std::size_t k = next.fetch_add(1); k < count; k = next.fetch_add(1)) answer(k);
  });
}

}  // namespace

std::vector<std::vector<KvSimScore>> KvFastFPDatabaseImplBase::GetSortedScoresMany(
    const std::vector<const KvFingerPrint*>& queries, const KvFPDatabaseOptions& options) const {
  std::vector<std::vector<KvSimScore>> results(queries.size());
  ForEachQueryOnThreads(queries.size(), options.GetNumProcessors(), [&](std::size_t k) {
    KvHitList<KvSimScore> hits = SortedHits(MakeQuery(*queries[k]), options, true);
    hits.Finish();
    results[k] = hits.TakeEntries();
  });
  return results;
}

std::vector<std::uint64_t> KvFastFPDatabaseImplBase::NumHitsMany(const std::vector<const KvFingerPrint*>& queries,
                                                                 const KvFPDatabaseOptions& options) const {
  std::vector<std::uint64_t> results(queries.size(), 0);
  const KvRecordView view = View();
  if (view.records == nullptr) return results;
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  const bool descending = options.GetDescendingOrder();
  const double threshold = KvHitList<KvSimScore>::InitialThreshold(descending, options.HasCutoff(),
                                                                    static_cast<double>(options.GetCutoff()));
  ForEachQueryOnThreads(queries.size(), options.GetNumProcessors(), [&](std::size_t k) {
    const KvQueryWords q = MakeQuery(*queries[k]);
    std::uint64_t count = 0;
    KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
      KvScanRange(kernel, view, 0, view.n, q.words.data(), score, [&](std::uint64_t, double value) {
        count += descending ? value > threshold : value < threshold;
      });
    });
    results[k] = count;
  });
  return results;
}

std::vector<KvFPHistogram> KvFastFPDatabaseImplBase::GetHistogramMany(const std::vector<const KvFingerPrint*>& queries,
                                                                      const KvFPDatabaseOptions& options,
                                                                      std::size_t nbins) const {
  std::vector<KvFPHistogram> results(queries.size(), KvFPHistogram(nbins, 0.0, 1.0));
  const KvRecordView view = View();
  if (view.records == nullptr) return results;
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  ForEachQueryOnThreads(queries.size(), options.GetNumProcessors(), [&](std::size_t k) {
    const KvQueryWords q = MakeQuery(*queries[k]);
    KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
      KvScanRange(kernel, view, 0, view.n, q.words.data(), score,
                  [&](std::uint64_t, double value) { results[k].AddSample(value); });
    });
  });
  return results;
}

}  // namespace Varnex
