// Similarity measures over pairs of fingerprints.
//
// Every measure first checks that both fingerprints carry the same type
// pointer, then takes four counts of the pair (a: bits on only in A, b: on
// only in B, c: on in both, d: on in neither) and applies its formula in
// single precision. Lingo fingerprints give their three Lingo terms instead
// (d = 0). Unhashed fingerprints (path, tree, circular) are compared by their
// stored identifier lists: a = identifiers only in A, b = only in B, c =
// shared (duplicates pairing one to one), d = 0.
//
// Identical fingerprints, including two without any bit (or identifier), score
// 1.0 under every measure but Manhattan, a distance, which gives 0.0.
//
// Thread safety: every function here is reentrant and keeps no state; the
// bit-vector path allocates nothing and reads both vectors once.
#pragma once

#include <cstdint>
#include <string>

#include "kvchem/lingo.h"
#include "varnex/fingerprint.h"

namespace Varnex {

// Similarity measure codes (unsigned).
namespace KvSimMeasure {
inline constexpr unsigned Tanimoto = 1;
inline constexpr unsigned Cosine = 2;
inline constexpr unsigned Dice = 3;
inline constexpr unsigned Euclid = 4;
inline constexpr unsigned Tversky = 5;
inline constexpr unsigned Manhattan = 6;
}  // namespace KvSimMeasure

// c / (a + b + c). On a type mismatch or a missing type: the error
// "KvTanimoto() fingerprint type mismatch!" and 0.0. Two unhashed
// fingerprints without any identifier score 1.0.
float KvTanimoto(const KvFingerPrint& a, const KvFingerPrint& b);
// c / (alpha a + beta b + c); alpha weighs the bits only in A, beta those
// only in B. Coefficients are not validated.
float KvTversky(const KvFingerPrint& a, const KvFingerPrint& b, float alpha, float beta);
// 2c / (2c + a + b).
float KvDice(const KvFingerPrint& a, const KvFingerPrint& b);
// c / sqrt((a + c)(b + c)).
float KvCosine(const KvFingerPrint& a, const KvFingerPrint& b);
// sqrt((c + d) / (a + b + c + d)).
float KvEuclid(const KvFingerPrint& a, const KvFingerPrint& b);
// The distance (a + b) / (a + b + c + d).
// These five report the error "fingerprint type mismatch!" and give 0.0 on a
// type mismatch; a size mismatch between fingerprints of one type gives the
// bit vector's warning and 0.0.
float KvManhattan(const KvFingerPrint& a, const KvFingerPrint& b);

// The counts behind the measures, in the order a, b, c, d; any pointer may be
// null. For two Lingo fingerprints the result of KvGetLingoSimTerms, with d
// never written. Every other kind counts the bit vectors (unhashed ones
// included: their text bytes). False, outputs untouched, on a type mismatch
// (error "fingerprint type mismatch!") or a size mismatch (warning).
[[nodiscard]] bool KvGetBitCounts(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both, std::uint32_t* neither = nullptr);

// The three terms of two Lingo fingerprints' texts: a = substrings only in
// A's text, b = only in B's, c = shared; any pointer may be null. When either
// text is shorter than 4 characters: equal texts give (0, 0, length) and
// different ones (length A, length B, 0). The fingerprint types are not
// checked. False with the warning "Cannot initialize lingo similarity"
// (counts untouched) when no comparer can be built.
[[nodiscard]] bool KvGetLingoSimTerms(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                        std::uint32_t* both);

// The same terms from a comparer built beforehand from A's text (kept per
// query), against B's text. No short-text rule. An invalid comparer gives the
// warning "lingo is not initialized" and false (counts untouched).
[[nodiscard]] bool KvGetLingoSimTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& b, std::uint32_t* onlyA,
                        std::uint32_t* onlyB, std::uint32_t* both);

// "Tanimoto", "Cosine", "Dice", "Euclid", "Tversky", "Manhattan" for the
// KvSimMeasure codes, "unknown" for any other value.
std::string KvGetSimilarityMeasureName(unsigned measure);

// The population-count method of the kernels: always 2 (the processor's
// instruction; on a processor without it the kernels fall back to the
// bit-parallel count, which gives the same numbers).
unsigned KvGetPopCountMethod();

}  // namespace Varnex
