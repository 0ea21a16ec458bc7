#include "kvsystem/namespace.h"

#include "kvsystem/error.h"

namespace KvSystem {

bool KvNamespaceInterface::AddPrimitive(const std::string& name, std::uint32_t value, const std::string& detail) {
  if (name.empty() || name.find('|') != std::string::npos) {
    KvThrow()->Warning("KvNamespaceInterface::AddPrimitive() invalid name \"%s\" in namespace %s", name.c_str(),
                       name_.c_str());
    return false;
  }
  if (Find(name) != nullptr) {
    KvThrow()->Warning("KvNamespaceInterface::AddPrimitive() duplicate name \"%s\" in namespace %s", name.c_str(),
                       name_.c_str());
    return false;
  }
  primitives_.emplace_back(name, value, detail);
  return true;
}

const KvNamespacePrim* KvNamespaceInterface::Find(const std::string& name) const {
  for (const KvNamespacePrim& primitive : primitives_)
    if (primitive.GetName() == name) return &primitive;
  return nullptr;
}

std::string KvNamespaceInterface::GetName(std::uint32_t value, const std::string& defaultName) const {
  for (const KvNamespacePrim& primitive : primitives_)
    if (primitive.GetValue() == value) return primitive.GetName();
  if (IsEnumeration() || value == 0) return defaultName;
  std::string joined;
  for (const KvNamespacePrim& primitive : primitives_) {
    const std::uint32_t flags = primitive.GetValue();
    if (flags != 0 && (value & flags) == flags) {
      if (!joined.empty()) joined += '|';
      joined += primitive.GetName();
    }
  }
  return joined.empty() ? defaultName : joined;
}

bool KvNamespaceInterface::Lookup(const std::string& name, std::uint32_t& value) const {
  if (const KvNamespacePrim* primitive = Find(name)) {
    value = primitive->GetValue();
    return true;
  }
  if (IsEnumeration() || name.find('|') == std::string::npos) return false;
  std::uint32_t combined = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t bar = name.find('|', start);
    const std::size_t stop = bar == std::string::npos ? name.size() : bar;
    const KvNamespacePrim* piece = Find(name.substr(start, stop - start));
    if (piece == nullptr) return false;  // also catches empty pieces: no primitive has an empty name
    combined |= piece->GetValue();
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  value = combined;
  return true;
}

std::uint32_t KvNamespaceInterface::GetValue(const std::string& name, std::uint32_t defaultValue) const {
  std::uint32_t value = 0;
  return Lookup(name, value) ? value : defaultValue;
}

bool KvNamespaceInterface::IsValid(const std::string& name) const {
  std::uint32_t value = 0;
  return Lookup(name, value);
}

}  // namespace KvSystem
