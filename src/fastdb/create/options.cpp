// Settings of a fast database creation.

#include "kvsystem/platform.h"
#include "varnex/dboptions.h"
#include "varnex/fpbin_create.h"

namespace Varnex {

KvCreateFastFPDatabaseOptions::KvCreateFastFPDatabaseOptions(const KvCreateFastFPDatabaseOptions& other)
    : type_(other.type_),
      numProcessors_(other.numProcessors_),
      cancel_(other.cancel_),
      tracer_(other.tracer_ ? std::make_unique<KvSystem::KvDots>(*other.tracer_) : nullptr) {}

KvCreateFastFPDatabaseOptions& KvCreateFastFPDatabaseOptions::operator=(const KvCreateFastFPDatabaseOptions& other) {
  if (this != &other) {
    type_ = other.type_;
    numProcessors_ = other.numProcessors_;
    cancel_ = other.cancel_;
    tracer_ = other.tracer_ ? std::make_unique<KvSystem::KvDots>(*other.tracer_) : nullptr;
  }
  return *this;
}

unsigned int KvCreateFastFPDatabaseOptions::GetNumProcessors() const {
  return KvGetEffectiveNumProcessors(numProcessors_, KvSystem::KvGetNumProcessors());
}

}  // namespace Varnex
