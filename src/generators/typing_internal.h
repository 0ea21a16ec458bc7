// Internal helpers shared by the numeric and the string atom typing.
#pragma once

#include <string>
#include <vector>

#include "kvchem/mol.h"

namespace Varnex::Typing {

// Hydrogen-bond donor: N, O or S carrying hydrogens or bonded to a hydrogen
// atom.
bool IsHBondDonor(const KvChem::KvAtomBase& atom);
// Hydrogen-bond acceptor: N, O or S by the rules of the typing (charge,
// aromaticity, valence, alpha-beta unsaturation).
bool IsHBondAcceptor(const KvChem::KvAtomBase& atom);

// Runs the perception that the flags need (hybridisation, chirality) and
// nothing else.
void PerceiveForTyping(KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);

// KvGetFingerprintAtomTypes without the perception: REQUIRES that the
// perception the flags need has run on `mol`.
void TypeNumbers(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes, const KvChem::KvMolBase& mol,
                 unsigned atomFlags, unsigned bondFlags);
void TypeStrings(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                 const KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);

}  // namespace Varnex::Typing
