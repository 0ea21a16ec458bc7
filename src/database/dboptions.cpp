// Validation of the search options.

#include "varnex/dboptions.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

#include "kvsystem/error.h"
#include "kvsystem/platform.h"
#include "system/messages.h"

namespace Varnex {

KvFPDatabaseOptions::KvFPDatabaseOptions(unsigned int limit, unsigned int simFunc)
    : simFunc_(simFunc), limit_(limit) {
  if (!KvIsValidSimMeasure(simFunc)) {
    KvSystem::KvThrow()->Warning(Msg::kOptionsUnknownMeasure,
                                 "KvFPDatabaseOptions::KvFPDatabaseOptions()", static_cast<int>(simFunc));
    simFunc_ = KvSimMeasure::Tanimoto;
  }
}

void KvFPDatabaseOptions::SetSimFunc(unsigned int simFunc) {
  if (!KvIsValidSimMeasure(simFunc)) {
    KvSystem::KvThrow()->Warning(Msg::kSetUnknownMeasure,
                                 "KvFPDatabaseOptions::SetSimFunc()", simFunc);
    return;
  }
  simFunc_ = simFunc;
}

void KvFPDatabaseOptions::SetTverskyCoeffs(float alpha, float beta) {
  if (!KvCheckTverskyCoeffs(alpha, beta).IsOk()) {
    KvSystem::KvThrow()->Warning(Msg::kIllegalTversky,
                                 "KvFPDatabaseOptions::SetTverskyCoeffs()");
    return;
  }
  alpha_ = alpha;
  beta_ = beta;
}

double KvGetScoreThreshold(const KvFPDatabaseOptions& options) {
  const bool descending = options.GetDescendingOrder();
  if (!options.HasCutoff()) return descending ? DBL_MIN : DBL_MAX;
  const float cutoff = options.GetCutoff();
  if (!options.HasInclusiveCutoff() || std::isnan(cutoff)) return static_cast<double>(cutoff);
  // A score s is in when float(s) is at or beyond the cutoff f, that is when s
  // lies beyond the midpoint between f and its neighbouring float (exact in
  // double); a score on the midpoint is in only when it rounds to f.
  const float toward = descending ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
  const float neighbour = std::nextafter(cutoff, toward);
  if (std::isinf(neighbour)) return static_cast<double>(neighbour);
  const double midpoint = (static_cast<double>(cutoff) + static_cast<double>(neighbour)) / 2;
  if (static_cast<float>(midpoint) != cutoff) return midpoint;
  return std::nextafter(midpoint, static_cast<double>(toward));
}

KvSystem::KvStatus KvCheckCutoff(unsigned int measure, double cutoff) {
  const KvSimMeasureInfo* info = KvFindSimMeasure(measure);
  const double lowest = info != nullptr ? info->lowest : 0.0;
  const double highest = info != nullptr ? info->highest : 1.0;
  // Written so that NaN fails the test and is refused.
  if (cutoff >= lowest && cutoff <= highest) return {};
  char text[160];
  std::snprintf(text, sizeof text, "%g is outside the range of %s scores, %g to %g", cutoff,
                KvGetSimilarityMeasureName(measure).c_str(), lowest, highest);
  return {KvSystem::KvStatusCode::InvalidArgument, text};
}

KvSystem::KvStatus KvCheckTverskyCoeffs(double alpha, double beta) {
  if (alpha >= 0.0 && alpha <= 1.0 && beta >= 0.0 && beta <= 1.0) return {};
  char text[160];
  std::snprintf(text, sizeof text, "Tversky weights alpha %g and beta %g must each lie between 0 and 1", alpha, beta);
  return {KvSystem::KvStatusCode::InvalidArgument, text};
}

unsigned int KvFPDatabaseOptions::GetNumProcessors() const {
  return KvGetEffectiveNumProcessors(numProcessors_, KvSystem::KvGetNumProcessors());
}

}  // namespace Varnex
