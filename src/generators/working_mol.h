// Choosing the working molecule of a graph generator.
//
// Every generator works on a molecule in the prepared state (hydrogens and
// wildcard atoms folded away, rings and model-2 aromaticity perceived). A
// private copy is prepared when the caller's molecule is not in that state;
// when it already is, and every perception that typing needs is current,
// copying and preparing would change nothing, so the caller's molecule is
// read directly. Copying is most of the cost of a small fingerprint.
//
// Thread safety: the check only reads the molecule; a molecule that passes it
// is only read by typing (no perception runs), so several threads may use
// one such molecule at once.
#pragma once

#include "kvchem/mol.h"
#include "varnex/fptype_flags.h"

namespace Varnex {

// Whether `mol` can be typed under the flags and walked as it is.
inline bool KvIsReadyForTyping(const KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags) {
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

}  // namespace Varnex
