// The six similarity measures as one table: code, names, which way scores
// improve, symmetry, score range and the pair function of similarity.h.
// Whatever lists, names, orders or bounds measures (the databases and their
// pruned searches, the search parameters, the varnex program, the Python
// package) reads it here.
//
// The entries come in the order measures are offered to people (search
// forms, messages, the compare output): the everyday ones first. Codes are
// the fixed KvSimMeasure values; KvFindSimMeasure looks them up.
//
// Thread safety: constant data and pure functions.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "varnex/fingerprint.h"
#include "varnex/similarity.h"

namespace Varnex {

// One measure. Plain constant data; the strings are literals.
struct KvSimMeasureInfo {
  unsigned code;        // the KvSimMeasure value
  const char* name;     // "Tanimoto": KvGetSimilarityMeasureName, the "-simfunc" value
  const char* key;      // "tanimoto": the spelling of Python and of the search service
  // A similarity (higher is better, and it grows with the bits two
  // fingerprints share) or a distance (lower is better, and it shrinks).
  bool higherIsBetter;
  // score(A, B) == score(B, A): matrices may score each pair once.
  bool symmetric;
  // Scores in double precision stay exactly monotone in the shared bits after
  // rounding, so pruning bounds need no safety margin (Tversky's weighted
  // sums do not).
  bool exactBound;
  double lowest;        // every score lies in [lowest, highest]
  double highest;
  // The single-precision measure of similarity.h; alpha and beta weigh the
  // bits only in A and only in B, and only Tversky reads them.
  float (*score)(const KvFingerPrint& a, const KvFingerPrint& b, float alpha, float beta);
};

inline constexpr std::array<KvSimMeasureInfo, 6> KvSimMeasures = {{
    {KvSimMeasure::Tanimoto, "Tanimoto", "tanimoto", true, true, true, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float, float) { return KvTanimoto(a, b); }},
    {KvSimMeasure::Dice, "Dice", "dice", true, true, true, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float, float) { return KvDice(a, b); }},
    {KvSimMeasure::Cosine, "Cosine", "cosine", true, true, true, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float, float) { return KvCosine(a, b); }},
    {KvSimMeasure::Euclid, "Euclid", "euclid", true, true, true, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float, float) { return KvEuclid(a, b); }},
    {KvSimMeasure::Tversky, "Tversky", "tversky", true, false, false, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float alpha, float beta) {
       return KvTversky(a, b, alpha, beta);
     }},
    {KvSimMeasure::Manhattan, "Manhattan", "manhattan", false, true, true, 0.0, 1.0,
     [](const KvFingerPrint& a, const KvFingerPrint& b, float, float) { return KvManhattan(a, b); }},
}};

// The entry of a KvSimMeasure code; null for any other value.
constexpr const KvSimMeasureInfo* KvFindSimMeasure(unsigned code) {
  for (const KvSimMeasureInfo& measure : KvSimMeasures)
    if (measure.code == code) return &measure;
  return nullptr;
}

// The entry whose name `name` spells in any case ("dice", "DICE"); null for
// none.
constexpr const KvSimMeasureInfo* KvFindSimMeasure(std::string_view name) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (const KvSimMeasureInfo& measure : KvSimMeasures) {
    const std::string_view key = measure.key;
    bool same = key.size() == name.size();
    for (std::size_t i = 0; same && i < key.size(); ++i) same = lower(name[i]) == key[i];
    if (same) return &measure;
  }
  return nullptr;
}

}  // namespace Varnex
