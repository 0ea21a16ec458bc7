// The tree fingerprint (kind 105) and the tree identifier generators.
//
// The tree fingerprint hashes every connected set of atoms of a molecule
// ("fragment"), from a minimum to a maximum size counted in bonds of a
// spanning tree (atoms - 1), into a bit vector. Unlike the path fingerprint
// it sees branched fragments; each fragment gets an identifier that does not
// depend on where its enumeration started (the subgraph identifier hash of
// the circular fingerprint for three atoms or more), and sets bit
// (identifier mod the largest prime not above the size).
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

// Default tree parameters: 4096 bits, fragments of 0 to 4 bonds, atom flags
// 63 (DefaultTreeAtom), bond flags 1 (DefaultTreeBond).
[[nodiscard]] bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

// Tree fingerprint with explicit parameters. Out-of-range parameters are
// repaired with a warning (bits 16-65535, else 4096; bonds 0-20, minimum not
// above maximum; atom and bond flags not both 0). On success fp holds `bits`
// bits and the registry's tree type of the current version with the repaired
// parameters. An invalid molecule gives false and a null type.
[[nodiscard]] bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minBonds,
                  unsigned maxBonds, unsigned atomFlags, unsigned bondFlags);

// Tree fingerprint with the parameters of a tree type; any other type (or
// null) gives false with an error-level message.
[[nodiscard]] bool KvMakeTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// The identifiers behind KvMakeTreeFP, in emission order: with minimum 0
// first the type number of every atom index, then one identifier per
// fragment of 1 to maxBonds bonds (at least minBonds), each atom set once
// for the whole molecule, in order of discovery from the start atoms (heavy
// atoms, skipping repeated non-zero symmetry classes). A fragment of two
// atoms is identified like the path of its bond read from the atom with the
// larger type number; three or more atoms by the subgraph hash. Atom sets
// are told apart by the wrapping sum of 32-bit per-atom keys, mixed from the
// atom index, so two sets with the same sum count once. `atomTypes` and
// `bondTypes` come from KvGetFingerprintAtomTypes on the same (prepared)
// molecule, which is neither copied nor prepared here. `ids` is cleared
// first; returns its size. The flags do not change the ids. With `records`,
// it is cleared and gets one record per identifier, in the same order (the
// fragment's atoms in order of growth, the identifier).
unsigned KvTreeIdGenerator(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol, std::vector<unsigned>& atomTypes,
                           std::vector<unsigned>& bondTypes, unsigned minBonds, unsigned maxBonds, unsigned atomFlags,
                           unsigned bondFlags, KvFPFeatureRecords* records = nullptr);

// The text form, used by the unhashed tree fingerprint: the same fragments
// in the same order, written as the atom's type string (one atom), the
// greater atom string, the bond string and the smaller atom string (two
// atoms), or the canonical linear string of the set (see unhashedfp.h).
// Records as above, each holding its identifier's position in `ids`.
unsigned KvTreeIdGenerator(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                           std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                           unsigned minBonds, unsigned maxBonds, unsigned atomFlags, unsigned bondFlags,
                           KvFPFeatureRecords* records = nullptr);

}  // namespace Varnex
