// varnex compare: all six similarity measures for two molecules.

#include <cstdio>

#include "command.h"
#include "molecules.h"
#include "output.h"
#include "parameters_common.h"
#include "varnex/fingerprint.h"
#include "varnex/generation.h"
#include "varnex/similarity.h"

namespace VarnexCli {

void ConfigureCompare(KvSystem::KvInterface& itf) {
  AddText(itf, "-a", "", "First molecule as SMILES");
  AddText(itf, "-b", "", "Second molecule as SMILES");
  KvSystem::KvParameter* alpha = itf.AddParameter("float");
  alpha->SetName("-alpha");
  alpha->SetBrief("Tversky weight of the first molecule's own bits");
  alpha->SetLegalRange("0", "1");
  alpha->SetDefault(0.95f);
  KvSystem::KvParameter* beta = itf.AddParameter("float");
  beta->SetName("-beta");
  beta->SetBrief("Tversky weight of the second molecule's own bits");
  beta->SetLegalRange("0", "1");
  beta->SetDefault(0.05f);
  AddFormat(itf);
  AddFingerPrintParameters(itf);
}

int RunCompare(KvSystem::KvInterface& itf) {
  const Varnex::KvFPTypeBase* type = FingerPrintTypeOf(itf);
  if (type == nullptr) return kExitUsage;
  KvChem::KvMol a, b;
  if (!ReadSmiles(itf.Get<std::string>("-a"), a, "molecule -a") ||
      !ReadSmiles(itf.Get<std::string>("-b"), b, "molecule -b"))
    return kExitFailure;
  Varnex::KvFingerPrint fa, fb;
  if (!Varnex::KvMakeFP(fa, a, type) || !Varnex::KvMakeFP(fb, b, type)) return kExitFailure;

  const float alpha = itf.Get<float>("-alpha");
  const float beta = itf.Get<float>("-beta");
  const std::pair<const char*, double> scores[] = {
      {"Tanimoto", Varnex::KvTanimoto(fa, fb)},
      {"Tversky", Varnex::KvTversky(fa, fb, alpha, beta)},
      {"Dice", Varnex::KvDice(fa, fb)},
      {"Cosine", Varnex::KvCosine(fa, fb)},
      {"Euclid", Varnex::KvEuclid(fa, fb)},
      {"Manhattan", Varnex::KvManhattan(fa, fb)},
  };
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
