// varnex compare: all six similarity measures for two molecules (Tanimoto
// and Tversky for the VSEPR count fingerprints).

#include <cstdio>

#include <utility>
#include <vector>

#include "command.h"
#include "fingerprint_kinds.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/similarity.h"

namespace VarnexCli {

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
  if (kind.IsVsepr()) {
    scores = {{"Tanimoto", Varnex::KvGetTanimoto(fa.counts, fb.counts)},
              {"Tversky", Varnex::KvGetTversky(fa.counts, fb.counts, alpha, beta)}};
  } else {
    scores = {{"Tanimoto", Varnex::KvTanimoto(fa.bits, fb.bits)},
              {"Tversky", Varnex::KvTversky(fa.bits, fb.bits, alpha, beta)},
              {"Dice", Varnex::KvDice(fa.bits, fb.bits)},
              {"Cosine", Varnex::KvCosine(fa.bits, fb.bits)},
              {"Euclid", Varnex::KvEuclid(fa.bits, fb.bits)},
              {"Manhattan", Varnex::KvManhattan(fa.bits, fb.bits)}};
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
