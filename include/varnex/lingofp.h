// The Lingo fingerprint (kind 103).
//
// A Lingo fingerprint is not a set of hashed bits: its bit vector holds the
// molecule's Lingo text (see kvchem/lingo.h) followed by one zero byte, so its
// size is 8 x (text length + 1) bits. A molecule without atoms gives one clear
// bit (an empty text). Two Lingo fingerprints are compared through three
// terms (KvGetLingoSimTerms in similarity.h): substrings of four characters
// only in A, only in B, and shared.
//
// Thread safety: all functions are re-entrant. The generator never changes
// the caller's molecule; the process-wide Lingo map it uses is stateless.
#pragma once

#include "kvchem/mol.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// Makes the Lingo fingerprint of `mol`: the Lingo text of the molecule (used
// directly when it is already prepared, else of a prepared private copy) and
// the current Lingo type. An invalid molecule gives false and a null type.
[[nodiscard]] bool KvMakeLingoFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

}  // namespace Varnex
