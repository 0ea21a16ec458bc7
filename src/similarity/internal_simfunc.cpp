// The Lingo and unhashed functors of the in-memory database.

#include "similarity/internal_simfunc.h"

#include "core/fptext.h"
#include "similarity/formulas.h"
#include "varnex/similarity.h"

namespace Varnex {
namespace {

// The Lingo terms of the query against fp, in the order only-query,
// only-fp, shared; false when the comparer is not valid.
bool LingoTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& fp, KvSimTerms& terms) {
  return KvGetLingoSimTerms(query, fp, &terms.a, &terms.b, &terms.c);
}

}  // namespace

float KvLingoSimFunc::operator()(const KvFingerPrint&, const KvFingerPrint&) const { return 0.0f; }

float KvTanimotoLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvTanimotoOf(terms) : 0.0f;
}
KvTanimotoLingoSim* KvTanimotoLingoSim::CreateCopy() const { return new KvTanimotoLingoSim(*this); }
std::string KvTanimotoLingoSim::GetSimTypeString() const { return "KvTanimoto"; }

float KvTverskyLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvTverskyOf(terms, alpha_, beta_) : 0.0f;
}
KvTverskyLingoSim* KvTverskyLingoSim::CreateCopy() const { return new KvTverskyLingoSim(*this); }
std::string KvTverskyLingoSim::GetSimTypeString() const { return "KvTversky"; }

float KvDiceLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvDiceOf(terms) : 0.0f;
}
KvDiceLingoSim* KvDiceLingoSim::CreateCopy() const { return new KvDiceLingoSim(*this); }
std::string KvDiceLingoSim::GetSimTypeString() const { return "KvDice"; }

float KvCosineLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvCosineOf(terms) : 0.0f;
}
KvCosineLingoSim* KvCosineLingoSim::CreateCopy() const { return new KvCosineLingoSim(*this); }
std::string KvCosineLingoSim::GetSimTypeString() const { return "KvCosine"; }

// d = 0, so this is sqrt(c / (a + b + c)).
float KvEuclidLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvEuclidOf(terms) : 0.0f;
}
KvEuclidLingoSim* KvEuclidLingoSim::CreateCopy() const { return new KvEuclidLingoSim(*this); }
std::string KvEuclidLingoSim::GetSimTypeString() const { return "KvEuclid"; }

float KvManhattanLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  KvSimTerms terms;
  return LingoTerms(query, fp, terms) ? KvManhattanOf(terms) : 0.0f;
}
KvManhattanLingoSim* KvManhattanLingoSim::CreateCopy() const { return new KvManhattanLingoSim(*this); }
std::string KvManhattanLingoSim::GetSimTypeString() const { return "KvManhattan"; }

float KvUnhashedSimFunc::operator()(const KvFingerPrint&, const KvFingerPrint&) const { return 0.0f; }

float KvTanimotoUnhashedSim::operator()(const std::vector<std::uint64_t>& a,
                                        const std::vector<std::uint64_t>& b) const {
  const auto common = static_cast<std::uint32_t>(KvCountCommonSorted(a, b));
  const std::uint64_t total = a.size() + b.size() - common;
  if (total == 0) return 1.0f;
  return static_cast<float>(common) / static_cast<float>(total);
}
KvTanimotoUnhashedSim* KvTanimotoUnhashedSim::CreateCopy() const { return new KvTanimotoUnhashedSim(*this); }
std::string KvTanimotoUnhashedSim::GetSimTypeString() const { return "KvTanimoto"; }

}  // namespace Varnex
