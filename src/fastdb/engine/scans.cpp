// One query against every record: all scores, the best scores, raw scores.

#include <vector>

#include "fastdb/engine/engine.h"
#include "kvsystem/call_context.h"
#include "fastdb/engine/scan_loop.h"

namespace Varnex {

KvSystem::KvIterBase<KvSimScore>* KvFastFPDatabaseImplBase::GetScores(const KvFingerPrint& query,
                                                                     const KvFPDatabaseOptions& options) const {
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  const QueryWords q = MakeQuery(query);
  const ScanKernel& kernel = GetActiveScanKernel();
  const bool hasCutoff = options.HasCutoff();
  const bool descending = options.GetDescendingOrder();
  const double cutoff = static_cast<double>(options.GetCutoff());

  std::vector<KvSimScore> scores;
  scores.reserve(static_cast<std::size_t>(view.n));
  WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
    ScanRange(kernel, view, 0, view.n, q.words.data(), score, [&](std::uint64_t position, double value) {
      const bool keep = !hasCutoff || (descending ? value >= cutoff : value <= cutoff);
      if (keep) scores.emplace_back(view.MolIdx(position), value);
    });
  });
  if (scores.empty()) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return KvSystem::KvMakeVectorIter(std::move(scores));
}

KvSystem::KvIterBase<KvSimScore>* KvFastFPDatabaseImplBase::GetSortedScores(const KvFingerPrint& query,
                                                                           const KvFPDatabaseOptions& options,
                                                                           bool prune) const {
  HitList<KvSimScore> hits = SortedHits(MakeQuery(query), options, prune);
  // A cancelled call's answer is discarded: no time on sorting it.
  if (KvSystem::KvCancelRequested()) return KvSystem::KvMakeEmptyIter<KvSimScore>();
  return MakeHitListIter(std::move(hits));
}

KvSystem::KvIterBase<double>* KvFastFPDatabaseImplBase::GetRawScores(const KvFingerPrint& query,
                                                                    const KvFPDatabaseOptions& options) const {
  const RecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<double>();
  const QueryWords q = MakeQuery(query);
  const ScanKernel& kernel = GetActiveScanKernel();
  std::vector<double> scores(static_cast<std::size_t>(view.n));
  WithScoreFunctor(options.GetSimFunc(), MakeScoreContext(q.bits, view.words, options), [&](const auto& score) {
    ScanRange(kernel, view, 0, view.n, q.words.data(), score,
                [&](std::uint64_t position, double value) { scores[position] = value; });
  });
  return KvSystem::KvMakeVectorIter(std::move(scores));
}

}  // namespace Varnex
