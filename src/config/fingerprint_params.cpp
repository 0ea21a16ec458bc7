// Fingerprint type parameters: "-fptype", "-numbits", "-mindistance",
// "-maxdistance", "-atomtype", "-bondtype".

#include <string>

#include "config/config_namespaces.h"
#include "config/parameter_builder.h"
#include "kvsystem/error.h"
#include "varnex/config.h"
#include "varnex/fpkinds.h"
#include "varnex/fptype_flags.h"
#include "system/messages.h"

namespace Varnex {
namespace {

using Config::BuildParameter;
using Config::ParameterSpec;
using KvSystem::KvInterface;

constexpr const char* kConfigure = "KvConfigureFingerPrint()";
constexpr const char* kSetup = "KvSetupFingerPrint";
constexpr const char* kApi = "\n\tAPI : ";
constexpr const char* kOnlyGraphKinds = "\n\tOnly available for path, circular or tree fingerprints.";

// Lists the primitives of a flag namespace with their descriptions, and how
// to combine them.
std::string NamespaceListing(const KvSystem::KvNamespaceInterface& ns) {
  std::string text = "Primitive expressions :\n";
  for (const auto& prim : ns.GetPrimitives()) {
    std::string name = prim.GetName();
    if (name.size() < 12) name.append(12 - name.size(), ' ');
    text += "\t" + name;
    if (!prim.GetDetail().empty()) text += " - " + prim.GetDetail();
    text += "\n";
  }
  text += "\n";
  text += "\tCombined expressions :\n";
  text += "\tCreated by combining primitive tokens with | \n";
  return text;
}

void AddIntParameter(KvInterface& group, ParameterSpec def, unsigned value) {
  if (KvSystem::KvParameter* p = BuildParameter(group, def)) p->SetDefault(static_cast<int>(value));
}

void AddStringParameter(KvInterface& group, ParameterSpec def, const std::string& value) {
  if (KvSystem::KvParameter* p = BuildParameter(group, def)) p->SetDefault(value);
}

// The kind of `code` when it is a hashed graph kind (the kinds these
// parameters set up), else null.
const KvFPKind* HashedKind(unsigned code) {
  const KvFPKind* kind = KvFindFPKind(code);
  return kind != nullptr && kind->layout == KvFPParamLayout::Hashed ? kind : nullptr;
}

// Reads an int parameter into `value` when it has one of the right type.
void ReadInt(const KvInterface& itf, const char* name, unsigned& value) {
  if (itf.HasValue<int>(name)) value = static_cast<unsigned>(itf.Get<int>(name));
}

}  // namespace

bool KvConfigureFingerPrint(KvInterface& itf, const KvFPTypeBase* type) {
  KvInterface* group = itf.AddInterface();
  if (group == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kConfigureGroup, kConfigure);
    return false;
  }
  if (type == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kTypePointer, kConfigure);
    return false;
  }
  const KvFPTypeParams params(type->GetFPTypeString());
  if (!params.IsValid()) {
    KvSystem::KvThrow()->Warning(Msg::kConfigureType, kConfigure);
    return false;
  }
  if (params.GetFPType() == KvFPType::MACCS166 || params.GetFPType() == KvFPType::Lingo) {
    KvSystem::KvThrow()->Warning(Msg::kConfigureKind, kConfigure);
    return false;
  }
  group->SetName("fingerprint options");

  const auto& kinds = Config::FPTypeNamespace();
  std::vector<std::string> kindNames;
  for (const auto& prim : kinds.GetPrimitives()) kindNames.push_back(prim.GetName());
  AddStringParameter(*group,
                     {"string", "-fptype", "-fpt", "Fingerprint type", std::nullopt, kindNames,
                      {std::string(kApi) + "KvFPType namespace"}},
                     kinds.GetName(params.GetFPType(), "invalid"));
  AddIntParameter(*group,
                  {"int", "-numbits", "-size", "Size of bitvector", std::make_pair("64", "65535"), {},
                   {"Only available for path, circular or tree fingerprint."}},
                  params.GetNumBits());
  AddIntParameter(*group,
                  {"int", "-mindistance", "-mind", "Minimum number of bonds/radius in path/circular/tree fingerprint",
                   std::make_pair("0", "10"), {},
                   {std::string(kOnlyGraphKinds) + "\n\tThis value has to be smaller or equal to the max distance value."}},
                  params.GetMinDistance());
  AddIntParameter(*group,
                  {"int", "-maxdistance", "-maxd", "Maximum number of bonds/radius in path/circular/tree fingerprint",
                   std::make_pair("0", "10"), {},
                   {std::string(kOnlyGraphKinds) + "\n\tThis value has to be greater or equal to the min distance value."}},
                  params.GetMaxDistance());
  AddStringParameter(*group,
                     {"string", "-atomtype", "-a", "Fingerprint atom type", std::nullopt, {},
                      {std::string(kApi) + "KvFPAtomType namespace", NamespaceListing(KvGetFPAtomTypeNamespace())}},
                     KvGetFPAtomType(params.GetAtomTypes()));
  AddStringParameter(*group,
                     {"string", "-bondtype", "-b", "Fingerprint bond type", std::nullopt, {},
                      {std::string(kApi) + "KvFPBondType namespace", NamespaceListing(KvGetFPBondTypeNamespace())}},
                     KvGetFPBondType(params.GetBondTypes()));
  return true;
}

const KvFPTypeBase* KvSetupFingerPrint(const KvInterface& itf) {
  unsigned kind = KvFPType::Tree;
  if (itf.HasValue<std::string>("-fptype"))
    kind = Config::FPTypeNamespace().GetValue(itf.Get<std::string>("-fptype"), 0);
  const KvFPKind* hashed = HashedKind(kind);
  if (hashed == nullptr) {
    KvSystem::KvThrow()->Warning(Msg::kSetupType, kSetup);
    return nullptr;
  }
  KvFPGraphParams d = hashed->defaults;
  ReadInt(itf, "-numbits", d.bits);
  ReadInt(itf, "-mindistance", d.minimum);
  ReadInt(itf, "-maxdistance", d.maximum);
  if (itf.HasValue<std::string>("-atomtype")) d.atomTypes = KvGetFPAtomType(itf.Get<std::string>("-atomtype"));
  if (itf.HasValue<std::string>("-bondtype")) d.bondTypes = KvGetFPBondType(itf.Get<std::string>("-bondtype"));
  if (d.atomTypes == 0 || d.bondTypes == 0) {
    KvSystem::KvThrow()->Warning(Msg::kSetupTyping, kSetup);
    return nullptr;
  }
  if (d.minimum > d.maximum) {
    KvSystem::KvThrow()->Warning(Msg::kSetupDistance, kSetup,
                                 static_cast<int>(d.minimum), static_cast<int>(d.maximum));
    d.minimum = d.maximum;
  }
  return hashed->intern(hashed->version, d);
}

}  // namespace Varnex
