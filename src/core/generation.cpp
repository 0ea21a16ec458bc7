// The fingerprint generation entry: dispatch by kind, the VS variants, and
// the preparation every generator applies to its private molecule copy.

#include "varnex/generation.h"

#include <exception>
#include <vector>

#include "kvchem/perception.h"
#include "kvsystem/error.h"
#include "varnex/circularfp.h"
#include "varnex/lingofp.h"
#include "varnex/maccs.h"
#include "varnex/pathfp.h"
#include "varnex/treefp.h"
#include "varnex/unhashedfp.h"

namespace Varnex {
namespace {

// The one place where kinds meet their generators. A kind whose generator is
// not part of the library yet answers false, leaving fp as it was.
bool Dispatch(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  switch (type->GetFPType()) {
    case KvFPType::Path:
      return KvMakePathFP(fp, mol, type);
    case KvFPType::MACCS166:
      return KvMakeMACCS166FP(fp, mol);
    case KvFPType::Lingo:
      return KvMakeLingoFP(fp, mol);
    case KvFPType::Circular:
      return KvMakeCircularFP(fp, mol, type);
    case KvFPType::Tree:
      return KvMakeTreeFP(fp, mol, type);
    case KvFPType::UnhashedPath:
      return KvMakeUnhashedPathFP(fp, mol, type);
    case KvFPType::UnhashedCircular:
      return KvMakeUnhashedCircularFP(fp, mol, type);
    case KvFPType::UnhashedTree:
      return KvMakeUnhashedTreeFP(fp, mol, type);
    default:
      return false;
  }
}

// Removes every atom of atomic number `z`, adding one implicit hydrogen to
// each of its neighbours first. Walks down from the highest index so that the
// indices still to visit are not renumbered by a deletion; atom pointers are
// fetched afresh after each deletion.
void FoldAtoms(KvChem::KvMolBase& mol, unsigned z) {
  for (unsigned i = mol.NumAtoms(); i-- > 0;) {
    KvChem::KvAtomBase* atom = mol.GetAtom(i);
    if (atom == nullptr || atom->GetAtomicNum() != z) continue;
    for (KvChem::KvAtomBase* nbr : atom->GetNeighbors()) nbr->SetImplicitHCount(nbr->GetImplicitHCount() + 1);
    mol.DeleteAtom(atom);
  }
}

bool HasAtomsToFold(const KvChem::KvMolBase& mol) {
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (atom->GetAtomicNum() <= 1) return true;
  return false;
}

bool HasPreparedPerception(const KvChem::KvMolBase& mol) {
  return mol.HasPerceived(KvChem::KvPerception::Rings) && mol.HasPerceived(KvChem::KvPerception::Aromaticity) &&
         mol.GetAromaticityModel() == 2;
}

}  // namespace

bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  if (type == nullptr) return false;
  return Dispatch(fp, mol, type);
}

bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, bool vs) {
  const KvFPTypeBase* type = KvGetFPType(kind, vs, 1);
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning("KvMakeFP() unknown fingerprint type");
    return false;
  }
  if (vs) {
    if (kind == KvFPType::Circular) {
      KvSystem::KvThrow()->Warning(
          "KvMakeFP: (%d) use KvMakeVSFP() for generating VS fingerprints - deprecated CircularVS fingerprints are "
          "being generated",
          static_cast<int>(kind));
    } else if (kind == KvFPType::Path || kind == KvFPType::Tree) {
      KvSystem::KvThrow()->Info("KvMakeFP: (%d) (deprecated) use KvMakeVSFP() for generating VS fingerprints",
                                static_cast<int>(kind));
    }
  }
  return KvMakeFP(fp, mol, type);
}

bool KvMakeVSFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, unsigned vsVersion) {
  if (vsVersion == 0) vsVersion = 2;
  if (vsVersion >= 3) {
    KvSystem::KvThrow()->Warning("KvMakeVSFP: unknown vsVersion specified: %d", static_cast<int>(vsVersion));
    return false;
  }
  const KvFPTypeBase* type = KvGetVSFPType(kind, vsVersion);
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning("KvMakeVSFP() unknown fingerprint type");
    return false;
  }
  return KvMakeFP(fp, mol, type);
}

void KvPrepareForFingerprinting(KvChem::KvMolBase& mol, unsigned /*kind*/) {
  try {
    // Already prepared (the usual case for a copy of a parsed molecule):
    // nothing to fold and perception current, so nothing to do.
    const bool fold = HasAtomsToFold(mol);
    if (!fold && HasPreparedPerception(mol)) return;
    if (fold) {
      // The structural edits go inside the modification bracket; perception
      // follows on the finished graph, so that closing the bracket cannot
      // leave stale rings behind.
      mol.BeginModify();
      KvChem::KvSuppressHydrogens(mol, false, false, false);
      FoldAtoms(mol, 1);
      FoldAtoms(mol, 0);
      mol.EndModify();
    }
    KvChem::KvFindRingAtomsAndBonds(mol);
    KvChem::KvAssignAromaticFlags(mol, 2, true, 0, false);
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("KvPrepareForFingerprinting() : %s", e.what());
  }
}

bool KvIsPreparedForFingerprinting(const KvChem::KvMolBase& mol, unsigned kind) {
  if (!HasPreparedPerception(mol)) return false;
  if (KvChem::KvHasExplicitHydrogens(mol)) return false;
  return kind == KvFPType::Lingo || kind == KvFPType::MACCS166;
}

}  // namespace Varnex
