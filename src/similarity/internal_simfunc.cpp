// The Lingo and unhashed functors of the in-memory database.

#include "similarity/internal_simfunc.h"

#include "core/fptext.h"
#include "similarity/formulas.h"
#include "varnex/similarity.h"

namespace Varnex {
namespace {

// The Lingo terms of the query against fp, in the order only-query,
// only-fp, shared; false when the comparer is not valid.
bool LingoTerms(const KvChem::KvLingoSim& query, const KvFingerPrint& fp, SimTerms& terms) {
  return KvGetLingoSimTerms(query, fp, &terms.a, &terms.b, &terms.c);
}

}  // namespace

float LingoSimFunc::operator()(const KvFingerPrint&, const KvFingerPrint&) const { return 0.0f; }

float TanimotoLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? TanimotoOf(terms) : 0.0f;
}
TanimotoLingoSim* TanimotoLingoSim::CreateCopy() const { return new TanimotoLingoSim(*this); }
std::string TanimotoLingoSim::GetSimTypeString() const { return "KvTanimoto"; }

float TverskyLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? TverskyOf(terms, alpha_, beta_) : 0.0f;
}
TverskyLingoSim* TverskyLingoSim::CreateCopy() const { return new TverskyLingoSim(*this); }
std::string TverskyLingoSim::GetSimTypeString() const { return "KvTversky"; }

float DiceLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? DiceOf(terms) : 0.0f;
}
DiceLingoSim* DiceLingoSim::CreateCopy() const { return new DiceLingoSim(*this); }
std::string DiceLingoSim::GetSimTypeString() const { return "KvDice"; }

float CosineLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? CosineOf(terms) : 0.0f;
}
CosineLingoSim* CosineLingoSim::CreateCopy() const { return new CosineLingoSim(*this); }
std::string CosineLingoSim::GetSimTypeString() const { return "KvCosine"; }

// d = 0, so this is sqrt(c / (a + b + c)).
float EuclidLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? EuclidOf(terms) : 0.0f;
}
EuclidLingoSim* EuclidLingoSim::CreateCopy() const { return new EuclidLingoSim(*this); }
std::string EuclidLingoSim::GetSimTypeString() const { return "KvEuclid"; }

float ManhattanLingoSim::operator()(const KvChem::KvLingoSim& query, const KvFingerPrint& fp) const {
  SimTerms terms;
  return LingoTerms(query, fp, terms) ? ManhattanOf(terms) : 0.0f;
}
ManhattanLingoSim* ManhattanLingoSim::CreateCopy() const { return new ManhattanLingoSim(*this); }
std::string ManhattanLingoSim::GetSimTypeString() const { return "KvManhattan"; }

float UnhashedSimFunc::operator()(const KvFingerPrint&, const KvFingerPrint&) const { return 0.0f; }

float TanimotoUnhashedSim::operator()(const std::vector<std::uint64_t>& a,
                                        const std::vector<std::uint64_t>& b) const {
  const auto common = static_cast<std::uint32_t>(CountCommonSorted(a, b));
  const std::uint64_t total = a.size() + b.size() - common;
  if (total == 0) return 1.0f;
  return static_cast<float>(common) / static_cast<float>(total);
}
TanimotoUnhashedSim* TanimotoUnhashedSim::CreateCopy() const { return new TanimotoUnhashedSim(*this); }
std::string TanimotoUnhashedSim::GetSimTypeString() const { return "KvTanimoto"; }

}  // namespace Varnex
