// The unhashed path (kind 9000), circular (9001) and tree (9002)
// fingerprints.
//
// An unhashed fingerprint keeps the textual identifiers of a molecule's
// paths, circular environments or tree fragments instead of folding them into
// bits. Identifiers are built from the SMARTS-like atom and bond type strings
// of typing.h: a path is its strings in walk order; an environment or
// fragment of three or more atoms (two or more for circular environments) is
// its canonical linear string, a depth-first walk over the set that depends
// only on the type strings and the connectivity, never on atom numbering.
//
// Stored text (the fingerprint's bytes): the distinct identifiers in
// ascending byte-wise order, each followed by one space; spaces up to the
// next multiple of 4 bytes; the last byte (a space) replaced by a zero byte.
// Unhashed path fingerprints store one further zero byte. So identifiers A
// and BC are stored as "A BC   " plus the zero: 8 bytes (64 bits), 9 for a
// path fingerprint. A molecule without identifiers (no atoms) stores four
// zero bytes (five for a path fingerprint): an empty text that still fills a
// whole word and ends in zero like every other stored text.
//
// Thread safety: re-entrant; each call works on a private copy of the
// molecule. The parameters are not validated.
#pragma once

#include "kvchem/mol.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"

namespace Varnex {

// Unhashed paths of minBonds to maxBonds bonds (text ids of
// KvPathIdGeneratorStack). On success fp holds the stored text and the
// registry's unhashed path type with the given parameters. An invalid
// molecule gives false and a null type.
[[nodiscard]] bool KvMakeUnhashedPathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minBonds, unsigned maxBonds,
                          unsigned atomFlags, unsigned bondFlags);
// Unhashed tree fragments of minBonds to maxBonds bonds (text ids of
// KvTreeIdGenerator).
[[nodiscard]] bool KvMakeUnhashedTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minBonds, unsigned maxBonds,
                          unsigned atomFlags, unsigned bondFlags);
// Unhashed circular environments of radii minRadius to maxRadius (text ids
// of KvCircularIdGenerator).
[[nodiscard]] bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned minRadius,
                              unsigned maxRadius, unsigned atomFlags, unsigned bondFlags);

// The same with the parameters of a type of the generator's kind. Another
// kind (or null) gives false with an error-level message ("Invalid path
// fingerprint type", "Invalid circular fingerprint type", "Invalid unhashed
// tree fingerprint type") and leaves fp untouched.
[[nodiscard]] bool KvMakeUnhashedPathFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);
[[nodiscard]] bool KvMakeUnhashedTreeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);
[[nodiscard]] bool KvMakeUnhashedCircularFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

}  // namespace Varnex
