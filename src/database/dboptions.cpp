// Validation of the search options.

#include "varnex/dboptions.h"

#include "kvsystem/error.h"
#include "kvsystem/platform.h"

namespace Varnex {

KvFPDatabaseOptions::KvFPDatabaseOptions(unsigned int limit, unsigned int simFunc)
    : simFunc_(simFunc), limit_(limit) {
  if (!KvIsValidSimMeasure(simFunc)) {
    KvSystem::KvThrow()->Warning("%s unknown similarity function type %d ignored!",
                                 "KvFPDatabaseOptions::KvFPDatabaseOptions()", static_cast<int>(simFunc));
    simFunc_ = KvSimMeasure::Tanimoto;
  }
}

void KvFPDatabaseOptions::SetSimFunc(unsigned int simFunc) {
  if (!KvIsValidSimMeasure(simFunc)) {
    KvSystem::KvThrow()->Warning("%s unknown similarity function type %u ignored!",
                                 "KvFPDatabaseOptions::SetSimFunc()", simFunc);
    return;
  }
  simFunc_ = simFunc;
}

void KvFPDatabaseOptions::SetTverskyCoeffs(float alpha, float beta) {
  // Written so that NaN fails every comparison and is refused.
  const bool valid = alpha >= 0.0f && alpha <= 1.0f && beta >= 0.0f && beta <= 1.0f;
  if (!valid) {
    KvSystem::KvThrow()->Warning("%s illegal alpha/beta values for Tversky similarity function are ignored!",
                                 "KvFPDatabaseOptions::SetTverskyCoeffs()");
    return;
  }
  alpha_ = alpha;
  beta_ = beta;
}

unsigned int KvFPDatabaseOptions::GetNumProcessors() const {
  return KvGetEffectiveNumProcessors(numProcessors_, KvSystem::KvGetNumProcessors());
}

}  // namespace Varnex
