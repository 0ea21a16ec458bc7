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
// counts; returns at once when there are no hydrogen atoms. With all three flags false, hydrogens that carry isotopes, charges,
// or bridge two atoms stay as atoms; the flags ask to remove those too
// (isotopic, charged/bridging, and hydrogens on stereo double bonds).
void KvSuppressHydrogens(KvMolBase& mol, bool isotopic, bool unusual, bool stereo);
// Finds ring atoms and bonds (KvPerception::Rings).
void KvFindRingAtomsAndBonds(KvMolBase& mol);
// Assigns aromatic flags. Model 2 is the toolkit's default model; other
// models give a warning and no change. With `clear`, existing flags are
// cleared first (from a Kekulé form; a molecule without one keeps its flags,
// with a warning). Records the model under kKvAromaticityModelTag
// (KvPerception::Aromaticity); returns at once when model 2 is already
// current. Perceives rings first when needed. `maxRingSize` and `keepKekule`
// are accepted for interface compatibility; the toolkit model has its own
// ring rules.
void KvAssignAromaticFlags(KvMolBase& mol, unsigned model, bool clear, unsigned maxRingSize, bool keepKekule);
// Assigns hybridisation (KvPerception::Hybridization).
void KvAssignHybridization(KvMolBase& mol);
// Perceives tetrahedral and double-bond stereo from the input (KvPerception::
// Chirality); `force` redoes it when already current.
void KvPerceiveChiral(KvMolBase& mol, bool force);
// Perceives symmetry classes (KvPerception::Symmetry); `force` redoes it
// when current; `useStereo` lets stereo split classes (recorded as
// KvPerception::StereoSymmetry).
void KvPerceiveSymmetry(KvMolBase& mol, bool force, bool useStereo);
// Whether any atom is a hydrogen atom.
bool KvHasExplicitHydrogens(const KvMolBase& mol);
// The element symbol of an atomic number ("C", "Cl"); "*" for 0; "" when
// unknown.
std::string KvGetAtomicSymbol(unsigned atomicNum);
// Connected components: labels[atom index] = 1 .. count; returns the count.
unsigned KvDetermineComponents(const KvMolBase& mol, std::vector<unsigned>& labels);
// Aromatic ring systems: the rings of the ring perception whose bonds are all
// aromatic, joined into one system when two rings share at least one bond
// (naphthalene is one system, biphenyl two). labels[atom index] = 1 .. count
// for atoms in a system, numbered by their lowest atom index, 0 for atoms
// outside every system; an atom where two systems touch at a single atom
// carries one of their labels. Returns the count. Perceives rings on a
// private copy when the molecule's rings are not current.
unsigned KvDetermineAromaticRingSystems(const KvMolBase& mol, std::vector<unsigned>& labels);

}  // namespace KvChem
