// Every record against every record: the full matrix, the score histogram,
// the variogram and the nearest-neighbour lists.

#include <algorithm>
#include <exception>
#include <limits>
#include <vector>

#include "fastdb/engine.h"
#include "fastdb/scan_loop.h"
#include "kvsystem/error.h"

namespace Varnex {
namespace {

constexpr const char* kSparseMatrix = "KvFastFPDatabase::GetSparseMatrix()";

// Calls body(i, query, score) for every record i as the query, with the
// measure's functor for that query.
template <typename Body>
void ForEachRow(const KvFastFPDatabaseImplBase& engine, const KvFPDatabaseOptions& options, Body&& body) {
  const KvRecordView view = engine.View();
  KvQueryWords query;
  for (std::uint64_t i = 0; i < view.n; ++i) {
    engine.RecordAsQuery(i, query);
    KvWithScoreFunctor(options.GetSimFunc(), KvMakeScoreContext(query.bits, view.words, options),
                       [&](const auto& score) { body(i, query, score); });
  }
}

// The k best entries of one row, kept as the neighbour lists define it: the
// first k candidates are taken; afterwards a candidate replaces the lowest
// held entry (the first minimum) only when strictly higher.
class RowNeighbours {
 public:
  explicit RowNeighbours(std::size_t k) : k_(k) { held_.reserve(k); }

  void Clear() {
    held_.clear();
    minimum_ = kUnknown;
  }

  void Offer(float score, std::uint64_t position) {
    if (held_.size() < k_) {
      held_.push_back({score, position});
      minimum_ = kUnknown;
      return;
    }
    if (k_ == 0) return;
    if (minimum_ == kUnknown) minimum_ = FirstMinimum();
    if (score > held_[minimum_].score) {
      held_[minimum_] = {score, position};
      minimum_ = kUnknown;
    }
  }

  struct Entry {
    float score;
    std::uint64_t position;
  };
  std::vector<Entry>& Held() { return held_; }

 private:
  static constexpr std::size_t kUnknown = std::numeric_limits<std::size_t>::max();

  std::size_t FirstMinimum() const {
    std::size_t at = 0;
    for (std::size_t e = 1; e < held_.size(); ++e) {
      if (held_[e].score < held_[at].score) at = e;
    }
    return at;
  }

  std::size_t k_;
  std::vector<Entry> held_;
  std::size_t minimum_ = kUnknown;
};

}  // namespace

KvSystem::KvIterBase<float>* KvFastFPDatabaseImplBase::GetAllScores(const KvFPDatabaseOptions& options) const {
  const KvRecordView view = View();
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<float>();
  const std::size_t n = static_cast<std::size_t>(view.n);
  std::vector<float> matrix;
  try {
    if (n > std::numeric_limits<std::size_t>::max() / n) throw std::bad_alloc();
    matrix.resize(n * n);
  } catch (const std::exception&) {
    KvSystem::KvThrow()->Warning("%s : not enough system memory to store results!",
                                 "KvFastFPDatabase::GetAllScores()");
    return KvSystem::KvMakeEmptyIter<float>();
  }
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  // Every measure but Tversky is symmetric: each pair once, written twice.
  const bool symmetric = options.GetSimFunc() != KvSimMeasure::Tversky;
  ForEachRow(*this, options, [&](std::uint64_t i, const KvQueryWords& query, const auto& score) {
    KvScanRange(kernel, view, symmetric ? i : 0, view.n, query.words.data(), score,
                [&](std::uint64_t j, double value) {
                  const float s = static_cast<float>(value);
                  matrix[i * n + j] = s;
                  if (symmetric) matrix[j * n + i] = s;
                });
  });
  return KvSystem::KvMakeVectorIter(std::move(matrix));
}

void KvFastFPDatabaseImplBase::GetHistogram(KvFPHistogram& out, const KvFPDatabaseOptions& options,
                                            std::size_t nbins) const {
  out = KvFPHistogram(nbins, 0.0, 1.0);
  const KvRecordView view = View();
  if (view.records == nullptr && view.n > 0) {
    KvSystem::KvThrow()->Warning("%s : invalid fingerprint database file pointer!", "KvFastFPDatabase::GetHistogram()");
    return;
  }
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  // Unordered pairs without the diagonal; Tversky is asymmetric, so there
  // every ordered pair, the diagonal included.
  const bool tversky = options.GetSimFunc() == KvSimMeasure::Tversky;
  ForEachRow(*this, options, [&](std::uint64_t i, const KvQueryWords& query, const auto& score) {
    KvScanRange(kernel, view, tversky ? 0 : i + 1, view.n, query.words.data(), score,
                [&](std::uint64_t, double value) { out.AddSample(value); });
  });
}

void KvFastFPDatabaseImplBase::GetVariogram(KvFPVariogram& out, const std::vector<float>& values,
                                            const KvFPDatabaseOptions& options, std::size_t nbins) const {
  out = KvFPVariogram(nbins, 0.0, 1.0);
  const KvRecordView view = View();
  if (view.records == nullptr && view.n > 0) {
    KvSystem::KvThrow()->Warning("%s : invalid fingerprint database file pointer!", "KvFastFPDatabase::GetVariogram()");
    return;
  }
  if (values.size() < view.n) {
    KvSystem::KvThrow()->Warning("%s : fewer values (%d) than fingerprints (%d)!", "KvFastFPDatabase::GetVariogram()",
                                 static_cast<int>(values.size()), static_cast<int>(view.n));
    return;
  }
  const KvScanKernel& kernel = KvGetActiveScanKernel();
  ForEachRow(*this, options, [&](std::uint64_t i, const KvQueryWords& query, const auto& score) {
    KvScanRange(kernel, view, i + 1, view.n, query.words.data(), score, [&](std::uint64_t j, double value) {
      const float s = static_cast<float>(value);
      out.AddSample(1.0f - s, values[i] - values[j]);
    });
  });
}

KvSystem::KvIterBase<KvSimScorePair>* KvFastFPDatabaseImplBase::GetSparseMatrix(
    const KvFPDatabaseOptions& options) const {
  KvSystem::KvErrorHandler* report = KvSystem::KvThrow();
  const KvRecordView view = View();
  std::uint64_t k = options.GetLimit();
  if (k > view.n) {
    report->Warning("%s set to retrieve more nearest neighbors (%d) than there are fingerprints (%d)!", kSparseMatrix,
                    static_cast<int>(k), static_cast<int>(view.n));
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
  if (k == 0) {
    report->Warning("%s : set to retrieve all nxn scores!", kSparseMatrix);
    if (!options.HasCutoff()) report->Warning("%s : no cutoff specified, all results will be returned!", kSparseMatrix);
    k = view.n;
  }
  if (!KvIsValidSimMeasure(options.GetSimFunc())) {
    report->Warning("%s : unknown similarity measure type %d!", kSparseMatrix, static_cast<int>(options.GetSimFunc()));
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }
  if (view.n == 0 || view.records == nullptr) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();

  std::vector<KvSimScorePair> pairs;
  try {
    if (k > std::numeric_limits<std::size_t>::max() / view.n) throw std::bad_alloc();
    pairs.reserve(static_cast<std::size_t>(view.n * k));
  } catch (const std::exception&) {
    report->Warning("%s: not enough system memory to store results!", kSparseMatrix);
    return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  }

  const KvScanKernel& kernel = KvGetActiveScanKernel();
  const bool hasCutoff = options.HasCutoff();
  const float cutoff = options.GetCutoff();
  RowNeighbours row(static_cast<std::size_t>(k));
  ForEachRow(*this, options, [&](std::uint64_t i, const KvQueryWords& query, const auto& score) {
    row.Clear();
    KvScanRange(kernel, view, 0, view.n, query.words.data(), score,
                [&](std::uint64_t j, double value) { row.Offer(static_cast<float>(value), j); });
    auto& held = row.Held();
    // Best first; equal scores by the larger molecule index first.
    std::sort(held.begin(), held.end(), [&](const auto& a, const auto& b) {
      if (a.score != b.score) return a.score > b.score;
      return view.MolIdx(a.position) > view.MolIdx(b.position);
    });
    const std::uint64_t rowIdx = view.MolIdx(i);
    for (const auto& entry : held) {
      if (hasCutoff && !(entry.score >= cutoff)) continue;
      pairs.emplace_back(rowIdx, view.MolIdx(entry.position), static_cast<double>(entry.score));
    }
  });
  if (pairs.empty()) return KvSystem::KvMakeEmptyIter<KvSimScorePair>();
  return KvSystem::KvMakeVectorIter(std::move(pairs));
}

}  // namespace Varnex
