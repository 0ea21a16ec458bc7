// Named constant sets ("interface namespaces"): the names under which a group
// of unsigned codes is shown and parsed, e.g. the atom-type flags "AtmNum" 1,
// "Arom" 2, ... or the similarity measures "Tanimoto" 1, "Cosine" 2, ...
//
// Two kinds: an enumeration (kind 1) maps each value to one name; a flag set
// (kind 2, and any other kind) also names combinations, as the "|"-joined
// names of the flags they contain ("AtmNum|Arom").
//
// Thread safety: build the namespace once (AddPrimitive), then any number of
// threads may read it concurrently. AddPrimitive is not synchronised.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace KvSystem {

// Kind codes of KvNamespaceInterface.
namespace KvNamespaceKind {
constexpr unsigned Enumeration = 1;
constexpr unsigned Flags = 2;
}  // namespace KvNamespaceKind

// One named value of a namespace, with an optional one-line description.
class KvNamespacePrim {
 public:
  KvNamespacePrim(std::string name, std::uint32_t value, std::string detail = std::string())
      : name_(std::move(name)), value_(value), detail_(std::move(detail)) {}
  const std::string& GetName() const { return name_; }
  std::uint32_t GetValue() const { return value_; }
  const std::string& GetDetail() const { return detail_; }

 private:
  std::string name_;
  std::uint32_t value_;
  std::string detail_;
};

class KvNamespaceInterface {
 public:
  KvNamespaceInterface(unsigned kind, std::string name) : kind_(kind), name_(std::move(name)) {}

  // Registers a name for `value`. Names are case-sensitive and unique, non
  // empty and free of "|"; a bad or repeated name is reported and refused.
  bool AddPrimitive(const std::string& name, std::uint32_t value, const std::string& detail = std::string());

  // The name of `value`: the first primitive whose value equals it exactly;
  // otherwise, for a flag set, the names of the non-zero primitives wholly
  // contained in `value`, in registration order, joined by "|" (bits no
  // primitive covers are ignored). `defaultName` when nothing matches.
  std::string GetName(std::uint32_t value, const std::string& defaultName) const;
  // The value of a name, or for a flag set of a "|"-joined list of names the
  // OR of their values. `defaultValue` when any piece is unknown or empty.
  std::uint32_t GetValue(const std::string& name, std::uint32_t defaultValue) const;
  // Whether GetValue would find every piece of `name`.
  bool IsValid(const std::string& name) const;

  // The primitives in registration order.
  const std::vector<KvNamespacePrim>& GetPrimitives() const { return primitives_; }
  unsigned GetKind() const { return kind_; }
  bool IsEnumeration() const { return kind_ == KvNamespaceKind::Enumeration; }
  const std::string& GetNamespaceName() const { return name_; }

 private:
  const KvNamespacePrim* Find(const std::string& name) const;
  bool Lookup(const std::string& name, std::uint32_t& value) const;

  unsigned kind_;
  std::string name_;
  std::vector<KvNamespacePrim> primitives_;
};

}  // namespace KvSystem
