// Checks of parameter values that their declared ranges cannot express.

#include "checks.h"

#include <cstdio>
#include <string>

#include "kvchem/size_limits.h"
#include "varnex/config.h"

namespace VarnexCli {

void AddMoleculeLimitParameter(KvSystem::KvInterface& itf) {
  KvSystem::KvParameter* p = itf.AddParameter("int");
  p->SetName("-maxatoms");
  p->SetBrief("Molecules with more atoms are refused");
  p->AddDetail("\n\tLarger molecules take the chemistry toolkit more than about a second each.");
  p->SetLegalRange("1", std::to_string(KvChem::KvLargestMaxAtoms));
  p->SetDefault(static_cast<int>(KvChem::KvDefaultMaxAtoms));
}

std::string CutoffProblem(const std::string& name, float cutoff, unsigned measure) {
  const KvSystem::KvStatus status = Varnex::KvCheckCutoff(measure, cutoff);
  return status.IsOk() ? "" : name + " " + status.Message();
}

bool CheckAndApplyParameters(const KvSystem::KvInterface& itf, const char* command) {
  if (itf.HasValue<float>("-cutoff")) {
    Varnex::KvFPDatabaseOptions options;
    Varnex::KvSetupFPDatabaseOptions(options, itf);
    const std::string problem = CutoffProblem("-cutoff", options.GetCutoff(), options.GetSimFunc());
    if (!problem.empty()) {
      std::fprintf(stderr, "varnex %s: %s\n", command, problem.c_str());
      return false;
    }
  }
  if (itf.HasValue<int>("-maxatoms")) KvChem::KvSetMaxAtoms(static_cast<unsigned>(itf.Get<int>("-maxatoms")));
  return true;
}

}  // namespace VarnexCli
