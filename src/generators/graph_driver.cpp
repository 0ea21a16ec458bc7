#include "generators/graph_driver.h"
#include "system/messages.h"

namespace Varnex {

namespace {
constexpr unsigned kMinBits = 16;
constexpr unsigned kMaxBits = 65535;
}  // namespace

void RepairGraphParams(const GraphGenerator& generator, KvFPGraphParams& params) {
  const KvFPGraphParams& defaults = KvFindFPKind(generator.kind)->defaults;
  const GraphParamMessages& messages = generator.messages;
  const char* name = generator.name;
  if (params.bits < kMinBits || params.bits > kMaxBits) {
    KvSystem::KvThrow()->Warning(messages.bits, name, static_cast<int>(params.bits), static_cast<int>(defaults.bits));
    params.bits = defaults.bits;
  }
  if (params.minimum > generator.maxDistance) {
    KvSystem::KvThrow()->Warning(messages.min, name, static_cast<int>(params.minimum),
                                 static_cast<int>(defaults.minimum));
    params.minimum = defaults.minimum;
  }
  if (params.maximum > generator.maxDistance) {
    KvSystem::KvThrow()->Warning(messages.max, name, static_cast<int>(params.maximum),
                                 static_cast<int>(defaults.maximum));
    params.maximum = defaults.maximum;
  }
  if (params.minimum > params.maximum) {
    KvSystem::KvThrow()->Warning(messages.minAboveMax, name, static_cast<int>(params.minimum),
                                 static_cast<int>(params.maximum));
    params.minimum = params.maximum;
  }
  if (params.atomTypes == 0 && params.bondTypes == 0) {
    KvSystem::KvThrow()->Warning(
        Msg::kBothTypesNoneRepaired, name);
    params.atomTypes = defaults.atomTypes;
    params.bondTypes = defaults.bondTypes;
  }
}

void ReadyGraphMol(KvChem::KvMolBase& mol, const KvFPTypeBase* type) {
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(type);
  if (graph == nullptr || !mol.IsValid() || mol.NumAtoms() > KvChem::KvGetMaxAtoms()) return;
  const GraphGenerator* generator = nullptr;
  for (const GraphGenerator* candidate : {&kPathGenerator, &kTreeGenerator, &kCircularGenerator})
    if (candidate->kind == graph->GetFPType()) generator = candidate;
  if (generator == nullptr) return;
  const KvFPGraphParams params{graph->GetNumBits(), graph->GetMinDistance(), graph->GetMaxDistance(),
                               graph->GetAtomTypes(), graph->GetBondTypes()};
  if (params.maximum > generator->maxDistance || (params.atomTypes == 0 && params.bondTypes == 0)) return;
  WorkingMol::ReadyInPlace(mol, generator->kind, params.atomTypes, params.bondTypes);
}

bool GraphParamsOf(const KvFPTypeBase* type, unsigned kind, KvFPGraphParams& params) {
  const auto* graph = dynamic_cast<const KvFPGraphTypeBase*>(type);
  if (graph == nullptr || graph->GetFPType() != kind) return false;
  KvReportStrayParameterBits(*graph);
  params = {graph->GetNumBits(), graph->GetMinDistance(), graph->GetMaxDistance(), graph->GetAtomTypes(),
            graph->GetBondTypes()};
  return true;
}

bool GraphParamsOf(const GraphGenerator& generator, const KvFPTypeBase* type, KvFPGraphParams& params) {
  if (GraphParamsOf(type, generator.kind, params)) return true;
  if (generator.typeMessageIsError)
    KvSystem::KvThrow()->Error("%s", generator.typeMessage);
  else
    KvSystem::KvThrow()->Warning("%s", generator.typeMessage);
  return false;
}

}  // namespace Varnex
