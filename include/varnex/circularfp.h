// The circular fingerprint (kind 104) and the circular identifier generators.
//
// The circular fingerprint describes a molecule by the neighbourhoods of its
// heavy atoms: for every heavy atom and every radius in a range, the set of
// atoms within that many bonds is hashed, with the atom and bond type numbers
// of typing.h, into a 32-bit identifier (the subgraph identifier hash, shared
// with the tree fingerprint), and each identifier sets bit (identifier mod
// the largest prime not above the size). Identifiers do not depend on the
// order of the molecule's atoms.
//
// Thread safety: all functions are re-entrant. The generators work on a
// private copy of the molecule; the id generators only read the molecule and
// the type arrays they are given.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/feature_records.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace Varnex {

// Default circular parameters: 4096 bits, radii 0 to 5, atom flags 4239
// (DefaultCircularAtom), bond flags 1 (DefaultCircularBond).
[[nodiscard]] bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

// Circular fingerprint with explicit parameters. Out-of-range parameters are
// repaired with a warning (size 16-65535, else 4096; radii 0-10, minimum not
// above maximum; atom and bond flags not both 0). On success fp holds `bits`
// bits and the registry's circular type of the current version with the
// repaired parameters. An invalid molecule gives false and a null type.
[[nodiscard]] bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minRadius,
                      unsigned maxRadius, unsigned atomFlags, unsigned bondFlags);

// Circular fingerprint with the parameters of a circular type; any other
// type (or null) gives false with a warning and leaves fp untouched.
[[nodiscard]] bool KvMakeCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// The identifiers behind KvMakeCircularFP, in emission order: with minimum
// radius 0 first the atom type number of every atom index, then for every
// start atom (heavy atoms, skipping repeated non-zero symmetry classes) the
// environment of each radius from max(1, minimum) to the maximum, stopping
// after the first radius at which the environment stopped growing. An
// environment of one atom is its type number, a larger one its subgraph
// hash. `atomTypes` and `bondTypes` come from KvGetFingerprintAtomTypes on
// the same (prepared) molecule, which is neither copied nor prepared here.
// `ids` is cleared first; returns its size. The flags do not change the ids.
// With `records`, it is cleared and gets one record per identifier, in the
// same order (the environment's atoms in breadth-first order, the identifier).
unsigned KvCircularIdGenerator(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol,
                               std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes,
                               unsigned minRadius, unsigned maxRadius, unsigned atomFlags, unsigned bondFlags,
                               KvFPFeatureRecords* records = nullptr);

// The text form, used by the unhashed circular fingerprint: the same
// environments in the same order, each written as its atom's type string
// (one atom) or the canonical linear string of its atoms (see unhashedfp.h).
// Records as above, each holding its identifier's position in `ids`.
unsigned KvCircularIdGenerator(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                               std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                               unsigned minRadius, unsigned maxRadius, unsigned atomFlags, unsigned bondFlags,
                               KvFPFeatureRecords* records = nullptr);

}  // namespace Varnex
