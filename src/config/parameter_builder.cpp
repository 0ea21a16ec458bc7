// Building one configuration parameter.

#include "config/parameter_builder.h"

namespace Varnex::Config {

KvSystem::KvParameter* BuildParameter(KvSystem::KvInterface& itf, const ParameterSpec& def) {
  KvSystem::KvParameter* p = itf.AddParameter(def.valueType);
  if (p == nullptr) return nullptr;
  p->SetName(def.name);
  p->AddAlias(def.alias);
  p->SetVisibility(0);
  p->SetBrief(def.brief);
  if (def.range) p->SetLegalRange(def.range->first, def.range->second);
  for (const auto& value : def.legalValues) p->AddLegalValue(value);
  if (!def.required) p->SetRequired(false);
  for (const auto& detail : def.details) p->AddDetail(detail);
  // Looked up again by name and type: the default goes on the typed parameter.
  KvSystem::KvParameter* typed = itf.GetParameter(def.name);
  return typed != nullptr && typed->GetTypeId() == KvSystem::KvGetParameterTypeId(def.valueType) ? typed : nullptr;
}

}  // namespace Varnex::Config
