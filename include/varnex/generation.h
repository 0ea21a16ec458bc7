// The fingerprint generation entry.
//
// KvMakeFP turns a molecule into a fingerprint of a given type (or of a kind's
// default type) by dispatching to the generator of the kind. Every generator
// works on a private copy of the molecule that KvPrepareForFingerprinting
// (preparation.h) has brought into one canonical state.
//
// Thread safety: re-entrant. The caller's molecule is never changed by
// KvMakeFP or KvMakeVSFP; calls on distinct output fingerprints may run
// concurrently, also over the same molecule.
#pragma once

#include "kvchem/mol.h"
#include "varnex/fingerprint.h"
#include "varnex/fptypes.h"
#include "varnex/preparation.h"

namespace Varnex {

// Makes the fingerprint of `type` for `mol`. A null type gives false without
// a message and leaves fp unchanged; so does a kind without a generator.
// Otherwise the result is the generator's.
[[nodiscard]] bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, const KvFPTypeBase* type);

// Makes the fingerprint of a kind's default type (KvGetFPType(kind, vs, 1)).
// With `vs` the deprecated VS version 1 type is used and a message says so.
[[nodiscard]] bool KvMakeFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, bool vs);

// Makes the VS fingerprint of a kind (Path, Circular, Tree) for VS version 1
// or 2 (0 means 2); other kinds and versions give false with a warning.
[[nodiscard]] bool KvMakeVSFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol, unsigned kind, unsigned vsVersion);

// Does to `mol`, which the caller owns, what the generator of `type` would do
// to its private copy (preparation, and the perception its atom and bond
// types and its walk read), so that KvMakeFP with the same type reads `mol`
// directly instead of copying it: the same bits, without the copy. Worth it
// for a molecule about to be fingerprinted and then dropped, as in database
// creation. Changes only perception state, hydrogen and wildcard atoms of
// `mol` (as KvPrepareForFingerprinting); does nothing for a null type, an
// invalid molecule or kinds without such a generator (MACCS166, Lingo, the
// unhashed kinds). Not thread-safe for one molecule.
void KvReadyForFingerprinting(KvChem::KvMolBase& mol, const KvFPTypeBase* type);
// The perception (KvChem::KvPerception flags) to read molecules with for
// `type`'s fingerprints (KvMolDatabase::GetMolecule): without hybridisation
// for path, tree and circular types whose atom types do not read it, a full
// read otherwise. Only a saving: the fingerprints are the same either way.
unsigned KvPerceptionForFingerprinting(const KvFPTypeBase* type);

}  // namespace Varnex
