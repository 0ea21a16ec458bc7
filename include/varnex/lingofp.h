// The Lingo fingerprint (kind 103).
//
// A Lingo fingerprint is not a set of hashed bits: its bit vector holds the
// molecule's Lingo text (see kvchem/lingo.h) followed by one zero byte, so its
// size is 8 x (text length + 1) bits. A molecule without atoms gives one clear
// bit (an empty text). Two Lingo fingerprints are compared through three
// terms: substrings of four characters only in A, only in B, and shared.
//
// Thread safety: all functions are re-entrant. The generator never changes
// the caller's molecule; the process-wide Lingo map it uses is stateless.
#pragma once

#include <cstdint>

#include "kvchem/lingo.h"
#include "kvchem/mol.h"
#include "kvsystem/streams.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// Makes the Lingo fingerprint of `mol`: the Lingo text of the molecule (used
// directly when it is already prepared, else of a prepared private copy) and
// the current Lingo type. An invalid molecule gives false and a null type.
bool KvMakeLingoFP(KvFingerPrint& fp, const KvChem::KvMolBase& mol);

// The three terms of two Lingo fingerprints' texts: a = substrings only in
// A's text, b = only in B's, c = shared; any pointer may be null. When either
// text is shorter than 4 characters: equal texts give (0, 0, length) and
// different ones (length A, length B, 0). The fingerprint types are not
// checked. False with the warning "Cannot initialize lingo similarity"
// (counts untouched) when no comparer can be built.
bool KvGetLingoSimTerms(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                        std::uint32_t* both);

// The same terms from a comparer built beforehand from A's text (kept per
// query), against B's text. No short-text rule. An invalid comparer gives the
// warning "lingo is not initialized" and false (counts untouched).
bool KvGetLingoSimTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& b, std::uint32_t* onlyA,
                        std::uint32_t* onlyB, std::uint32_t* both);

// Binary record support: a Lingo type has no parameter block, so this reads
// nothing from `in` and gives fp the registry's Lingo type of `version`.
// Always true.
bool KvReadLingoFingerPrintType(KvSystem::kvistream& in, unsigned short version, KvFingerPrint& fp);

}  // namespace Varnex
