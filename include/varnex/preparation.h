// Molecule preparation for fingerprinting.
//
// Every generator works on a molecule in one canonical state: hydrogens
// folded into their heavy atoms, wildcard atoms removed, rings and
// aromaticity (model 2) perceived, so that fingerprints do not depend on how
// the caller's molecule was drawn or perceived.
//
// Thread safety: preparation writes the molecule it is given (normally a
// private copy); the query only reads.
#pragma once

#include "kvchem/mol.h"

namespace Varnex {

// Prepares `mol` in place for fingerprinting: suppresses hydrogens, folds the
// remaining hydrogen atoms and every wildcard atom (atomic number 0) into
// their neighbours' implicit hydrogen counts, perceives rings and assigns
// aromaticity model 2. Costs almost nothing on a molecule that is already
// prepared. `kind` is accepted and not used. Not thread-safe on one molecule.
void KvPrepareForFingerprinting(KvChem::KvMolBase& mol, unsigned kind);

// Whether a generator of `kind` may use `mol` directly: rings and aromaticity
// (model 2) perceived, no explicit hydrogens, and kind 101 (MACCS166) or 103
// (Lingo). Always false for every other kind.
bool KvIsPreparedForFingerprinting(const KvChem::KvMolBase& mol, unsigned kind);

}  // namespace Varnex
