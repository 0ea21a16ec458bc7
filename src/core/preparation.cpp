// The preparation every generator applies to its private molecule copy.

#include "varnex/preparation.h"

#include <exception>

#include "kvchem/perception.h"
#include "kvsystem/error.h"
#include "varnex/fptypes.h"

namespace Varnex {
namespace {

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
