// The fast database memory-type parameter, under a caller-chosen name.

#include <string>

#include "config/config_namespaces.h"
#include "kvsystem/error.h"
#include "varnex/config.h"
#include "system/messages.h"

namespace Varnex {

bool KvConfigureFPDatabaseMemoryType(KvSystem::KvInterface& itf, unsigned int memoryType, const std::string& name,
                                     const std::string& alias) {
  KvSystem::KvInterface* group = itf.AddInterface();
  if (group == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kConfigureGroup, "KvConfigureFPDatabaseMemoryType()");
    return false;
  }
  group->SetName("fingerprint database options");
  KvSystem::KvParameter* p = group->AddParameter("string");
  if (p == nullptr) return false;
  p->SetName(name);
  p->AddAlias(alias);
  p->SetVisibility(0);
  p->SetBrief("Fingerprint database memory type");
  p->AddDetail("\n\tAPI : KvFastFPDatabaseMemoryType namespace");
  const auto& types = Config::MemoryTypeNamespace();
  for (const auto& prim : types.GetPrimitives()) p->AddLegalValue(prim.GetName());
  KvSystem::KvParameter* typed = group->GetTypedParameter<std::string>(name);
  if (typed == nullptr) return false;
  typed->SetDefault(types.GetName(memoryType, "invalid"));
  return true;
}

unsigned int KvGetFPDatabaseMemoryType(KvSystem::KvInterface& itf, const std::string& name) {
  return Config::MemoryTypeNamespace().GetValue(itf.Get<std::string>(name), 0);
}

}  // namespace Varnex
