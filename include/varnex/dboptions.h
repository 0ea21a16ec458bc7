// Search options and score records of the fingerprint databases.
//
// KvFPDatabaseOptions steers every database query: cutoff, measure, Tversky
// coefficients, order, result limit and worker count. KvSimScore is one hit
// (an entry index and its score), KvSimScorePair one cell of a similarity
// matrix. All three are plain values; setters that reject a value warn and
// keep the previous one.
//
// Thread safety: values without internal locking; concurrent reads are fine.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kvsystem/status.h"
#include "varnex/measures.h"

namespace KvSystem {
class KvDots;
}  // namespace KvSystem

namespace Varnex {

class KvFPDatabaseOptions {
 public:
  // Cutoff 0.0 and not in force, Tanimoto, Tversky alpha 0.95 and beta 0.05,
  // descending, limit 1000, one processor.
  KvFPDatabaseOptions() = default;
  // Defaults but for `limit` and the measure. An invalid measure warns
  // "KvFPDatabaseOptions::KvFPDatabaseOptions() unknown similarity function
  // type %d ignored!" and gives Tanimoto.
  KvFPDatabaseOptions(unsigned int limit, unsigned int simFunc);
  KvFPDatabaseOptions(const KvFPDatabaseOptions&) = default;
  KvFPDatabaseOptions& operator=(const KvFPDatabaseOptions&) = default;

  // The cutoff, whether or not it is in force.
  float GetCutoff() const { return cutoff_; }
  // Any value; puts the cutoff in force. Sorted searches then keep the
  // scores strictly better than it.
  void SetCutoff(float cutoff) {
    cutoff_ = cutoff;
    hasCutoff_ = true;
    inclusive_ = false;
  }
  // The cutoff rule of the varnex program, the Python package, collections
  // and the search service: every query keeps exactly the scores at or above
  // `cutoff` (at or below it in ascending order, as for the Manhattan
  // distance), a score equal to the cutoff always included. Scores and
  // cutoff are compared as the library states scores, in single precision,
  // so the float rounding of a cutoff such as 0.8 never drops a score of
  // exactly 4/5. GetCutoff() returns the cutoff rounded to float.
  void SetInclusiveCutoff(double cutoff) {
    cutoff_ = static_cast<float>(cutoff);
    hasCutoff_ = true;
    inclusive_ = true;
  }
  bool HasCutoff() const { return hasCutoff_; }
  // Whether the cutoff in force was set by SetInclusiveCutoff().
  bool HasInclusiveCutoff() const { return hasCutoff_ && inclusive_; }
  // Cutoff 0.0, not in force.
  void ClearCutoff() {
    cutoff_ = 0.0f;
    hasCutoff_ = false;
    inclusive_ = false;
  }

  // A KvSimMeasure code, 1 to 6.
  unsigned int GetSimFunc() const { return simFunc_; }
  // Values outside 1-6 warn "KvFPDatabaseOptions::SetSimFunc() unknown
  // similarity function type %u ignored!" and keep the measure.
  void SetSimFunc(unsigned int simFunc);
  // The measure's entry of the table (measures.h); the options only ever
  // hold valid codes.
  const KvSimMeasureInfo& GetSimMeasure() const { return *KvFindSimMeasure(simFunc_); }

  float GetTverskyAlpha() const { return alpha_; }
  float GetTverskyBeta() const { return beta_; }
  // Stores both only when each lies in [0, 1] (NaN fails); otherwise warns
  // "KvFPDatabaseOptions::SetTverskyCoeffs() illegal alpha/beta values for
  // Tversky similarity function are ignored!" and keeps both.
  void SetTverskyCoeffs(float alpha, float beta);

  // True: best (largest) scores first.
  bool GetDescendingOrder() const { return descending_; }
  void SetDescendingOrder(bool descending) { descending_ = descending; }

  // Maximum number of scores of a sorted search; 0 means no limit.
  unsigned int GetLimit() const { return limit_; }
  void SetLimit(unsigned int limit) { limit_ = limit; }

  // The effective worker count: the machine's processor count n when the
  // stored value is 0, else min(stored, 2 n).
  unsigned int GetNumProcessors() const;
  // Stored unchanged; 0 means as many as the machine has.
  void SetNumProcessors(unsigned int count) { numProcessors_ = count; }

  // A progress display that the neighbour and threshold matrices advance by
  // the records whose rows they have finished (from any of their threads).
  // Not owned: it must outlive the calls; null (the default) for none.
  KvSystem::KvDots* GetProgress() const { return progress_; }
  void SetProgress(KvSystem::KvDots* progress) { progress_ = progress; }

 private:
  float cutoff_ = 0.0f;
  bool hasCutoff_ = false;
  bool inclusive_ = false;
  unsigned int simFunc_ = KvSimMeasure::Tanimoto;
  float alpha_ = 0.95f;
  float beta_ = 0.05f;
  bool descending_ = true;
  unsigned int limit_ = 1000;
  unsigned int numProcessors_ = 1;
  KvSystem::KvDots* progress_ = nullptr;
};

// Whether `measure` is a KvSimMeasure code (1 to 6).
constexpr bool KvIsValidSimMeasure(unsigned int measure) { return KvFindSimMeasure(measure) != nullptr; }

// The score a sorted query compares against with a strict test (a score is
// kept when it is strictly better than this value in the options' order):
// the cutoff itself for SetCutoff(), the value that makes the strict test
// keep exactly the scores at or beyond the cutoff for SetInclusiveCutoff(),
// and without a cutoff the smallest positive double (descending) or the
// largest double (ascending).
double KvGetScoreThreshold(const KvFPDatabaseOptions& options);

// Checks a cutoff given by a user for `measure` (a KvSimMeasure code)
// against its score range (KvSimMeasureInfo: 0 to 1 for every measure);
// anything else, NaN included, is refused with InvalidArgument "<value> is
// outside the range of <Measure> scores, 0 to 1".
KvSystem::KvStatus KvCheckCutoff(unsigned int measure, double cutoff);

// Checks Tversky weights: each in [0, 1] (NaN refused), the rule of
// SetTverskyCoeffs(), with InvalidArgument naming both values otherwise.
KvSystem::KvStatus KvCheckTverskyCoeffs(double alpha, double beta);

// The worker count for a request of `requested` on a machine of `machine`
// processors (the rule of KvFPDatabaseOptions::GetNumProcessors).
constexpr unsigned int KvGetEffectiveNumProcessors(unsigned int requested, unsigned int machine) {
  if (requested == 0) return machine;
  const unsigned int cap = 2u * machine;
  return requested < cap ? requested : cap;
}

// One hit: the index of a database entry and its score.
class KvSimScore {
 public:
  KvSimScore() = default;
  KvSimScore(std::size_t idx, double score) : idx_(idx), score_(score) {}
  std::size_t GetIdx() const { return idx_; }
  double GetScore() const { return score_; }

 private:
  std::uint64_t idx_ = 0;
  double score_ = 0.0;
};

// One cell of a similarity matrix: two entry indices and their score.
class KvSimScorePair {
 public:
  KvSimScorePair() = default;
  KvSimScorePair(std::size_t idxA, std::size_t idxB, double score) : idxA_(idxA), idxB_(idxB), score_(score) {}
  std::size_t GetIdxA() const { return idxA_; }
  std::size_t GetIdxB() const { return idxB_; }
  double GetScore() const { return score_; }

 private:
  std::uint64_t idxA_ = 0;
  std::uint64_t idxB_ = 0;
  double score_ = 0.0;
};

}  // namespace Varnex
