// One query against every record: all scores, the best scores, raw scores.

#include <vector>

#include "fastdb/engine.h"
#include "fastdb/scan_loop.h"

namespace Varnex {

KvSystem::KvIterBase<KvSimScore>* KvFastFPDatabaseImplBase::GetScores(const KvFingerPrint& query,
                                                                     const KvFPDatabaseOptions& options) const {
  const KvRecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const KvQueryWords q = MakeQuery(query);
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  const bool hasCutoff = options.HasCutoff();
  const bool descending = options.GetDescendingOrder();
  const double cutoff = static_cast<double>(options.GetCutoff());

  std::vector<KvSimScore> scores;
  scores.reserve(static_cast<std::size_t>(view.n));
  KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
    KvScanRange(kernel, view, 0, view.n, q.words.data(), score, [&](std::uint64_t position, double value) {
      const bool keep = !hasCutoff || (descending ? value >= cutoff : value <= cutoff);
      if (keep) scores.emplace_back(view.MolIdx(position), value);
    });
  });
  if (scores.empty()) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return KvSystem::KvMakeVectorIter(std::move(scores));
}

KvHitList<KvSimScore> KvFastFPDatabaseImplBase::SortedHits(const KvQueryWords& query,
                                                           const KvFPDatabaseOptions& options, bool prune) const {
  const KvRecordView view = View();
  const std::size_t limit = options.GetLimit() != 0 ? options.GetLimit() : static_cast<std::size_t>(view.n);
  KvHitList<KvSimScore> hits(limit, options, static_cast<std::size_t>(view.n));
  if (view.n == 0 || view.records == nullptr) return hits;
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(query.bits, view.words, options), [&](const auto& score) {
    if (prune && !index_.Empty()) {
      KvScanIntoHitListPruned(kernel, view, index_, query.words.data(), score, hits);
    } else {
      KvScanIntoHitList(kernel, view, 0, view.n, query.words.data(), score, hits);
    }
  });
  return hits;
}

KvSystem::KvIterBase<KvSimScore>* KvFastFPDatabaseImplBase::GetSortedScores(const KvFingerPrint& query,
                                                                           const KvFPDatabaseOptions& options,
                                                                           bool prune) const {
  return KvMakeHitListIter(SortedHits(MakeQuery(query), options, prune));
}

KvSystem::KvIterBase<double>* KvFastFPDatabaseImplBase::GetRawScores(const KvFingerPrint& query,
                                                                    const KvFPDatabaseOptions& options) const {
  const KvRecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<double>();
  const KvQueryWords q = MakeQuery(query);
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  std::vector<double> scores(static_cast<std::size_t>(view.n));
  KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
    KvScanRange(kernel, view, 0, view.n, q.words.data(), score,
                [&](std::uint64_t position, double value) { scores[position] = value; });
  });
  return KvSystem::KvMakeVectorIter(std::move(scores));
}

}  // namespace Varnex
