#include "generators/working_mol.h"

#include "generators/typing_internal.h"
#include "kvchem/perception.h"
#include "varnex/fptype_flags.h"
#include "varnex/preparation.h"

namespace Varnex {
namespace {

// Whether `mol` can be typed under the flags and walked as it is.
bool IsReadyForTyping(const KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
  using KvChem::KvPerception::Aromaticity;
  using KvChem::KvPerception::Chirality;
  using KvChem::KvPerception::Hybridization;
  using KvChem::KvPerception::Rings;
  if (!mol.IsValid() || !mol.HasPerceived(Rings) || !mol.HasPerceived(Aromaticity) || mol.GetAromaticityModel() != 2)
    return false;
  if ((atomFlags & KvFPAtomType::Hyb) && !mol.HasPerceived(Hybridization)) return false;
  const bool chiral = (atomFlags & KvFPAtomType::Chiral) || (bondFlags & KvFPBondType::Chiral);
  if (chiral && !mol.HasPerceived(Chirality)) return false;
  // Preparation would fold hydrogen and wildcard atoms.
  for (const KvChem::KvAtomBase* atom : mol.Atoms())
    if (atom->GetAtomicNum() <= 1) return false;
  return true;
}

}  // namespace

void WorkingMol::ReadyInPlace(KvChem::KvMolBase& mol, unsigned kind, unsigned atomFlags, unsigned bondFlags) {
  KvPrepareForFingerprinting(mol, kind);
  if (mol.NumAtoms() == 0) return;
  Typing::PerceiveForTyping(mol, atomFlags, bondFlags);
}

WorkingMol::WorkingMol(const KvChem::KvMolBase& mol, unsigned kind, unsigned atomFlags, unsigned bondFlags)
    : mol_(&mol), atomFlags_(atomFlags), bondFlags_(bondFlags) {
  if (IsReadyForTyping(mol, atomFlags, bondFlags)) return;
  KvChem::KvGraphMol& copy = copy_.emplace(mol);
  ReadyInPlace(copy, kind, atomFlags, bondFlags);
  mol_ = &copy;
}

void WorkingMol::Type(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes) const {
  Typing::TypeNumbers(atomTypes, bondTypes, *mol_, atomFlags_, bondFlags_);
}

void WorkingMol::Type(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes) const {
  Typing::TypeStrings(atomTypes, bondTypes, *mol_, atomFlags_, bondFlags_);
}

}  // namespace Varnex
