// The fingerprint object: a bit vector with a (not owned) type pointer.

#include "varnex/fingerprint.h"

#include "kvsystem/error.h"
#include "system/messages.h"

namespace Varnex {

KvFingerPrint& KvFingerPrint::operator=(const KvFingerPrint& other) {
  if (this != &other) {
    KvSystem::KvBitVector::operator=(other);
    type_ = other.type_;
  }
  return *this;
}

bool KvFingerPrint::operator==(const KvFingerPrint& other) const {
  if (type_ == nullptr || other.type_ == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kEqualityUntyped);
    return false;
  }
  if (type_ != other.type_) return false;
  return KvSystem::KvBitVector::operator==(other);
}

bool KvFingerPrint::operator!=(const KvFingerPrint& other) const { return !(*this == other); }

void KvFPToBoolArray(const KvFingerPrint& fp, bool* out) {
  const std::size_t size = fp.GetSize();
  for (std::size_t i = 0; i < size; ++i) out[i] = fp.IsBitOn(i);
}

bool KvIsFPType(const KvFingerPrint& fp, unsigned kind) {
  const KvFPTypeBase* type = fp.GetFPTypeBase();
  return type != nullptr && type->GetFPType() == kind;
}

bool KvIsSameFPType(const KvFingerPrint& a, const KvFingerPrint& b) {
  if (a.GetFPTypeBase() == nullptr || b.GetFPTypeBase() == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kSameTypeUntyped);
    return false;
  }
  return a.GetFPTypeBase() == b.GetFPTypeBase();
}

}  // namespace Varnex
