// Atom and bond typing of the graph fingerprints.
//
// The path, tree and circular fingerprints hash the type numbers of atoms and
// bonds rather than the atoms and bonds themselves. The flags of
// fptype_flags.h decide which properties count (element, aromaticity, charge,
// ring membership, ...) and which atoms are made equal (halogens, aromatic
// atoms, hydrogen-bond donors and acceptors). This header holds the
// per-molecule computation of type numbers and SMARTS-like type strings.
//
// Thread safety: the typing functions change only the molecule and the arrays
// they are given.
#pragma once

#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/fptype_flags.h"

namespace Varnex {

// Computes the type number of every atom and bond of `mol` under the given
// flags: atomTypes[atom index], bondTypes[bond index], resized to the
// molecule's index bounds. May run perception (hybridisation, chirality) on
// `mol`; pass a private, prepared copy (see KvPrepareForFingerprinting).
void KvGetFingerprintAtomTypes(std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);
// The same as SMARTS-like atom and bond expressions ("[#7;R]", "c", "-!@").
void KvGetFingerprintAtomTypes(std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                               KvChem::KvMolBase& mol, unsigned atomFlags, unsigned bondFlags);

}  // namespace Varnex
