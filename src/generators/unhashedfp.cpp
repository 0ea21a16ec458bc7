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
#include "generators/graph_driver.h"
#include "generators/working_mol.h"
#include "kvchem/size_limits.h"
#include "kvsystem/error.h"
#include "varnex/circularfp.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "system/messages.h"

namespace Varnex {
namespace {

bool MakeUnhashed(unsigned kind, const char* name, KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minimum,
                  unsigned maximum, unsigned atomFlags, unsigned bondFlags) {
  try {
    if (!mol.IsValid() || !KvChem::KvIsWithinSizeLimit(mol, name)) {
      fp.SetFPTypeBase(nullptr);
      return false;
    }
    fp.ClearBits();
    const WorkingMol work(mol, kind, atomFlags, bondFlags);
    std::vector<std::string> atomTypes, bondTypes, ids;
    work.Type(atomTypes, bondTypes);
    if (kind == KvFPType::UnhashedPath)
      KvPathIdGeneratorStack(ids, work.Get(), atomTypes, bondTypes, minimum, maximum);
    else if (kind == KvFPType::UnhashedTree)
      KvTreeIdGenerator(ids, work.Get(), atomTypes, bondTypes, minimum, maximum, atomFlags, bondFlags);
    else
      KvCircularIdGenerator(ids, work.Get(), atomTypes, bondTypes, minimum, maximum, atomFlags, bondFlags);
    const KvFPKind& info = *KvFindFPKind(kind);
    const KvFPTypeBase* type = info.intern(info.version, {0, minimum, maximum, atomFlags, bondFlags});
    const std::set<std::string> distinct(std::make_move_iterator(ids.begin()), std::make_move_iterator(ids.end()));
    SetUnhashedText(fp, distinct, kind == KvFPType::UnhashedPath);
    fp.SetFPTypeBase(type);
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("%s : %s", name, e.what());
    return false;
  }
}

// The typed forms: kind check, stray-bit warning, then the explicit form.
bool MakeUnhashedTyped(unsigned kind, const char* name, const char* invalidMessage, KvFingerPrint& fp,
                       const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  KvFPGraphParams p;
  if (!GraphParamsOf(type, kind, p)) {
    KvSystem::KvThrow()->Error("%s", invalidMessage);
    return false;
  }
  return MakeUnhashed(kind, name, fp, mol, p.minimum, p.maximum, p.atomTypes, p.bondTypes);
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

bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minRadius, unsigned maxRadius,
                              unsigned atomFlags, unsigned bondFlags) {
  return MakeUnhashed(KvFPType::UnhashedCircular, "KvMakeUnhashedCircularFP()", fp, mol, minRadius, maxRadius,
                      atomFlags, bondFlags);
}

bool KvMakeUnhashedPathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped(KvFPType::UnhashedPath, "KvMakeUnhashedPathFP()", Msg::kUnhashedPathType, fp, mol,
                           type);
}

bool KvMakeUnhashedTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped(KvFPType::UnhashedTree, "KvMakeUnhashedTreeFP()", Msg::kUnhashedTreeType,
                           fp, mol, type);
}

bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  return MakeUnhashedTyped(KvFPType::UnhashedCircular, "KvMakeUnhashedCircularFP()",
                           Msg::kUnhashedCircularType, fp, mol, type);
}

}  // namespace Varnex
