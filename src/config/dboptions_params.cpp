// Search option parameters: "-limit", "-simfunc", "-cutoff", "-descending".

#include <string>
#include <vector>

#include "config/config_namespaces.h"
#include "config/parameter_builder.h"
#include "kvsystem/error.h"
#include "varnex/config.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using Config::BuildParameter;
using Config::ParameterSpec;
using KvSystem::KvInterface;

constexpr const char* kApi = "\n\tAPI : ";

ParameterSpec LimitSpec() {
  return {"int", "-limit", "-l", "Maximum number of similarity scores", std::make_pair("0", "100000"), {},
          {std::string(kApi) + "KvFPDatabaseOptions::SetLimit method" +
           "\n\tIf set to zero, then all of the similarity scores are returned"}};
}

ParameterSpec SimFuncSpec() {
  std::vector<std::string> names;
  for (const auto& prim : Config::SimMeasureNamespace().GetPrimitives()) names.push_back(prim.GetName());
  return {"string", "-simfunc", "-s", "Similarity measure", std::nullopt, names,
          {std::string(kApi) + "KvFPDatabaseOptions::SetSimFunc method and KvSimMeasure namespace"}};
}

ParameterSpec CutoffSpec() {
  return {"float", "-cutoff", "-c", "Similarity cutoff value", std::nullopt, {},
          {std::string(kApi) + "KvFPDatabaseOptions::SetCutoff method" + "\n\tBy default there is no similarity cutoff"},
          false};
}

ParameterSpec DescendingSpec() {
  return {"bool", "-descending", "-d", "Order of similarity scores", std::nullopt, {},
          {std::string(kApi) + "KvFPDatabaseOptions::SetDescendingOrder method" +
           "\n\tIf true scores are returned in descending order otherwise in ascending order"}};
}

KvInterface* AddSearchGroup(KvInterface& itf) {
  KvInterface* group = itf.AddInterface();
  if (group == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kConfigureGroup, "KvConfigureFPDatabaseOptions()");
    return nullptr;
  }
  group->SetName("fingerprint database search options");
  return group;
}

}  // namespace

bool KvConfigureFPDatabaseOptions(KvInterface& itf, const KvFPDatabaseOptions& options) {
  KvInterface* group = AddSearchGroup(itf);
  if (group == nullptr) return false;
  if (auto* p = BuildParameter(*group, LimitSpec())) p->SetDefault(static_cast<int>(options.GetLimit()));
  if (auto* p = BuildParameter(*group, SimFuncSpec()))
    p->SetDefault(Config::SimMeasureNamespace().GetName(options.GetSimFunc(), "invalid"));
  if (auto* p = BuildParameter(*group, CutoffSpec()); p != nullptr && options.HasCutoff())
    p->SetDefault(options.GetCutoff());
  if (auto* p = BuildParameter(*group, DescendingSpec())) p->SetDefault(options.GetDescendingOrder());
  return true;
}

bool KvConfigureFPDatabaseOptions(KvInterface& itf, unsigned int mask) {
  KvInterface* group = AddSearchGroup(itf);
  if (group == nullptr) return false;
  if ((mask & 1u) != 0)
    if (auto* p = BuildParameter(*group, LimitSpec())) p->SetDefault(10);
  if ((mask & 2u) != 0)
    if (auto* p = BuildParameter(*group, SimFuncSpec()))
      p->SetDefault(Config::SimMeasureNamespace().GetName(KvSimMeasure::Tanimoto, "invalid"));
  if ((mask & 4u) != 0) BuildParameter(*group, CutoffSpec());
  return true;
}

bool KvSetupFPDatabaseOptions(KvFPDatabaseOptions& options, const KvInterface& itf) {
  if (itf.HasValue<int>("-limit")) options.SetLimit(static_cast<unsigned int>(itf.Get<int>("-limit")));
  if (itf.HasValue<std::string>("-simfunc"))
    options.SetSimFunc(Config::SimMeasureNamespace().GetValue(itf.Get<std::string>("-simfunc"), 0));
  if (itf.HasValue<float>("-cutoff")) options.SetCutoff(itf.Get<float>("-cutoff"));
  if (itf.HasValue<bool>("-descending")) options.SetDescendingOrder(itf.Get<bool>("-descending"));
  return true;
}

}  // namespace Varnex
