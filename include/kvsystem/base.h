// Data attached to molecules, atoms and bonds.
//
// A KvBase holds owned data items, each under an unsigned tag. Tags are
// interned names ("KvVseprFingerprint", "__oriptr"): KvGetTag converts in both
// directions. Each item reports a 64-bit type identifier so that a reader can
// check what it finds before casting.
//
// Thread safety: the tag registry is thread-safe. A KvBase is not internally
// locked: concurrent reads are fine, writes need external synchronisation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "kvsystem/iterator.h"

namespace KvSystem {

using KvTag = std::uint32_t;

// The tag of a name, registering the name on first use. Tags start at 1; the
// empty name has tag 0. Thread-safe.
KvTag KvGetTag(const std::string& name);
// The name of a tag, or "" when the tag was never registered. Thread-safe.
std::string KvGetTag(KvTag tag);

// 64-bit FNV-1a of a text, the default way to derive a type identifier.
constexpr std::uint64_t KvHashTypeName(const char* text) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (; *text != '\0'; ++text) {
    hash ^= static_cast<unsigned char>(*text);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

// The type identifier of T. Specialise KvTypeIdTraits for types whose
// identifier is fixed by a file format or protocol; the default derives one
// from the compiler's type name (stable for one build, not across compilers).
template <typename T>
struct KvTypeIdTraits {
  static std::uint64_t Value() { return KvHashTypeName(typeid(T).name()); }
};
template <typename T>
std::uint64_t KvTypeIdOf() {
  return KvTypeIdTraits<T>::Value();
}

// One attached item. Owned by its KvBase.
class KvBaseData {
 public:
  explicit KvBaseData(KvTag tag) : tag_(tag) {}
  virtual ~KvBaseData() = default;
  KvTag GetTag() const { return tag_; }
  virtual std::uint64_t GetTypeId() const = 0;
  virtual KvBaseData* CreateCopy() const = 0;  // caller owns the copy

 private:
  KvTag tag_;
};

// An attached item holding a value of type T.
template <typename T>
class KvBaseDataT final : public KvBaseData {
 public:
  KvBaseDataT(KvTag tag, T value) : KvBaseData(tag), value_(std::move(value)) {}
  std::uint64_t GetTypeId() const override { return KvTypeIdOf<T>(); }
  KvBaseDataT* CreateCopy() const override { return new KvBaseDataT(*this); }
  const T& GetData() const { return value_; }
  T& GetData() { return value_; }
  void SetData(T value) { value_ = std::move(value); }

 private:
  T value_;
};

// Whether an item of type identifier `found` may be replaced by one of type
// identifier `wanted` under the same tag. Reports a warning naming the tag and
// returns false when they differ; true when they agree.
bool KvCheckTypeMismatch(KvTag tag, std::uint64_t found, std::uint64_t wanted);

// A holder of attached data items. Copying copies every item.
class KvBase {
 public:
  KvBase() = default;
  KvBase(const KvBase& other);
  KvBase& operator=(const KvBase& other);
  KvBase(KvBase&&) noexcept = default;
  KvBase& operator=(KvBase&&) noexcept = default;
  virtual ~KvBase() = default;

  // Takes ownership of `item` and appends it after any items of its tag.
  // A null item is reported and ignored; an item this holder already owns is
  // left where it is (AddData and SetData never own an item twice).
  void AddData(KvBaseData* item);
  // Replaces every item of the item's tag by `item` (owned).
  void SetData(KvBaseData* item);
  // The first item under `tag`, or null. The holder keeps ownership.
  KvBaseData* FindData(KvTag tag) const;
  // The first item under `tag` whose type is T, or null.
  template <typename T>
  KvBaseDataT<T>* FindDataT(KvTag tag) const {
    for (const auto& item : items_)
      if (item->GetTag() == tag && item->GetTypeId() == KvTypeIdOf<T>())
        return static_cast<KvBaseDataT<T>*>(item.get());
    return nullptr;
  }
  // Deletes every item under `tag`; returns how many were deleted.
  size_t DeleteData(KvTag tag);
  // Deletes one item (owned by this holder); returns whether it was found.
  bool DeleteData(const KvBaseData* item);
  void ClearData() { items_.clear(); }
  bool HasData() const { return !items_.empty(); }
  // The items under `tag`, in insertion order. The caller owns the iterator,
  // the holder keeps the items; the iterator is invalidated by any change.
  KvIterBase<KvBaseData*>* GetData(KvTag tag) const;
  // All items, in insertion order.
  const std::vector<std::unique_ptr<KvBaseData>>& GetAllData() const { return items_; }

 private:
  bool Owns(const KvBaseData* item) const;

  std::vector<std::unique_ptr<KvBaseData>> items_;
};

}  // namespace KvSystem
