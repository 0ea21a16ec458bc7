// Data-flow records: named, typed fields stored as bytes, with a cache of
// in-memory values.
//
// Each field of a record holds its value type name, optionally its bytes and
// optionally a cached in-memory value (a shared, reference-counted object).
// A cached value marked dirty is newer than the bytes: GetBytes then
// produces the bytes from it through the field type's handler (see
// dffield.h). Setting bytes drops the cached value.
//
// Thread safety: a record is not internally locked; it belongs to one thread
// at a time. Cached values use atomic reference counts, so values handed out
// by CheckCache may be kept on other threads.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "kvsystem/base.h"
#include "kvsystem/dfbuffer.h"
#include "kvsystem/dffield.h"

namespace KvDataFlow {

// Answers of KvRecord::CheckField.
namespace KvFieldState {
inline constexpr int Absent = 0;      // no field of that name
inline constexpr int Bytes = 1;       // bytes only
inline constexpr int Cached = 2;      // a cached value only
inline constexpr int Both = 3;        // bytes and a cached value
inline constexpr int OtherType = 4;   // a field of that name with another value type: delete it before use
}  // namespace KvFieldState

class KvRecord {
 public:
  KvRecord() = default;
  // Not copyable: copies would share cached values.
  KvRecord(const KvRecord&) = delete;
  KvRecord& operator=(const KvRecord&) = delete;
  KvRecord(KvRecord&&) noexcept = default;
  KvRecord& operator=(KvRecord&&) noexcept = default;

  // The state of `field` (KvFieldState). With `warn`, a field of another
  // value type is reported.
  int CheckField(const KvFieldBase& field, bool warn) const;
  // Stores the bytes of `field` (creating or retyping it) and drops any
  // cached value.
  void SetBytes(const KvFieldBase& field, KvBytes bytes);
  // The bytes of `field`, produced from a dirty cached value first; null when
  // the field is absent, of another type or has neither bytes nor a handler
  // to make them. The pointer stays valid until the field changes.
  const KvBytes* GetBytes(const KvFieldBase& field);
  // Removes the field; false when there was none.
  bool DeleteField(const KvFieldBase& field);
  // The number of fields.
  std::size_t NumFields() const { return fields_.size(); }

  // The cached value of `field` when it holds a T; with `create`, an absent
  // value is created (default T, marked dirty). Null otherwise.
  template <typename T>
  std::shared_ptr<T> CheckCache(const KvField<T>& field, bool create) {
    Entry* entry = FindEntry(field);
    if (entry != nullptr && entry->cache && entry->cacheType == KvSystem::KvTypeIdOf<T>())
      return std::static_pointer_cast<T>(entry->cache);
    if (!create || (entry != nullptr && entry->cache)) return nullptr;
    auto value = std::make_shared<T>();
    AddToCache(field, value);
    return value;
  }
  // Makes `value` the cached value of `field` (creating or retyping the
  // field), marked dirty. When the field type's handler is not cacheable the
  // bytes are made at once and nothing is cached.
  template <typename T>
  void AddToCache(const KvField<T>& field, std::shared_ptr<T> value) {
    StoreCache(field, std::static_pointer_cast<void>(std::move(value)), KvSystem::KvTypeIdOf<T>());
  }
  // Marks the cached value of `field` newer (true) or not newer than its bytes.
  void MarkCacheDirty(const KvFieldBase& field, bool dirty);

  // The JSON text of a field's value through its handler; "null" when the
  // field or its handler is missing.
  std::string GetJSON(const KvFieldBase& field);
  // Sets a field's bytes from JSON text through its handler; false when
  // there is no handler.
  bool SetJSON(const KvFieldBase& field, const std::string& json);

 private:
  struct Entry {
    std::string typeName;
    std::optional<KvBytes> bytes;
    std::shared_ptr<void> cache;
    std::uint64_t cacheType = 0;
    bool dirty = false;
  };
  Entry* FindEntry(const KvFieldBase& field);
  void StoreCache(const KvFieldBase& field, std::shared_ptr<void> value, std::uint64_t typeId);

  std::map<std::string, Entry> fields_;
};

}  // namespace KvDataFlow
