// The scores of the fast database, one functor per measure, in double
// precision from three counts: q (query bits), p (record bits, as stored) and
// c (bits in both), with N = 64W bits per fingerprint.
//
// They differ from the single-precision measures of the similarity subsystem
// at the edges on purpose: two empty fingerprints score 0.0 with Tanimoto
// and Cosine here. The query is the first argument ("A"), the record the
// second.
//
// Every score is monotone in c for fixed p and q: non-decreasing for the
// similarities, non-increasing for Manhattan (kIncreasingInCommonBits, the
// direction of the measure table, measures.h).
//
// Each functor also gives the best score any record of p bits can reach
// (Best), for the pruned sorted search: every score is monotone in c over the
// feasible range max(0, p + q - N) <= c <= min(p, q), so the best is at one of
// the two ends. For Tanimoto, Cosine, Dice, Euclid and Manhattan the rounded
// operations keep that monotonicity exactly (integer operands are exact in a
// double, and correctly rounded division and square root are monotone); the
// Tversky denominator mixes rounded products, so its bound is widened by a
// relative 1e-9, far above any rounding error (kNeedsBoundMargin, the
// table's exactBound).
//
// Measures are chosen once per query (WithScoreFunctor), never per record.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

#include "varnex/dboptions.h"
#include "varnex/measures.h"

namespace Varnex {

// Query-side constants of a scan.
struct ScoreContext {
  double q = 0.0;      // bits of the query
  double n = 0.0;      // bits per fingerprint (64W)
  double alpha = 0.0;  // Tversky coefficients (widened from the options' floats)
  double beta = 0.0;
};

struct TanimotoScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Tanimoto;
  ScoreContext k;
  double operator()(double c, double p) const { return c == 0.0 ? 0.0 : c / (p + k.q - c); }
};

struct CosineScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Cosine;
  ScoreContext k;
  double operator()(double c, double p) const {
    if (k.q == 0.0 || p == 0.0 || c == 0.0) return 0.0;
    return c / std::sqrt(p * k.q);
  }
};

struct DiceScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Dice;
  ScoreContext k;
  double operator()(double c, double p) const {
    const double sum = p + k.q;
    return sum == 0.0 ? 0.0 : 2.0 * c / sum;
  }
};

struct EuclidScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Euclid;
  ScoreContext k;
  // The radicand is never negative for true counts; the clamp keeps a record
  // whose stored count disagrees with its bits from producing NaN.
  double operator()(double c, double p) const { return std::sqrt(std::max(0.0, (2.0 * c - p - k.q + k.n) / k.n)); }
};

struct TverskyScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Tversky;
  ScoreContext k;
  double operator()(double c, double p) const {
    const double denominator = k.alpha * (k.q - c) + k.beta * (p - c) + c;
    return denominator == 0.0 ? 0.0 : c / denominator;
  }
};

// A distance: 0 for identical fingerprints.
struct ManhattanScore {
  static constexpr unsigned kMeasure = KvSimMeasure::Manhattan;
  ScoreContext k;
  double operator()(double c, double p) const { return (p + k.q - 2.0 * c) / k.n; }
};

// Whether scores grow with the common bits c (similarities) or shrink
// (distances), from the measure table.
template <typename Score>
inline constexpr bool kIncreasingInCommonBits = KvFindSimMeasure(Score::kMeasure)->higherIsBetter;

// Whether bounds on the score need a margin for rounding, from the table.
template <typename Score>
inline constexpr bool kNeedsBoundMargin = !KvFindSimMeasure(Score::kMeasure)->exactBound;

// `bound`, a bound on a score, moved by the rounding margin towards the
// better scores (up when `descending`) where the measure needs one.
template <typename Score>
inline double WithBoundMargin(double bound, bool descending) {
  if constexpr (kNeedsBoundMargin<Score>) {
    const double margin = 1e-9 * std::fabs(bound) + 1e-300;
    return descending ? bound + margin : bound - margin;
  }
  return bound;
}

// The best score (the largest when descending, else the smallest) that a
// record of p bits can reach against the query, or a value at least that
// good. REQUIRES: p <= N and q <= N.
template <typename Score>
double BestScore(const Score& score, double p, bool descending) {
  const double cMax = std::min(p, score.k.q);
  const double cMin = std::max(0.0, p + score.k.q - score.k.n);
  const double atMin = score(cMin, p);
  const double atMax = score(cMax, p);
  return WithBoundMargin<Score>(descending ? std::max(atMin, atMax) : std::min(atMin, atMax), descending);
}

// The bit count p at which BestScore (descending) peaks: it is
// non-decreasing in p below and non-increasing above, for every measure
// (rounding keeps monotone pieces monotone). Manhattan distances are largest
// for records that share the fewest bits, which peaks at p = N - q.
template <typename Score>
double BestScorePeak(const Score& score) {
  return kIncreasingInCommonBits<Score> ? score.k.q : score.k.n - score.k.q;
}

// The functors of every measure; adding a measure to the table without its
// functor here does not compile.
template <typename... Scores>
struct ScoreList {
  static constexpr bool kCoversTable = [] {
    if (sizeof...(Scores) != KvSimMeasures.size()) return false;
    for (const KvSimMeasureInfo& measure : KvSimMeasures)
      if (((Scores::kMeasure == measure.code ? 1 : 0) + ...) != 1) return false;
    return true;
  }();
};
using MeasureScores =
    ScoreList<TanimotoScore, CosineScore, DiceScore, EuclidScore, TverskyScore, ManhattanScore>;
static_assert(MeasureScores::kCoversTable, "one score functor per measure of the table");

template <typename Body, typename... Scores>
bool WithScoreFunctorOf(unsigned measure, const ScoreContext& context, Body& body, ScoreList<Scores...>) {
  return ((measure == Scores::kMeasure ? (body(Scores{context}), true) : false) || ...);
}

// Calls body(functor) with the functor of `measure` (a KvSimMeasure code);
// false without calling it for any other value.
template <typename Body>
bool WithScoreFunctor(unsigned measure, const ScoreContext& context, Body&& body) {
  return WithScoreFunctorOf(measure, context, body, MeasureScores{});
}

// The context of a query of q bits under `options`, for fingerprints of
// `words` 64-bit words.
inline ScoreContext MakeScoreContext(std::uint64_t q, std::uint64_t words, const KvFPDatabaseOptions& options) {
  ScoreContext context;
  context.q = static_cast<double>(q);
  context.n = static_cast<double>(64 * words);
  context.alpha = static_cast<double>(options.GetTverskyAlpha());
  context.beta = static_cast<double>(options.GetTverskyBeta());
  return context;
}

}  // namespace Varnex
