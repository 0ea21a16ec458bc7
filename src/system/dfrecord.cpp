// Data-flow records: fields as bytes plus cached in-memory values.
#include "kvsystem/dfrecord.h"

#include "kvsystem/error.h"

namespace KvDataFlow {
namespace {

const KvFieldTypeHandler* HandlerOf(const std::string& typeName) {
  return KvFieldTypeHandlerRegistry::GetInstance().GetHandler(typeName);
}

}  // namespace

int KvRecord::CheckField(const KvFieldBase& field, bool warn) const {
  const auto found = fields_.find(field.GetName());
  if (found == fields_.end()) return KvFieldState::Absent;
  const Entry& entry = found->second;
  if (entry.typeName != field.GetTypeName()) {
    if (warn)
      KvSystem::KvThrow()->Warning("KvRecord::CheckField() field '%s' holds type %s, not %s", field.GetName().c_str(),
                                   entry.typeName.c_str(), field.GetTypeName().c_str());
    return KvFieldState::OtherType;
  }
  return (entry.bytes ? KvFieldState::Bytes : 0) | (entry.cache ? KvFieldState::Cached : 0);
}

KvRecord::Entry* KvRecord::FindEntry(const KvFieldBase& field) {
  const auto found = fields_.find(field.GetName());
  if (found == fields_.end() || found->second.typeName != field.GetTypeName()) return nullptr;
  return &found->second;
}

void KvRecord::SetBytes(const KvFieldBase& field, KvBytes bytes) {
  Entry& entry = fields_[field.GetName()];
  entry = Entry{};
  entry.typeName = field.GetTypeName();
  entry.bytes = std::move(bytes);
}

const KvBytes* KvRecord::GetBytes(const KvFieldBase& field) {
  Entry* entry = FindEntry(field);
  if (entry == nullptr) return nullptr;
  if (entry->cache && (entry->dirty || !entry->bytes)) {
    const KvFieldTypeHandler* handler = HandlerOf(entry->typeName);
    if (handler == nullptr) {
      KvSystem::KvThrow()->Warning("KvRecord::GetBytes() no handler for field type %s", entry->typeName.c_str());
      return entry->bytes ? &*entry->bytes : nullptr;
    }
    entry->bytes = handler->PtrToBytes(entry->cache.get());
    entry->dirty = false;
  }
  return entry->bytes ? &*entry->bytes : nullptr;
}

bool KvRecord::DeleteField(const KvFieldBase& field) { return fields_.erase(field.GetName()) > 0; }

void KvRecord::StoreCache(const KvFieldBase& field, std::shared_ptr<void> value, std::uint64_t typeId) {
  Entry& entry = fields_[field.GetName()];
  if (entry.typeName != field.GetTypeName()) {
    entry = Entry{};
    entry.typeName = field.GetTypeName();
  }
  const KvFieldTypeHandler* handler = HandlerOf(entry.typeName);
  if (handler != nullptr && !handler->IsCacheable()) {
    entry.bytes = handler->PtrToBytes(value.get());
    entry.cache.reset();
    entry.cacheType = 0;
    entry.dirty = false;
    return;
  }
  entry.cache = std::move(value);
  entry.cacheType = typeId;
  entry.dirty = true;
}

void KvRecord::MarkCacheDirty(const KvFieldBase& field, bool dirty) {
  Entry* entry = FindEntry(field);
  if (entry != nullptr && entry->cache) entry->dirty = dirty;
}

std::string KvRecord::GetJSON(const KvFieldBase& field) {
  const KvFieldTypeHandler* handler = HandlerOf(field.GetTypeName());
  const KvBytes* bytes = GetBytes(field);
  if (handler == nullptr || bytes == nullptr) return "null";
  return handler->BytesToJSON(*bytes);
}

bool KvRecord::SetJSON(const KvFieldBase& field, const std::string& json) {
  const KvFieldTypeHandler* handler = HandlerOf(field.GetTypeName());
  if (handler == nullptr) return false;
  SetBytes(field, handler->JSONToBytes(json));
  return true;
}

}  // namespace KvDataFlow
