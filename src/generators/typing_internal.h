// Internal helpers shared by the numeric and the string atom typing.
#pragma once

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

}  // namespace Varnex::Typing
