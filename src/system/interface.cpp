// KvInterface: the parameter tree, lookups and typed reads.

#include "kvsystem/error.h"
#include "kvsystem/parameters.h"
#include "system/messages.h"

namespace KvSystem {

KvInterface* KvInterface::AddInterface() {
  children_.push_back(std::make_unique<KvInterface>());
  return children_.back().get();
}

KvParameter* KvInterface::AddParameter(const std::string& valueType) {
  if (KvGetParameterTypeId(valueType) == 0) {
    KvThrow()->Warning("KvInterface::AddParameter, unknown parameter value type %s", valueType.c_str());
    return nullptr;
  }
  parameters_.push_back(std::make_unique<KvParameter>(valueType));
  return parameters_.back().get();
}

const KvParameter* KvInterface::GetParameter(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (const auto& p : parameters_)
    if (p->IsNamed(name)) return p.get();
  for (const auto& child : children_)
    if (const KvParameter* p = child->GetParameter(name)) return p;
  return nullptr;
}

KvParameter* KvInterface::GetParameter(const std::string& name) {
  return const_cast<KvParameter*>(static_cast<const KvInterface*>(this)->GetParameter(name));
}

template <typename T>
T KvInterface::Get(const std::string& name) const {
  const KvParameter* p = GetParameter(name);
  if (p == nullptr) {
    KvThrow()->Warning(Varnex::Msg::kGetNonExistent, name.c_str());
    return T();
  }
  if (!p->HasValue()) {
    KvThrow()->Warning(Varnex::Msg::kGetUnset, name.c_str());
    return T();
  }
  if (p->GetTypeId() != KvParameterTypeOf<T>::id) {
    KvThrow()->Warning(Varnex::Msg::kGetWrongType, name.c_str());
    return T();
  }
  T value{};
  if (!p->Read(value)) {
    KvThrow()->Warning(Varnex::Msg::kGetNotSet, name.c_str());
    return T();
  }
  return value;
}

template int KvInterface::Get<int>(const std::string&) const;
template float KvInterface::Get<float>(const std::string&) const;
template bool KvInterface::Get<bool>(const std::string&) const;
template std::string KvInterface::Get<std::string>(const std::string&) const;

}  // namespace KvSystem
