// Checks of parameter values that their declared ranges cannot express.

#include "checks.h"

#include <cstdio>
#include <string>

#include "kvchem/size_limits.h"

namespace VarnexCli {

void AddMoleculeLimitParameter(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* p = itf.AddParameter("int");
  p->SetName("-maxatoms");
  p->SetBrief("Molecules with more atoms are refused");
  p->AddDetail("\n\tLarger molecules take the chemistry toolkit more than about a second each.");
  p->SetLegalRange("1", "1000000");
  p->SetDefault(static_cast<int>(KvChem::KvDefaultMaxAtoms));
}

std::string CutoffProblem(const std::string& name, float cutoff, const std::string& measure) {
  // Every measure scores from 0 to 1; NaN is refused as well.
  if (cutoff >= 0.0f && cutoff <= 1.0f) return "";
  char value[32];
  std::snprintf(value, sizeof(value), "%g", static_cast<double>(cutoff));
  return name + " " + value + " is outside the range of " + measure + " scores, 0 to 1";
}

bool CheckAndApplyParameters(const KvSystem::KvInterface& itf, const char* command) {
  if (itf.HasValue<float>("-cutoff")) {
    const float cutoff = itf.Get<float>("-cutoff");
    const std::string measure = itf.HasValue<std::string>("-simfunc") ? itf.Get<std::string>("-simfunc") : "Tanimoto";
    const std::string problem = CutoffProblem("-cutoff", cutoff, measure);
    if (!problem.empty()) {
      std::fprintf(stderr, "varnex %s: %s\n", command, problem.c_str());
      return false;
    }
  }
  if (itf.HasValue<int>("-maxatoms")) KvChem::KvSetMaxAtoms(static_cast<unsigned>(itf.Get<int>("-maxatoms")));
  return true;
}

}  // namespace VarnexCli
