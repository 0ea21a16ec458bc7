// Perception and preparation operations on molecules.
//
// Each function changes only the molecule it is given and records what it
// perceived (KvMolBase::HasPerceived). None throws; a failure inside the
// toolkit is reported as a warning and leaves the molecule as valid as it was.
// Not thread-safe on one molecule.
#pragma once

#include <string>
#include <vector>

#include "kvchem/mol.h"

namespace KvChem {

// Folds ordinary explicit hydrogen atoms into their heavy atoms' hydrogen
// counts. With all three flags false, hydrogens that carry isotopes, charges,
// or bridge two atoms stay as atoms; the flags ask to remove those too
// (isotopic, charged/bridging, and hydrogens on stereo double bonds).
void KvSuppressHydrogens(KvMolBase& mol, bool isotopic, bool unusual, bool stereo);
// Finds ring atoms and bonds (KvPerception::Rings).
void KvFindRingAtomsAndBonds(KvMolBase& mol);
// Assigns aromatic flags. Model 2 is the toolkit's default model. With
// `clear`, existing flags are cleared first. Records the model under
// kKvAromaticityModelTag (KvPerception::Aromaticity). `maxRingSize` 0 means
// no limit; `keepKekule` is accepted for interface compatibility.
void KvAssignAromaticFlags(KvMolBase& mol, unsigned model, bool clear, unsigned maxRingSize, bool keepKekule);
// Assigns hybridisation (KvPerception::Hybridization).
void KvAssignHybridization(KvMolBase& mol);
// Perceives tetrahedral and double-bond stereo from the input (KvPerception::
// Chirality); `force` redoes it when already current.
void KvPerceiveChiral(KvMolBase& mol, bool force);
// Perceives symmetry classes (KvPerception::Symmetry); `force` redoes it
// when current; `useStereo` lets stereo split classes.
void KvPerceiveSymmetry(KvMolBase& mol, bool force, bool useStereo);
// Whether any atom is a hydrogen atom.
bool KvHasExplicitHydrogens(const KvMolBase& mol);
// The element symbol of an atomic number ("C", "Cl"); "*" for 0; "" when
// unknown.
std::string KvGetAtomicSymbol(unsigned atomicNum);
// Connected components: labels[atom index] = 1 .. count; returns the count.
unsigned KvDetermineComponents(const KvMolBase& mol, std::vector<unsigned>& labels);
// Aromatic ring systems (aromatic rings joined by shared bonds):
// labels[atom index] = 1 .. count for atoms in a system, 0 for the others;
// returns the count. Perceives rings on a private copy when needed.
unsigned KvDetermineAromaticRingSystems(const KvMolBase& mol, std::vector<unsigned>& labels);

}  // namespace KvChem
