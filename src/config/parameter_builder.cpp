// Building one configuration parameter.

#include "config/parameter_builder.h"

namespace Varnex::Config {

KvSystem::KvParameter* BuildParameter(KvSystem::KvInterface& itf, const ParameterSpec& spec) {
  KvSystem::KvParameter* p = itf.AddParameter(spec.valueType);
  if (p == nullptr) return nullptr;
  p->SetName(spec.name);
  p->AddAlias(spec.alias);
  p->SetVisibility(0);
  p->SetBrief(spec.brief);
  if (spec.range) p->SetLegalRange(spec.range->first, spec.range->second);
  for (const auto& value : spec.legalValues) p->AddLegalValue(value);
  if (!spec.required) p->SetRequired(false);
  for (const auto& detail : spec.details) p->AddDetail(detail);
  // Looked up again by name and type: the default goes on the typed parameter.
  KvSystem::KvParameter* typed = itf.GetParameter(spec.name);
  return typed != nullptr && typed->GetTypeId() == KvSystem::KvGetParameterTypeId(spec.valueType) ? typed : nullptr;
}

}  // namespace Varnex::Config
