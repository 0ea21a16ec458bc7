// varnex compare: all six similarity measures for two molecules (Tanimoto
// and Tversky for the VSEPR count fingerprints). The measures the count
// fingerprints have come first, so that both outputs start alike; then the
// others in the order of the measure table.

#include <cstdio>

#include <utility>
#include <vector>

#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/measures.h"
#include "varnex/vsepr_fingerprint.h"

namespace VarnexCli {
namespace {

// The score of a measure over VSEPR count fingerprints; null for the
// measures they lack.
using CountScore = double (*)(const Varnex::KvVseprFingerprint&, const Varnex::KvVseprFingerprint&, float, float);
CountScore CountForm(unsigned code) {
  if (code == Varnex::KvSimMeasure::Tanimoto)
    return [](const Varnex::KvVseprFingerprint& a, const Varnex::KvVseprFingerprint& b, float, float) {
      return Varnex::KvGetTanimoto(a, b);
    };
  if (code == Varnex::KvSimMeasure::Tversky)
    return [](const Varnex::KvVseprFingerprint& a, const Varnex::KvVseprFingerprint& b, float alpha, float beta) {
      return Varnex::KvGetTversky(a, b, alpha, beta);
    };
  return nullptr;
}

}  // namespace

void ConfigureCompare(KvSystem::KvInterface& itf) {
  AddText(itf, "-a", "", "First molecule as SMILES");
  AddText(itf, "-b", "", "Second molecule as SMILES");
  AddTverskyWeights(itf);
  AddFormat(itf);
  AddFingerPrintParameters(itf);
}

int RunCompare(KvSystem::KvInterface& itf) {
  FingerPrintKind kind;
  if (!ReadFingerPrintKind(itf, kind)) return kExitUsage;
  KvChem::KvMol a, b;
  if (!ReadSmiles(itf.Get<std::string>("-a"), a, "molecule -a") ||
      !ReadSmiles(itf.Get<std::string>("-b"), b, "molecule -b"))
    return kExitFailure;
  KindFingerPrint fa, fb;
  if (!MakeFingerPrint(kind, a, fa) || !MakeFingerPrint(kind, b, fb)) return kExitFailure;

  const float alpha = itf.Get<float>("-alpha");
  const float beta = itf.Get<float>("-beta");
  std::vector<std::pair<const char*, double>> scores;
  for (const bool counted : {true, false}) {
    for (const Varnex::KvSimMeasureInfo& measure : Varnex::KvSimMeasures) {
      const CountScore count = CountForm(measure.code);
      if ((count != nullptr) != counted) continue;
      if (!kind.IsVsepr())
        scores.emplace_back(measure.name, measure.score(fa.bits, fb.bits, alpha, beta));
      else if (count != nullptr)
        scores.emplace_back(measure.name, count(fa.counts, fb.counts, alpha, beta));
    }
  }
  const bool json = WantsJson(itf);
  std::fputs(json ? "{" : "measure\tscore\n", stdout);
  bool first = true;
  for (const auto& [measure, score] : scores) {
    if (json)
      std::printf("%s\n  %s: %s", first ? "" : ",", JsonString(measure).c_str(), FormatScore(score).c_str());
    else
      std::printf("%s\t%s\n", measure, FormatScore(score).c_str());
    first = false;
  }
  if (json) std::fputs("\n}\n", stdout);
  return kExitOk;
}

}  // namespace VarnexCli
