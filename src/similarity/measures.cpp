// The six similarity measures, the pair counts behind them and the measure
// names.

#include <algorithm>
#include <exception>
#include <string_view>
#include <vector>

#include "core/fptext.h"
#include "kvsystem/error.h"
#include "similarity/formulas.h"
#include "similarity/popcount.h"
#include "varnex/fpkinds.h"
#include "varnex/measures.h"
#include "varnex/similarity.h"
#include "system/messages.h"

namespace Varnex {
namespace {


bool IsUnhashedKind(unsigned code) {
  const KvFPKind* kind = KvFindFPKind(code);
  return kind != nullptr && kind->layout == KvFPParamLayout::Unhashed;
}

// Whether a measure needs a and b apart (Tversky, Cosine) or only their sum
// (the others), which the bits give for one count per word less.
enum class Split { Separate, SumOnly };

// One pass over both bit vectors. With Split::SumOnly, a receives a + b and b
// stays 0; the formulas of those measures read only the sum. A size mismatch
// (possible only for fingerprints whose data was set by hand) is left to the
// bit vector's own check, which reports it.
bool CountBits(const KvFingerPrint& a, const KvFingerPrint& b, Split split, SimTerms& terms) {
  if (a.GetSize() != b.GetSize()) return KvSystem::KvGetBitCounts(a, b, nullptr, nullptr, nullptr, nullptr);
  const std::size_t bytes = std::min(a.NumWords(), b.NumWords()) * sizeof(std::uint32_t);
  std::uint64_t either = 0, both = 0;
  if (split == Split::Separate) {
    const BitPairCounts counts = CountBitPairs(a.GetBytes(), b.GetBytes(), bytes);
    either = counts.onA + counts.onB - counts.onBoth;
    both = counts.onBoth;
    terms.a = static_cast<std::uint32_t>(counts.onA - both);
    terms.b = static_cast<std::uint32_t>(counts.onB - both);
  } else {
    const BitUnionCounts counts = CountBitUnion(a.GetBytes(), b.GetBytes(), bytes);
    either = counts.onEither;
    both = counts.onBoth;
    terms.a = static_cast<std::uint32_t>(either - both);
    terms.b = 0;
  }
  terms.c = static_cast<std::uint32_t>(both);
  terms.d = static_cast<std::uint32_t>(a.GetSize() - either);
  return true;
}

// The sorted identifier lists of two unhashed fingerprints: identifiers only
// in A, only in B, shared.
bool CountIdentifiers(const KvFingerPrint& a, const KvFingerPrint& b, SimTerms& terms) {
  try {
    std::vector<std::string_view> tokensA, tokensB;
    SplitTokens(GetFPText(a), tokensA);
    SplitTokens(GetFPText(b), tokensB);
    std::sort(tokensA.begin(), tokensA.end());
    std::sort(tokensB.begin(), tokensB.end());
    const std::uint64_t common = CountCommonSorted(tokensA, tokensB);
    terms.a = static_cast<std::uint32_t>(tokensA.size() - common);
    terms.b = static_cast<std::uint32_t>(tokensB.size() - common);
    terms.c = static_cast<std::uint32_t>(common);
    terms.d = 0;
    return true;
  } catch (const std::exception& e) {
    KvSystem::KvThrow()->Warning("unhashed fingerprint comparison : %s", e.what());
    return false;
  }
}

// The same-type test of every measure; on failure the mismatch error.
bool CheckSameType(const KvFingerPrint& a, const KvFingerPrint& b, const char* mismatchMessage) {
  if (KvIsSameFPType(a, b)) return true;
  KvSystem::KvThrow()->Error("%s", mismatchMessage);
  return false;
}

// The counts of the pair's kind. REQUIRES: both have the same type.
// Lingo and unhashed pairs always give a and b apart.
bool CountTerms(const KvFingerPrint& a, const KvFingerPrint& b, Split split, SimTerms& terms) {
  const unsigned kind = a.GetFPTypeBase()->GetFPType();
  if (kind == KvFPType::Lingo) return KvGetLingoSimTerms(a, b, &terms.a, &terms.b, &terms.c);
  if (IsUnhashedKind(kind)) return CountIdentifiers(a, b, terms);
  return CountBits(a, b, split, terms);
}

// The prologue the measures share. False when the measure is to give 0.0
// (the reason already reported).
bool GetTerms(const KvFingerPrint& a, const KvFingerPrint& b, const char* mismatchMessage, Split split,
              SimTerms& terms) {
  return CheckSameType(a, b, mismatchMessage) && CountTerms(a, b, split, terms);
}

// Unhashed Tanimoto: shared tokens over all tokens of both texts. Two
// texts without tokens are identical feature sets and score 1.0, as two
// fingerprints without bits do.
float UnhashedTanimoto(const KvFingerPrint& a, const KvFingerPrint& b) {
  SimTerms terms;
  if (!CountIdentifiers(a, b, terms)) return 0.0f;
  const std::uint64_t total = std::uint64_t{terms.a} + terms.b + terms.c;
  if (total == 0) return 1.0f;
  return static_cast<float>(terms.c) / static_cast<float>(total);
}

}  // namespace

float KvTanimoto(const KvFingerPrint& a, const KvFingerPrint& b) {
  if (!CheckSameType(a, b, Msg::kTanimotoMismatch)) return 0.0f;
  if (IsUnhashedKind(a.GetFPTypeBase()->GetFPType())) return UnhashedTanimoto(a, b);
  SimTerms terms;
  if (!CountTerms(a, b, Split::SumOnly, terms)) return 0.0f;
  return TanimotoOf(terms);
}

float KvTversky(const KvFingerPrint& a, const KvFingerPrint& b, float alpha, float beta) {
  SimTerms terms;
  if (!GetTerms(a, b, Msg::kTypeMismatch, Split::Separate, terms)) return 0.0f;
  return TverskyOf(terms, alpha, beta);
}

float KvDice(const KvFingerPrint& a, const KvFingerPrint& b) {
  SimTerms terms;
  if (!GetTerms(a, b, Msg::kTypeMismatch, Split::SumOnly, terms)) return 0.0f;
  return DiceOf(terms);
}

float KvCosine(const KvFingerPrint& a, const KvFingerPrint& b) {
  SimTerms terms;
  if (!GetTerms(a, b, Msg::kTypeMismatch, Split::Separate, terms)) return 0.0f;
  return CosineOf(terms);
}

float KvEuclid(const KvFingerPrint& a, const KvFingerPrint& b) {
  SimTerms terms;
  if (!GetTerms(a, b, Msg::kTypeMismatch, Split::SumOnly, terms)) return 0.0f;
  return EuclidOf(terms);
}

float KvManhattan(const KvFingerPrint& a, const KvFingerPrint& b) {
  SimTerms terms;
  if (!GetTerms(a, b, Msg::kTypeMismatch, Split::SumOnly, terms)) return 0.0f;
  return ManhattanOf(terms);
}

bool KvGetBitCounts(const KvFingerPrint& a, const KvFingerPrint& b, std::uint32_t* onlyA, std::uint32_t* onlyB,
                    std::uint32_t* both, std::uint32_t* neither) {
  if (!CheckSameType(a, b, Msg::kTypeMismatch)) return false;
  if (a.GetFPTypeBase()->GetFPType() == KvFPType::Lingo) return KvGetLingoSimTerms(a, b, onlyA, onlyB, both);
  SimTerms terms;
  if (!CountBits(a, b, Split::Separate, terms)) return false;
  if (onlyA != nullptr) *onlyA = terms.a;
  if (onlyB != nullptr) *onlyB = terms.b;
  if (both != nullptr) *both = terms.c;
  if (neither != nullptr) *neither = terms.d;
  return true;
}

std::string KvGetSimilarityMeasureName(unsigned measure) {
  const KvSimMeasureInfo* info = KvFindSimMeasure(measure);
  return info != nullptr ? info->name : "unknown";
}

unsigned KvGetPopCountMethod() { return PopCountMethod::Instruction; }

}  // namespace Varnex
