// The path fingerprint (kind 102) and the path id generators.
//
// The path fingerprint hashes every linear path of bonded atoms, from a
// minimum to a maximum number of bonds, into a fixed-size bit vector: each
// atom and bond on a path adds its type number (see typing.h) weighted by a
// prime that depends on its position along the path, and the sum picks bit
// (sum mod the largest prime not above the size). Paths are walked from every
// heavy atom, so a path is seen from both ends.
//
// Thread safety: all functions are re-entrant. The generators work on a
// private copy of the molecule and never change the caller's molecule; the
// id generators only read the molecule and the type arrays they are given.
#pragma once

#include <set>
#include <cstdint>
#include <string>
#include <vector>

#include "kvchem/mol.h"
#include "varnex/feature_records.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace Varnex {

// Default path parameters: 4096 bits, paths of 0 to 5 bonds, atom flags 191
// (DefaultPathAtom), bond flags 3 (DefaultPathBond).
[[nodiscard]] bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

// Path fingerprint with explicit parameters. Out-of-range parameters are
// repaired with a warning (bits 16-65535, else 4096; bonds 0-20, minimum not
// above maximum; atom and bond flags not both 0). On success fp holds `bits`
// bits and the registry's path type of the current version with the repaired
// parameters. An invalid molecule gives false and a null type (bits untouched).
[[nodiscard]] bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned bits, unsigned minBonds,
                  unsigned maxBonds, unsigned atomFlags, unsigned bondFlags);

// Path fingerprint with the parameters of a path type; a null or non-path type
// gives false with a warning. The result always has the current path version.
[[nodiscard]] bool KvMakePathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// Path id generators: the enumeration behind KvMakePathFP without the hashing
// into bits. `atomTypes` and `bondTypes` are indexed by atom and bond index
// (from KvGetFingerprintAtomTypes on the same molecule, usually a prepared
// copy); they are read only. Paths start at every heavy atom, skipping atoms
// whose non-zero symmetry class an earlier start atom had. The molecule is not
// copied or prepared. Each returns the number of entries in the output after
// the call; existing entries are kept.
//
// Numeric ids: the wrapping 32-bit sum of the weighted type numbers.
unsigned KvPathIdGenerator(std::set<unsigned>& ids, const KvChem::KvMolBase& mol, std::vector<unsigned>& atomTypes,
                           std::vector<unsigned>& bondTypes, unsigned minBonds, unsigned maxBonds);
// Appends every id in emission order, repeats included. With `records`, one
// record per appended id is appended there too (the path's atoms from its
// start atom, the id).
unsigned KvPathIdGeneratorStack(std::vector<unsigned>& ids, const KvChem::KvMolBase& mol,
                                std::vector<unsigned>& atomTypes, std::vector<unsigned>& bondTypes, unsigned minBonds,
                                unsigned maxBonds, KvFPFeatureRecords* records = nullptr);
// Text ids: the atom and bond type strings along the path, concatenated.
unsigned KvPathIdGenerator(std::set<std::string>& ids, const KvChem::KvMolBase& mol,
                           std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes, unsigned minBonds,
                           unsigned maxBonds);
// Records as above, each holding its id's position in `ids`.
unsigned KvPathIdGeneratorStack(std::vector<std::string>& ids, const KvChem::KvMolBase& mol,
                                std::vector<std::string>& atomTypes, std::vector<std::string>& bondTypes,
                                unsigned minBonds, unsigned maxBonds, KvFPFeatureRecords* records = nullptr);

}  // namespace Varnex
