// The unhashed path, tree and circular fingerprints: text identifiers from
// the id generators of the hashed kinds, collected into an ordered set and
// stored as text in the fingerprint's bits.

#include "varnex/unhashedfp.h"

#include <cstdint>
#include <exception>
#include <set>
#include <string>
#include <vector>

#include "core/fptext.h"
#include "kvchem/perception.h"
#include "kvsystem/error.h"
#include "varnex/circularfp.h"
#include "varnex/pathfp.h"
#include "varnex/preparation.h"
#include "varnex/treefp.h"
#include "varnex/typing.h"

namespace Varnex {
namespace {

// Fields of an unhashed parameter word: maximum, minimum, bond and atom
// types in bits 0-39; nothing above.
constexpr std::uint64_t kUnhashedFieldMask = 0x000000FFFFFFFFFFull;


bool MakeUnhashed(unsigned kind, const char* name, KvFingerPrint& fp, const KvChem::KvMolBase& mol,
                  unsigned minimum, unsigned maximum, unsigned atomFlags, unsigned bondFlags) {
  try {
    if (!mol.IsValid()) {
      fp.SetFPTypeBase(nullptr);
      return false;
    }
    fp.ClearBits();
    KvChem::KvGraphMol copy(mol);
    KvPrepareForFingerprinting(copy, kind);
    if (kind != KvFPType::UnhashedCircular && maximum > 3 && mol.NumAtoms() > 20)
      KvChem::KvPerceiveSymmetry(copy, true, false);
    std::vector<std::string> atomTypes, bondTypes, ids;
    KvGetFingerprintAtomTypes(atomTypes, bondTypes, copy, atomFlags, bondFlags);
    const KvFPTypeBase* type = nullptr;
    if (kind == KvFPType::UnhashedPath) {
      KvPathIdGeneratorStack(ids, copy, atomTypes, bondTypes, minimum, maximum);
      type = KvGetUnhashedPathFPType(KvGraphFPVersion, minimum, maximum, atomFlags, bondFlags);
    } else if (kind == KvFPType::UnhashedTree) {
      KvTreeIdGenerator(ids, copy, atomTypes, bondTypes, minimum, maximum, atomFlags, bondFlags);
      type = KvGetUnhashedTreeFPType(KvGraphFPVersion, minimum, maximum, atomFlags, bondFlags);
    } else {
      KvCircularIdGenerator(ids, copy, atomTypes, bondTypes, minimum, maximum, atomFlags, bondFlags);
      type = KvGetUnhashedCircularFPType(KvGraphFPVersion, minimum, maximum, atomFlags, bondFlags);
    }
    const std::set<std::string> distinct(std::make_move_iterator(ids.begin()), std::make_move_iterator(ids.end()));
    KvSetUnhashedText(fp, distinct, kind == KvFPType::UnhashedPath);
    fp.SetFPTypeBase(type);
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
    return false;
  }
}

// The typed forms: kind check, stray-bit warning, then the explicit form.
template <typename TypeClass>
bool MakeUnhashedTyped(unsigned kind, const char* name, const char* invalidMessage, KvFingerPrint& fp,
                       const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  const auto* typed = dynamic_cast<const TypeClass*>(type);
  if (typed == nullptr || typed->GetFPType() != kind) {
    KvSystem::KvThrow()->Error("%s", invalidMessage);
    return false;
  }
  if (typed->GetParameterWord() & ~kUnhashedFieldMask) KvSystem::KvThrow()->Warning("Unrecognised data!");
  return MakeUnhashed(kind, name, fp, mol, typed->GetMinDistance(), typed->GetMaxDistance(), typed->GetAtomTypes(),
                      typed->GetBondTypes());
}

}  // namespace

bool KvMakeUnhashedPathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minBonds, unsigned maxBonds,
                          unsigned atomFlags, unsigned bondFlags) {
  return MakeUnhashed(KvFPType::UnhashedPath, "KvMakeUnhashedPathFP()", fp, mol, minBonds, maxBonds, atomFlags,
                      bondFlags);
}

bool KvMakeUnhashedTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minBonds, unsigned maxBonds,
                          unsigned atomFlags, unsigned bondFlags) {
  return MakeUnhashed(KvFPType::UnhashedTree, "KvMakeUnhashedTreeFP()", fp, mol, minBonds, maxBonds, atomFlags,
                      bondFlags);
}

bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minRadius,
                              unsigned maxRadius, unsigned atomFlags, unsigned bondFlags) {
  return MakeUnhashed(KvFPType::UnhashedCircular, "KvMakeUnhashedCircularFP()", fp, mol, minRadius, maxRadius,
                      atomFlags, bondFlags);
}

bool KvMakeUnhashedPathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped<KvFPUnhashedPathType>(KvFPType::UnhashedPath, "KvMakeUnhashedPathFP()",
                                                 "Invalid path fingerprint type", fp, mol, type);
}

bool KvMakeUnhashedTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped<KvFPUnhashedTreeType>(KvFPType::UnhashedTree, "KvMakeUnhashedTreeFP()",
                                                 "Invalid unhashed tree fingerprint type", fp, mol, type);
}

bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped<KvFPUnhashedCircularType>(KvFPType::UnhashedCircular, "KvMakeUnhashedCircularFP()",
                                                     "Invalid circular fingerprint type", fp, mol, type);
}

}  // namespace Varnex
