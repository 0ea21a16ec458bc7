// The fingerprint object: a bit vector plus the type that says how its bits
// were made.
//
// Two fingerprints are comparable only when they share a type pointer, which
// the type registries make equivalent to sharing kind, version and
// parameters. The type is not owned; it outlives every fingerprint.
//
// Thread safety: a KvFingerPrint is a plain value without internal locking.
// Concurrent reads of one fingerprint are fine; changes need exclusive access.
#pragma once

#include "kvsystem/base.h"
#include "kvsystem/bitvector.h"
#include "varnex/fptypes.h"

namespace Varnex {

class KvFingerPrint : public KvSystem::KvBitVector {
 public:
  // Empty bit vector, no type (uninitialised).
  KvFingerPrint() = default;
  // Copies bits and type pointer.
  KvFingerPrint(const KvFingerPrint& other) = default;
  KvFingerPrint& operator=(const KvFingerPrint& other);
  // Moving leaves the source empty; it keeps its type pointer.
  KvFingerPrint(KvFingerPrint&& other) noexcept = default;
  KvFingerPrint& operator=(KvFingerPrint&& other) noexcept = default;
  ~KvFingerPrint() override = default;

  // Same type pointer and same bits. Either type null: warning
  // "KvFingerPrint::operator== : uninitialized fingerprint type!" and false.
  bool operator==(const KvFingerPrint& other) const;
  // The negation of operator==, including its warning.
  bool operator!=(const KvFingerPrint& other) const;
  // True when the fingerprint has a type.
  explicit operator bool() const { return type_ != nullptr; }

  const KvFPTypeBase* GetFPTypeBase() const { return type_; }
  // Stores the type pointer without any check; the bits are not touched.
  void SetFPTypeBase(const KvFPTypeBase* type) { type_ = type; }

 private:
  const KvFPTypeBase* type_ = nullptr;
};

// Writes out[i] = fp.IsBitOn(i) for i in [0, fp.GetSize()).
// REQUIRES: `out` has at least fp.GetSize() elements.
void KvFPToBoolArray(const KvFingerPrint& fp, bool* out);
// Whether the fingerprint's type is of kind `kind` (KvFPType); false when untyped.
bool KvIsFPType(const KvFingerPrint& fp, unsigned kind);
// Whether two fingerprints share a type. Either untyped: warning
// "KvIsSameFPType() : uninitialized fingerprint type!" and false.
bool KvIsSameFPType(const KvFingerPrint& a, const KvFingerPrint& b);

}  // namespace Varnex

// A fingerprint's type identifier is fixed, so that records and attached data
// written by one build are recognised by another.
namespace KvSystem {
template <>
struct KvTypeIdTraits<Varnex::KvFingerPrint> {
  static constexpr std::uint64_t Value() { return KvHashTypeName("KvFingerPrint"); }
};
}  // namespace KvSystem
